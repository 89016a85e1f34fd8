// The raw Group 3 and Group 4 writers: the coded rows alone, with an EOL
// before the first row (Group 3) and the end-of-data mark after the last.
#include <cstring>

#include "SUPPORT/error.h"
#include "filters/ccitt/g34.h"
#include "filters/codecs/ccitt.h"
#include "rastrix/rpb.h"

RX_SOURCE("source\\filters\\ccitt\\G34WRITE.cpp");

namespace rx {
namespace {

constexpr int32_t kFromStart = 0;
// Group 3 two-dimensional files code every second row one-dimensionally.
constexpr int32_t kTwoDimensionalK = 2;

uint32_t grey(const RX_RGBQUAD& c) {
  return (c.rgbRed * 77u + c.rgbGreen * 151u + c.rgbBlue * 28u) >> 8;
}

bool params_choose(int32_t compression, const void* flags, CcittEncodeParams* params) {
  G34_FLAGS f{};
  if (flags != nullptr) std::memcpy(&f, flags, sizeof f);
  switch (compression) {
    case kG34Group3: params->variant = f.fourth != 0 ? kCcittG3Aligned : kCcittG3; return true;
    case kG34Group4: params->variant = kCcittG4; return true;
    case kG34Group3TwoD:
      params->variant = kCcittG3TwoDAligned;
      params->k = kTwoDimensionalK;
      return true;
    default: RX_ERR(RXE_INVALID_COMPRESSION, compression, 0); return false;
  }
}

int32_t save(IO_REC* io, const void* flags, int32_t compression) {
  RX_BITMAPINFOHEADER h{};
  RX_RGBQUAD palette[256] = {};
  if (RPb_IO_DIB_get(io, &h, palette) != 0) return RX_ERR(RXE_TIFF_DIB_GET_FAILURE, 0, 0);
  CcittEncodeParams params;
  if (!params_choose(compression, flags, &params)) return error_count();
  if (h.biBitCount != 1)
    return RX_ERR(RXE_TIFF_DEPTH_INVALID_FOR_COMPRESSION, h.biBitCount, compression);
  // Set bits are white when palette entry 1 is the lighter one.
  params.polarity = grey(palette[1]) >= grey(palette[0]) ? 1 : 0;
  params.fill_order = 1;
  params.eol_first = 1;
  params.fill = 1;
  params.end_of_data = 1;
  return ccitt_encode(io, params, h, 0, h.biHeight, nullptr);
}

int32_t write(IO_REC* io, void* flags, int32_t option, int32_t own) {
  if (io == nullptr) return RX_ERR(RXE_INVALID_POINTER, 0, 0);
  const int32_t start = RPb_IO_tell(io);
  if (save(io, flags, option != 0 ? option : own) == 0 && error_count() == 0) return 0;
  RPb_IO_seek(io, start, kFromStart);
  return error_count();
}

}  // namespace

int32_t g3_write(IO_REC* io, void* flags, int32_t, int32_t, int32_t option) {
  return write(io, flags, option, kG34Group3);
}

int32_t g4_write(IO_REC* io, void* flags, int32_t, int32_t, int32_t option) {
  return write(io, flags, option, kG34Group4);
}

}  // namespace rx
