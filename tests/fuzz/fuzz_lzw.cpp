// Decodes each input as LZW data of the variant its first byte chooses
// (GIF with 1 to 8 root bits, TIFF, old TIFF), with an output size from
// the second and third bytes. Whatever decodes is coded again and decoded
// once more: it must come back unchanged. The TIFF strip entry point gets
// the same bytes through a memory stream, with either fill order.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "IO/io_rec.h"
#include "lzw.h"
#include "rastrix/rastrix.h"
#include "tiff_lzw.h"

namespace {

constexpr size_t kHeader = 3;

rxlzw::LzwVariant variant_of(uint8_t b) {
  const int v = b % 10;
  if (v < 8) return rxlzw::gif_lzw(v + 1);
  return v == 8 ? rxlzw::kTiffLzw : rxlzw::kTiffOldLzw;
}

bool collect(void* user, const uint8_t* bytes, size_t n) {
  auto* out = static_cast<std::vector<uint8_t>*>(user);
  out->insert(out->end(), bytes, bytes + n);
  return true;
}

rxlzw::LzwDecoder g_decoder;
rxlzw::LzwEncoder g_encoder;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RX_engine_start(0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeader) return 0;
  const rxlzw::LzwVariant variant = variant_of(data[0]);
  const size_t wanted = (size_t{data[1]} << 8 | data[2]) * 4;
  std::vector<uint8_t> out(wanted);
  g_decoder.reset(variant, data + kHeader, size - kHeader);
  // Two reads, so that a string split over them is carried across.
  size_t got = g_decoder.read(out.data(), wanted / 3);
  if (got == wanted / 3) got += g_decoder.read(out.data() + got, wanted - got);
  if (got > wanted || g_decoder.consumed() > size - kHeader) abort();
  // The plain path, in pieces of another size, writes the same bytes.
  {
    std::vector<uint8_t> plain(wanted);
    g_decoder.reset(variant, data + kHeader, size - kHeader);
    g_decoder.copying_set(false);
    size_t at = 0;
    for (size_t piece = wanted / 5 + 1; at < wanted;) {
      const size_t n = g_decoder.read(plain.data() + at, std::min(piece, wanted - at));
      at += n;
      if (n < piece) break;
    }
    g_decoder.copying_set(true);
    if (at != got || (got != 0 && std::memcmp(plain.data(), out.data(), got) != 0)) abort();
  }

  // Roots beyond the variant's range cannot be coded again, and the
  // encoder needs at least 2 root bits (GIF's own minimum).
  bool codable = variant.min_bits >= 2;
  for (size_t i = 0; i < got && codable; ++i) codable = out[i] < (1 << variant.min_bits);
  if (codable) {
    std::vector<uint8_t> coded;
    g_encoder.reset(variant, collect, &coded, 1 + data[1] % rxlzw::LzwEncoder::kLongestPiece);
    if (!g_encoder.write(out.data(), got) || !g_encoder.finish()) abort();
    std::vector<uint8_t> back(got + 1);
    g_decoder.reset(variant, coded.data(), coded.size());
    const size_t again = g_decoder.read(back.data(), back.size());
    if (again != got || (got != 0 && std::memcmp(back.data(), out.data(), got) != 0) ||
        g_decoder.state() != rxlzw::LzwDecoder::State::kEnd)
      abort();
  }

  // The strip entry point over a memory stream.
  std::vector<uint8_t> block(data + kHeader, data + size);
  IO_REC io{};
  rx::io_from_template(&io);
  rx::io_memory_attach(&io, block.data(), static_cast<int32_t>(block.size()),
                       static_cast<int32_t>(block.size()));
  const RX_CODEC_STRIP strip{static_cast<int32_t>(block.size()), data[1] % 17, data[2] % 97, 1,
                             (data[0] & 0x80) ? 2 : 1};
  std::vector<uint8_t> rows(size_t(strip.rows) * size_t(strip.row_bytes) + 4);
  rxlzw::tiff_lzw_decode(&io, rows.data(), static_cast<int32_t>(rows.size()), 0, nullptr,
                         strip.rows, 8, 1, &strip, nullptr);
  RPb_AF_error_clear();
  return 0;
}
