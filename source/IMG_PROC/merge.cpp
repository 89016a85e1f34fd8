// Image arithmetic: a region of a source image combined into a target
// image byte by byte with one of eight operations.
#include <algorithm>
#include <cstring>

#include "IMG_PROC/ip_common.h"
#include "SUPPORT/error.h"
#include "SUPPORT/image_api.h"
#include "SUPPORT/mem_tag.h"
#include "SUPPORT/runs.h"

RX_SOURCE("source\\IMG_PROC\\merge.cpp");

namespace rx::ip {
namespace {

// Combines n target bytes with n source bytes; max is the largest pixel
// value (1 for 1-bit images, whose pixels arrive as bytes 0 and 1).
using Combine = void (*)(uint8_t* t, const uint8_t* s, size_t n, uint32_t max);

template <class Op>
void combine(uint8_t* t, const uint8_t* s, size_t n, uint32_t max) {
  for (size_t i = 0; i < n; ++i) t[i] = static_cast<uint8_t>(Op::apply(t[i], s[i], max));
}

struct Add {
  static uint32_t apply(uint32_t t, uint32_t s, uint32_t max) { return std::min(t + s, max); }
};
struct Subtract {
  static uint32_t apply(uint32_t t, uint32_t s, uint32_t) { return t > s ? t - s : 0; }
};
struct Multiply {
  static uint32_t apply(uint32_t t, uint32_t s, uint32_t max) { return std::min(t * s, max); }
};
// Division by 0 saturates: 255 stands for "infinite" (a 1-bit pixel keeps
// its bit 0, so 1), and 0 / 0 stays 0.
struct Divide {
  static uint32_t apply(uint32_t t, uint32_t s, uint32_t max) {
    if (s == 0) return t != 0 ? 255 : 0;
    return std::min(t / s, max);
  }
};
struct And {
  static uint32_t apply(uint32_t t, uint32_t s, uint32_t) { return t & s; }
};
struct Or {
  static uint32_t apply(uint32_t t, uint32_t s, uint32_t) { return t | s; }
};
struct Xor {
  static uint32_t apply(uint32_t t, uint32_t s, uint32_t) { return t ^ s; }
};
// The offset is 127, so a source pixel of 127 leaves the target as it was.
struct OffsetAdd {
  static uint32_t apply(uint32_t t, uint32_t s, uint32_t max) {
    const int32_t v = static_cast<int32_t>(t + s) - 127;
    return static_cast<uint32_t>(std::clamp(v, 0, static_cast<int32_t>(max)));
  }
};

// Chosen once per call so that the pixel loop holds no switch. Unknown
// operations leave the pixels alone.
Combine combine_for(int32_t operation) {
  switch (operation) {
    case RX_MERGE_ADD: return combine<Add>;
    case RX_MERGE_SUBTRACT: return combine<Subtract>;
    case RX_MERGE_MULTIPLY: return combine<Multiply>;
    case RX_MERGE_DIVIDE: return combine<Divide>;
    case RX_MERGE_AND: return combine<And>;
    case RX_MERGE_OR: return combine<Or>;
    case RX_MERGE_XOR: return combine<Xor>;
    case RX_MERGE_OFFSET_ADD: return combine<OffsetAdd>;
    default: return nullptr;
  }
}

bool depth_supported(uint32_t bits) { return bits == 1 || bits == 8 || bits == 24; }

// Both images must have one depth the operations understand; an 8-bit
// image only when its values are grey levels.
bool depths_ok(IMAGE_REC* target, IMAGE_REC* source) {
  const uint32_t a = dib_header(target->dib)->biBitCount;
  const uint32_t b = dib_header(source->dib)->biBitCount;
  if (!depth_supported(a) && !depth_supported(b)) {
    RX_ERR(RXE_BIT_COUNT_UNSUPPORTED, 0, 0);
    return false;
  }
  if ((a == 8 && !image_is_gray(target)) || (b == 8 && !image_is_gray(source))) {
    RX_ERR(RXE_BIT_COUNT_UNSUPPORTED, 0, 0);
    return false;
  }
  if (a != b) {
    RX_ERR(RXE_INCOMPATIBLE_DIBS, 0, 0);
    return false;
  }
  return true;
}

// Where the source region lies and where it lands in the target. Kept in
// 64 bits: left and top may be as far out as the int32 range goes.
struct Placement {
  int64_t x0, y0, x1, y1;  // source columns x0..x1-1, rows y0..y1-1
  int64_t dest_x, dest_y;  // target column and row of the region's first pixel
};

bool place(const int32_t* rect, int32_t left, int32_t top, const RX_BITMAPINFOHEADER* t,
           const RX_BITMAPINFOHEADER* s, Placement* p) {
  int64_t x0 = 0, y0 = 0, x1 = s->biWidth, y1 = s->biHeight;
  if (rect != nullptr) {
    x0 = std::max<int64_t>(std::min(rect[0], rect[2]), 0);
    x1 = std::min<int64_t>(std::max(rect[0], rect[2]), s->biWidth);
    y0 = std::max<int64_t>(std::min(rect[1], rect[3]), 0);
    y1 = std::min<int64_t>(std::max(rect[1], rect[3]), s->biHeight);
  }
  const int64_t end_x = int64_t{left} + (x1 - x0);
  const int64_t end_y = int64_t{top} + (y1 - y0);
  int64_t dest_x = left, dest_y = top;
  if (left < 0) {
    dest_x = 0;
    x0 -= left;
  }
  if (top < 0) {
    dest_y = 0;
    y0 -= top;
  }
  if (end_x > t->biWidth) x1 -= end_x - t->biWidth;
  if (end_y > t->biHeight) y1 -= end_y - t->biHeight;
  if (left > t->biWidth || top > t->biHeight || x1 <= x0 || y1 <= y0) {
    RX_ERR(RXE_ROI_WRONG_TYPE, 0, 0);
    return false;
  }
  *p = Placement{x0, y0, x1, y1, dest_x, dest_y};
  return true;
}

// 1-bit pixels as bytes 0 and 1 and back; storing keeps bit 0 of each byte.
void bits_to_bytes(const uint8_t* row, size_t first, size_t n, uint8_t* out) {
  for (size_t i = 0; i < n; ++i) {
    const size_t x = first + i;
    out[i] = static_cast<uint8_t>((row[x >> 3] >> (7 - (x & 7))) & 1u);
  }
}

void bytes_to_bits(uint8_t* row, size_t first, size_t n, const uint8_t* in) {
  for (size_t i = 0; i < n; ++i) {
    const size_t x = first + i;
    const auto mask = static_cast<uint8_t>(0x80u >> (x & 7));
    row[x >> 3] = static_cast<uint8_t>((in[i] & 1u) ? row[x >> 3] | mask : row[x >> 3] & ~mask);
  }
}

constexpr int64_t kAllRowsDone = -1;
constexpr int64_t kFailed = -2;

// The row loop. Returns kAllRowsDone, the region row after which the
// status callback stopped it, or kFailed once the reason is pushed.
int64_t combine_rows(IMAGE_REC* target, IMAGE_REC* source, const Placement& p, Combine fn) {
  const uint32_t bits = dib_header(target->dib)->biBitCount;
  const size_t bytes_per_pixel = bits == 24 ? 3 : 1;
  const auto columns = static_cast<size_t>(p.x1 - p.x0);
  const auto rows = static_cast<int32_t>(p.y1 - p.y0);
  const uint64_t buffer_bytes = uint64_t{3} * columns;
  TagGuard scratch;
  auto* t_buf = static_cast<uint8_t*>(scratch.alloc(static_cast<size_t>(buffer_bytes)));
  auto* s_buf = static_cast<uint8_t*>(scratch.alloc(static_cast<size_t>(buffer_bytes)));
  if (t_buf == nullptr || s_buf == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, std::min<uint64_t>(buffer_bytes, 0x7FFFFFFF), 0);
    return kFailed;
  }
  // One lock when target and source are the same image.
  RecordLock t_lock(target);
  RecordLock s_lock(source != target ? source : nullptr);
  if (!t_lock.held() || (source != target && !s_lock.held())) {
    push_lock_failed();
    return kFailed;
  }
  const Progress progress;
  const size_t span = columns * bytes_per_pixel;
  const auto t_first = static_cast<size_t>(p.dest_x);
  const auto s_first = static_cast<size_t>(p.x0);
  for (int32_t r = 0; r < rows; ++r) {
    // The source span is copied before the target span is written, so a
    // row merged with itself reads its own pixels as they were.
    uint8_t* t_row = dib_image_row(target->dib, static_cast<int32_t>(p.dest_y + r));
    const uint8_t* s_row = dib_image_row(source->dib, static_cast<int32_t>(p.y0 + r));
    if (fn != nullptr) {
      if (bits == 1) {
        bits_to_bytes(t_row, t_first, columns, t_buf);
        bits_to_bytes(s_row, s_first, columns, s_buf);
        fn(t_buf, s_buf, columns, 1);
        bytes_to_bits(t_row, t_first, columns, t_buf);
      } else {
        std::memcpy(s_buf, s_row + s_first * bytes_per_pixel, span);
        fn(t_row + t_first * bytes_per_pixel, s_buf, span, 255);
      }
    }
    if (!progress.go_on(r, rows)) return r;
  }
  return kAllRowsDone;
}

}  // namespace
}  // namespace rx::ip

