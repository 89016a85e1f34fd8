// The raw Group 3 and Group 4 readers. The file has no header: the width,
// height and fill order come from the caller through the flags block, and
// the data is decoded straight into run rows.
#include <cstring>

#include "SUPPORT/dib_size.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "filters/ccitt/g34.h"
#include "filters/codecs/ccitt.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\ccitt\\G34READ.cpp");

namespace rx {
namespace {

constexpr int32_t kFromStart = 0;
// The engine's compression names "Group 3" and "Group 4".
constexpr int32_t kCompressionNameGroup3 = 3;
constexpr int32_t kCompressionNameGroup4 = 4;

bool flags_read(const void* flags, G34_FLAGS* out) {
  if (flags == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return false;
  }
  std::memcpy(out, flags, sizeof *out);
  return true;
}

// The image a raw page makes: the caller's size, 1 bit deep, black and
// white, built from run rows.
bool header_make(const G34_FLAGS& f, RX_BITMAPINFOHEADER* h, RX_RGBQUAD palette[2]) {
  if (f.width < 1 || f.width > kMaxRunsWidth || !dib_geometry(f.width, f.height, 1, 0, nullptr)) {
    RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, f.width, f.height);
    return false;
  }
  *h = RX_BITMAPINFOHEADER{kDibHeaderBytes, f.width, f.height, 1, 1, RX_BI_RUNS, 0, 0, 0, 2, 2};
  palette[0] = RX_RGBQUAD{0, 0, 0, 0};
  palette[1] = RX_RGBQUAD{255, 255, 255, 0};
  return true;
}

int32_t load(IO_REC* io, const G34_FLAGS& f, int32_t variant) {
  RX_BITMAPINFOHEADER h{};
  RX_RGBQUAD palette[2];
  if (!header_make(f, &h, palette)) return error_count();
  if (RPb_IO_DIB_create(io, &h, palette) != 0) return error_count();
  TagGuard scratch;
  auto* block = static_cast<uint8_t*>(scratch.alloc(kCcittBlockBytes));
  if (block == nullptr) return RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, kCcittBlockBytes, 0);
  const int32_t got = RPb_IO_read(io, block, static_cast<int32_t>(kCcittBlockBytes));
  // The rest of the file follows as the block is used up.
  ccitt::Source more{block, kCcittBlockBytes, io, -1};
  CcittDecodeParams params;
  params.variant = variant;
  params.width = static_cast<uint32_t>(f.width);
  params.rows = f.height;
  params.fill_order = f.decoder_option == 2 ? 2 : 1;
  params.polarity = 1;
  params.run_rows = 1;
  CcittDecodeResult result;
  const uint32_t size = got > 0 ? static_cast<uint32_t>(got) : 0;
  if (ccitt_decode(io, params, block, size, &more, &result) != 0) return error_count();
  if (result.exhausted != 0) return RX_ERR(RXE_CANT_READ_PIXEL_DATA, result.rows_decoded, f.height);
  return 0;
}

int32_t read(IO_REC* io, void* flags, int32_t variant) {
  if (io == nullptr) return RX_ERR(RXE_INVALID_POINTER, 0, 0);
  const int32_t start = RPb_IO_tell(io);
  G34_FLAGS f{};
  if (flags_read(flags, &f) && load(io, f, variant) == 0 && error_count() == 0) return 0;
  RPb_IO_seek(io, start, kFromStart);
  return error_count();
}

int32_t info(RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette, int32_t* compression,
             const void* flags, int32_t name) {
  G34_FLAGS f{};
  RX_BITMAPINFOHEADER h{};
  RX_RGBQUAD p[2];
  if (!flags_read(flags, &f) || !header_make(f, &h, p)) return error_count();
  if (header != nullptr) *header = h;
  if (palette != nullptr) std::memcpy(palette, p, sizeof p);
  if (compression != nullptr) *compression = name;
  return 0;
}

}  // namespace

int32_t g3_read(IO_REC* io, void* flags, int32_t, int32_t) {
  return read(io, flags, kCcittG3Aligned);
}

int32_t g4_read(IO_REC* io, void* flags, int32_t, int32_t) { return read(io, flags, kCcittG4); }

int32_t g3_info(IO_REC*, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette, int32_t* compression,
                void* flags, int32_t) {
  return info(header, palette, compression, flags, kCompressionNameGroup3);
}

int32_t g4_info(IO_REC*, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette, int32_t* compression,
                void* flags, int32_t) {
  return info(header, palette, compression, flags, kCompressionNameGroup4);
}

int32_t g34_page_count(IO_REC*, void*, int32_t* count) {
  if (count != nullptr) *count = 1;
  return 0;
}

}  // namespace rx
