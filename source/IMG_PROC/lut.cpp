// Look-up tables applied to the pixels of a rectangle, row by row in place.
#include <array>

#include "IMG_PROC/ip_common.h"
#include "SUPPORT/error.h"

RX_SOURCE("source\\IMG_PROC\\lut.cpp");

namespace rx::ip {
namespace {

constexpr std::array<uint8_t, 256> make_table(bool inverse) {
  std::array<uint8_t, 256> t{};
  for (uint32_t i = 0; i < 256; ++i) t[i] = static_cast<uint8_t>(inverse ? 255 - i : i);
  return t;
}

constexpr std::array<uint8_t, 256> kInverse = make_table(true);
constexpr std::array<uint8_t, 256> kIdentity = make_table(false);

}  // namespace

const uint8_t* lut_inverse() { return kInverse.data(); }
const uint8_t* lut_identity() { return kIdentity.data(); }

bool lut8_apply(IMAGE_REC* record, const Span& span, const uint8_t* lut) {
  const auto columns = static_cast<size_t>(span.columns());
  return span_walk(record, span, 1, [&](int32_t row) {
    uint8_t* p = dib_image_row(record->dib, row) + span.left;
    for (size_t x = 0; x < columns; ++x) p[x] = lut[p[x]];
    return true;
  });
}

bool lut24_apply(IMAGE_REC* record, const Span& span, const uint8_t* blue, const uint8_t* green,
                 const uint8_t* red) {
  const auto columns = static_cast<size_t>(span.columns());
  return span_walk(record, span, 1, [&](int32_t row) {
    uint8_t* p = dib_image_row(record->dib, row) + size_t{3} * static_cast<uint32_t>(span.left);
    for (size_t x = 0; x < columns; ++x, p += 3) {
      p[0] = blue[p[0]];
      p[1] = green[p[1]];
      p[2] = red[p[2]];
    }
    return true;
  });
}

}  // namespace rx::ip

using namespace rx;
using namespace rx::ip;

extern "C" int32_t RX_IP_LUT_apply_8(RX_HIMAGE image, const int32_t* rect, const uint8_t* lut) {
  IMAGE_REC* record = enter_or_push(image);
  if (record == nullptr) return RPb_AF_error_check();
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  if (h->biBitCount != 8) RX_ERR(RXE_INVALID_BIT_COUNT, h->biBitCount, 0);
  else if (lut == nullptr) RX_ERR(RXE_INVALID_POINTER, 0, 0);
  else lut8_apply(record, span_clamp(rect, h), lut);
  return RPb_AF_error_check();
}

extern "C" int32_t RX_IP_LUT_apply_24(RX_HIMAGE image, const int32_t* rect, const uint8_t* red,
                                      const uint8_t* green, const uint8_t* blue) {
  IMAGE_REC* record = enter_or_push(image);
  if (record == nullptr) return RPb_AF_error_check();
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  if (h->biBitCount != 24) {
    RX_ERR(RXE_INVALID_BIT_COUNT, h->biBitCount, 0);
    return RPb_AF_error_check();
  }
  // An absent table keeps its channel: the identity does exactly that and
  // keeps one loop for every combination.
  const uint8_t* same = lut_identity();
  lut24_apply(record, span_clamp(rect, h), blue ? blue : same, green ? green : same,
              red ? red : same);
  return RPb_AF_error_check();
}