using namespace rx;
using namespace rx::ip;

extern "C" int32_t RX_IP_merge(RX_HIMAGE target, RX_HIMAGE source, const int32_t* rect,
                               int32_t left, int32_t top, int32_t operation) {
  IMAGE_REC* t = image_enter(target);
  if (t == nullptr || !RPb_iRX_image_is_valid(source)) return 0;
  IMAGE_REC* s = record_of(source);
  if (image_header(t) == nullptr || image_header(s) == nullptr || !depths_ok(t, s))
    return RPb_AF_error_check();
  Placement p{};
  if (!place(rect, left, top, dib_header(t->dib), dib_header(s->dib), &p))
    return RPb_AF_error_check();

  // Runs images are combined as plain rows and put back afterwards, also
  // after an interruption. When target and source are one image it is
  // plain by the time the source is looked at.
  const bool target_runs = dib_is_runs(t->dib);
  if (target_runs && runs_to_plain(t) != 0) return RPb_AF_error_check();
  const bool source_runs = dib_is_runs(s->dib);
  if (!source_runs || runs_to_plain(s) == 0) {
    const int64_t stopped = combine_rows(t, s, p, combine_for(operation));
    if (stopped >= 0) RX_ERR(RXE_INTERRUPTED_BY_USER, stopped, p.y1 - p.y0);
    if (source_runs) plain_to_runs(s);
  }
  if (target_runs) plain_to_runs(t);
  return RPb_AF_error_check();
}
