// Halftoning to 1 bit: the grey value scaled to 0..32 against 4 x 4 cells
// of thresholds, two kinds alternating like a chessboard from the top-left
// corner of the picture.
#include "DITHER/dither_target.h"

RX_SOURCE("source\\DITHER\\halftone.cpp");

namespace rx::dither {
namespace {

constexpr uint8_t kCells[2][4][4] = {
    {{14, 12, 13, 16}, {5, 4, 3, 10}, {6, 1, 2, 11}, {9, 7, 8, 15}},
    {{19, 21, 20, 17}, {28, 29, 30, 23}, {27, 32, 31, 22}, {24, 26, 25, 18}}};

bool halftone_bits(IMAGE_REC* record, NewDib& out) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const auto width = static_cast<uint32_t>(h->biWidth);
  TagGuard scratch;
  auto* grey = static_cast<uint8_t*>(scratch.alloc(width));
  BitPlane plane(out, width, h->biHeight, scratch);
  if (!plane.ok()) return false;
  if (grey == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, width, scratch.tag());
    return false;
  }
  const GreyRows source(record->dib);
  const bool done = storage_walk(h->biHeight, [&](int32_t y) {
    source.row(y, grey);
    const auto band = static_cast<uint32_t>(y / 4);
    uint8_t* bits = plane.row(y);
    for (uint32_t x = 0; x < width; ++x) {
      const uint8_t threshold = kCells[(x / 4 + band) & 1][y % 4][x % 4];
      if (threshold <= grey[x] * 32u / 255u) bits[x >> 3] |= static_cast<uint8_t>(0x80u >> (x & 7));
    }
    return true;
  });
  return done && plane.store();
}

void halftone(IMAGE_REC* record) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  if (!target_ok(h->biBitCount, 1, false)) return;
  ip::RecordLock lock(record);
  if (!lock.held()) {
    ip::push_lock_failed();
    return;
  }
  NewDib out(record);
  if (out.create_runs(h->biWidth, h->biHeight, kBlackWhite, dithered_runs_capacity(h->biWidth, h->biHeight)) && halftone_bits(record, out)) out.attach();
}

}  // namespace
}  // namespace rx::dither

using namespace rx;
using namespace rx::dither;

extern "C" int32_t RX_IP_halftone(RX_HIMAGE image, const int32_t* options) {
  static_cast<void>(options);  // the one option word is not read
  IMAGE_REC* record = ip::enter_image(image, 0);
  if (record != nullptr) halftone(record);
  return RPb_AF_error_check();
}
