// Decodes each input as fax data. The first bytes choose the variant, the
// fill order, the polarity, the row form, the width and the number of rows;
// the rest is the coded data. Whatever decodes is then coded again with a
// variant from the input and decoded once more: the picture must come back
// unchanged, since the encoder and the decoders must agree.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "IO/io_rec.h"
#include "filters/codecs/ccitt.h"
#include "rastrix/rastrix.h"

namespace {

constexpr int32_t kDecodeVariants[] = {2, 3, 4, 10, 11, 12, 120, 121};
constexpr int32_t kEncodeVariants[] = {2, 3, 4, 10, 11, 12, 100, 101};
constexpr size_t kHeader = 6;

struct Rows {
  std::vector<std::vector<uint8_t>> rows;
  const std::vector<std::vector<uint8_t>>* source = nullptr;
};

int32_t keep_row(IO_REC* io, const uint8_t* row, int32_t, int32_t count) {
  auto* r = reinterpret_cast<Rows*>(io->cb_data[RX_CBD_RASTER_SET]);
  r->rows.emplace_back(row, row + count);
  return 0;
}

int32_t give_row(IO_REC* io, uint8_t* row, int32_t index, int32_t count) {
  auto* r = reinterpret_cast<Rows*>(io->cb_data[RX_CBD_RASTER_GET]);
  const auto& src = r->source->at(static_cast<size_t>(index));
  if (src.size() != static_cast<size_t>(count)) abort();
  std::memcpy(row, src.data(), src.size());
  return 0;
}

Rows decode(const uint8_t* data, size_t size, const rx::CcittDecodeParams& params, int32_t* code) {
  Rows out;
  IO_REC io{};
  io.raster_set = keep_row;
  io.cb_data[RX_CBD_RASTER_SET] = reinterpret_cast<uintptr_t>(&out);
  rx::CcittDecodeResult result;
  *code = rx::ccitt_decode(&io, params, data, static_cast<uint32_t>(size), nullptr, &result);
  if (out.rows.size() != static_cast<size_t>(params.rows) && *code == 0) abort();
  return out;
}

// Clears the bits past the width, which carry no pixels.
void tidy(std::vector<std::vector<uint8_t>>* rows, uint32_t width) {
  for (auto& r : *rows)
    for (size_t bit = width; bit < r.size() * 8; ++bit)
      r[bit / 8] &= static_cast<uint8_t>(~(0x80 >> (bit % 8)));
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RX_engine_start(0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < kHeader) return 0;
  rx::CcittDecodeParams params;
  params.variant = kDecodeVariants[data[0] % 8];
  params.fill_order = (data[1] & 1) ? 2 : 1;
  params.polarity = (data[1] >> 1) & 1;
  params.eol_first = (data[1] >> 2) & 1;
  params.run_rows = (data[1] >> 3) & 1;
  params.width = 1 + ((uint32_t{data[2]} << 8 | data[3]) % 3000);
  params.rows = 1 + data[4] % 64;
  const int32_t encode_variant = kEncodeVariants[data[5] % 8];
  int32_t code = 0;
  Rows first = decode(data + kHeader, size - kHeader, params, &code);
  RPb_AF_error_clear();
  if (params.run_rows != 0 || code != 0) return 0;
  // Code the decoded picture again and read it back.
  tidy(&first.rows, params.width);
  // Large enough for 64 rows of 3000 pixels in any variant; kept between
  // runs, since clearing megabytes each time would slow fuzzing down.
  static std::vector<uint8_t> block(1 << 21);
  IO_REC io;
  rx::io_from_template(&io);
  rx::io_memory_attach(&io, block.data(), static_cast<int32_t>(block.size()), 0);
  Rows source;
  source.source = &first.rows;
  io.raster_get = give_row;
  io.cb_data[RX_CBD_RASTER_GET] = reinterpret_cast<uintptr_t>(&source);
  rx::CcittEncodeParams e;
  e.variant = encode_variant;
  e.polarity = params.polarity;
  e.fill_order = params.fill_order;
  e.k = 1 + data[5] / 8 % 4;
  e.fill = data[1] >> 4 & 1;
  e.eol_first = data[1] >> 5 & 1;
  RX_BITMAPINFOHEADER h{40, static_cast<int32_t>(params.width), params.rows, 1, 1, 0, 0, 0, 0, 2, 2};
  if (rx::ccitt_encode(&io, e, h, 0, params.rows, nullptr) != 0) abort();
  const int32_t length = rx::io_data_length_get(&io);
  rx::CcittDecodeParams again = params;
  again.variant = encode_variant == 100 ? 3 : encode_variant == 101 ? 12 : encode_variant;
  // A leading EOL is passed over when it is there.
  again.eol_first = 0;
  Rows second = decode(block.data(), static_cast<size_t>(length), again, &code);
  tidy(&second.rows, params.width);
  if (code != 0 || second.rows != first.rows) abort();
  RPb_AF_error_clear();
  return 0;
}
