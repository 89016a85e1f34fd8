// Measuring the skew of a bi-level page from its dark blobs.
//
// The rows are scanned from the top for runs of dark pixels; runs that touch
// (diagonally too) form blobs with bounding boxes. Scanning ends after the
// row in which more than kBlobsEnough blobs are alive. The bottom-right
// corner of every blob finished by then votes in a table of distances by angles: the
// corners of letters on one text line share a distance at the angle
// perpendicular to the line. A coarse search over half a turn in
// kCoarseStep steps and a fine one of +-1 degree around its result in
// 0.1-degree steps give the line's normal; the skew is 90 degrees minus it.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "IMG_PROC/ip_common.h"
#include "IMG_PROC/skew.h"
#include "SUPPORT/dib.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "SUPPORT/run_row.h"
#include "SUPPORT/runs.h"

RX_SOURCE("source\\IMG_PROC\\skew_measure.cpp");

namespace rx::ip {
namespace {

// Enough blobs to find the lines of a page; scanning further only costs.
constexpr int32_t kBlobsEnough = 1800;
// The blob table grows by this many entries.
constexpr uint32_t kBlobsGrowth = 64;
// Distance bins of the vote table.
constexpr int32_t kBins = 1025;
// A bin's best angle counts only with more votes than this.
constexpr uint32_t kVotesLeast = 3;
// Degrees to radians, as the searches have always converted them.
constexpr double kRadiansPerDegree = 0.017453292522222223;
// Half-degree coarse steps keep the nearest coarse angle within a quarter
// degree of a line. With 2-degree steps a page smaller than A4 at 300 dpi
// was often measured tens of degrees off: a line a whole degree from every
// coarse angle smears its votes over several bins, and a chance alignment
// of corners elsewhere outvotes it. The finer step costs four times the
// votes of a coarse pass, still small beside collecting the blobs.
constexpr double kCoarseStep = 0.5;

struct Box {
  int32_t left, top, right, bottom;  // left -1: merged away
};

struct Run {
  int32_t first, last;
  uint32_t blob;
};

// The blobs found so far; merged-away entries are reused.
class Blobs {
 public:
  explicit Blobs(TagGuard& scratch) : scratch_(scratch) {}

  int32_t live() const { return live_; }
  uint32_t size() const { return used_; }
  const Box& at(uint32_t i) const { return boxes_[i]; }

  // A new blob of one run; false once out of memory (pushed).
  bool add(const Run& r, int32_t row, uint32_t* index) {
    if (free_count_ > 0) {
      *index = free_[--free_count_];
    } else {
      if (used_ == capacity_ && !grow()) return false;
      *index = used_++;
    }
    boxes_[*index] = Box{r.first, row, r.last, row};
    ++live_;
    return true;
  }

  void extend(uint32_t i, const Run& r, int32_t row) {
    Box& b = boxes_[i];
    b.left = std::min(b.left, r.first);
    b.right = std::max(b.right, r.last);
    b.bottom = std::max(b.bottom, row);
  }

  // Unites blob `gone` into `into` and frees it.
  void merge(uint32_t into, uint32_t gone) {
    Box& a = boxes_[into];
    const Box& b = boxes_[gone];
    a = Box{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
    boxes_[gone].left = -1;
    free_[free_count_++] = gone;
    --live_;
  }

 private:
  bool grow() {
    const uint32_t more = capacity_ + kBlobsGrowth;
    auto* boxes = static_cast<Box*>(RPb_AF_mem_realloc(scratch_.tag(), boxes_, sizeof(Box) * more));
    if (boxes != nullptr) boxes_ = boxes;
    auto* free = static_cast<uint32_t*>(RPb_AF_mem_realloc(scratch_.tag(), free_, sizeof(uint32_t) * more));
    if (free != nullptr) free_ = free;
    if (boxes == nullptr || free == nullptr) {
      RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(sizeof(Box) * more), 0);
      return false;
    }
    capacity_ = more;
    return true;
  }

  TagGuard& scratch_;
  Box* boxes_ = nullptr;
  uint32_t* free_ = nullptr;
  uint32_t capacity_ = 0, used_ = 0, free_count_ = 0;
  int32_t live_ = 0;
};

// The runs of set bits of a packed row of `width` pixels whose dark pixels
// are set; returns their number.
uint32_t runs_of(const uint8_t* packed, uint32_t width, Run* runs) {
  uint32_t count = 0;
  uint32_t x = 0;
  while (x < width) {
    // Whole bytes of background are skipped at once.
    if ((x & 7) == 0 && packed[x >> 3] == 0) {
      x += 8;
      continue;
    }
    if (((packed[x >> 3] >> (7 - (x & 7))) & 1u) == 0) {
      ++x;
      continue;
    }
    const uint32_t first = x;
    while (x < width && (x & 7) != 0 && ((packed[x >> 3] >> (7 - (x & 7))) & 1u)) ++x;
    while (x + 8 <= width && packed[x >> 3] == 0xFF) x += 8;
    while (x < width && ((packed[x >> 3] >> (7 - (x & 7))) & 1u)) ++x;
    runs[count++] = Run{static_cast<int32_t>(first), static_cast<int32_t>(x - 1), 0};
  }
  return count;
}

void renumber(Run* runs, uint32_t count, uint32_t from, uint32_t to) {
  for (uint32_t i = 0; i < count; ++i)
    if (runs[i].blob == from) runs[i].blob = to;
}

// Joins the current row's runs to the blobs of the previous row's runs.
bool join_row(Blobs& blobs, Run* prev, uint32_t prev_count, Run* cur, uint32_t cur_count, int32_t row) {
  uint32_t start = 0;
  for (uint32_t c = 0; c < cur_count; ++c) {
    Run& r = cur[c];
    while (start < prev_count && prev[start].last + 1 < r.first) ++start;
    bool joined = false;
    for (uint32_t p = start; p < prev_count && prev[p].first - 1 <= r.last; ++p) {
      if (!joined) {
        r.blob = prev[p].blob;
        blobs.extend(r.blob, r, row);
        joined = true;
      } else if (prev[p].blob != r.blob) {
        const uint32_t gone = prev[p].blob;
        blobs.merge(r.blob, gone);
        renumber(prev, prev_count, gone, r.blob);
        renumber(cur, c, gone, r.blob);
      }
    }
    if (!joined && !blobs.add(r, row, &r.blob)) return false;
  }
  return true;
}

// Row `row` (from the top) packed with the dark pixels set.
void dark_row(IMAGE_REC* record, int32_t row, bool dark_is_zero, uint8_t* out) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const uint32_t stride = dib_stride_of(h);
  const auto width = static_cast<uint32_t>(h->biWidth);
  if (dib_is_runs(record->dib)) {
    const uint8_t* stored = runs_row(record, h->biHeight - 1 - row);
    if (stored != nullptr) run_row_expand(stored, width, out, stride);
    else std::memset(out, dark_is_zero ? 0xFF : 0, stride);
  } else {
    std::memcpy(out, dib_image_row(record->dib, row), stride);
  }
  if (dark_is_zero)
    for (uint32_t i = 0; i < stride; ++i) out[i] = static_cast<uint8_t>(~out[i]);
  // Bits past the width are not pixels.
  const uint32_t bytes = (width + 7) / 8;
  if (const uint32_t rest = width & 7) out[bytes - 1] &= static_cast<uint8_t>(0xFFu << (8 - rest));
  std::memset(out + bytes, 0, stride - bytes);
}

// Collects the blobs of the rows from the top until enough are alive;
// `open_row` is then the last row scanned, else -1.
bool blobs_collect(IMAGE_REC* record, Blobs& blobs, TagGuard& scratch, int32_t* open_row) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const auto width = static_cast<uint32_t>(h->biWidth);
  const uint32_t most_runs = width / 2 + 1;
  const size_t stride = dib_stride_of(h);
  auto* packed = static_cast<uint8_t*>(scratch.alloc(stride));
  auto* prev = static_cast<Run*>(scratch.alloc(2 * sizeof(Run) * most_runs));
  if (packed == nullptr || prev == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(std::min<size_t>(stride + 2 * sizeof(Run) * most_runs, INT32_MAX)), 0);
    return false;
  }
  Run* cur = prev + most_runs;
  const bool dark_is_zero = dib_palette(record->dib)[0].rgbBlue == 0;
  uint32_t prev_count = 0;
  for (int32_t y = 0; y < h->biHeight; ++y) {
    dark_row(record, y, dark_is_zero, packed);
    const uint32_t cur_count = runs_of(packed, width, cur);
    if (!join_row(blobs, prev, prev_count, cur, cur_count, y)) return false;
    std::swap(prev, cur);
    prev_count = cur_count;
    if (blobs.live() > kBlobsEnough) {
      *open_row = y;
      break;
    }
  }
  return true;
}

struct Point {
  int32_t x, y;
};

// One search from `from` over `steps` angles `step` degrees apart; the
// winning angle, or the one past the last when no bin has enough votes.
double search(const Point* points, uint32_t count, int32_t w, int32_t h, double from, double to, double step,
              TagGuard& scratch, bool* ok) {
  const auto n = static_cast<int32_t>(std::fabs(to - from) / step);
  const size_t cells = size_t{kBins} * static_cast<uint32_t>(n);
  auto* votes = static_cast<uint32_t*>(scratch.alloc(sizeof(uint32_t) * cells));
  auto* sines = static_cast<int64_t*>(scratch.alloc(2 * sizeof(int64_t) * static_cast<uint32_t>(n)));
  if (votes == nullptr || sines == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(sizeof(uint32_t) * cells), 0);
    *ok = false;
    return from;
  }
  std::memset(votes, 0, sizeof(uint32_t) * cells);
  int64_t* cosines = sines + n;
  for (int32_t i = 0; i < n; ++i) {
    const double radians = (from + i * step) * kRadiansPerDegree;
    sines[i] = static_cast<int64_t>(std::sin(radians) * 65536.0);
    cosines[i] = static_cast<int64_t>(std::cos(radians) * 65536.0);
  }
  const int64_t diagonal = static_cast<int64_t>(std::sqrt(double(w) * w + double(h) * h));
  const int64_t scale = (int64_t{1} << 26) / (diagonal + w);
  for (uint32_t p = 0; p < count; ++p) {
    for (int32_t i = 0; i < n; ++i) {
      const int64_t d = (sines[i] * points[p].y + cosines[i] * points[p].x + int64_t{w} * 65536) >> 16;
      const int64_t bin = (d * scale) >> 16;
      // Past half a turn the distance of a low point can fall below 0.
      if (bin >= 0 && bin < kBins) ++votes[static_cast<size_t>(bin) * n + i];
    }
  }
  uint32_t best_votes = kVotesLeast;
  int32_t best = n;
  for (int32_t b = 0; b < kBins; ++b) {
    const uint32_t* row = votes + size_t{static_cast<uint32_t>(b)} * n;
    for (int32_t i = 0; i < n; ++i) {
      if (row[i] > best_votes) {
        best_votes = row[i];
        best = i;
      }
    }
  }
  return from + best * step;
}

}  // namespace

bool skew_measure(IMAGE_REC* record, double* angle) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  if (h->biBitCount != 1) {
    RX_ERR(RXE_INVALID_BIT_COUNT, h->biBitCount, 0);
    return false;
  }
  *angle = 0.0;
  TagGuard scratch;
  Blobs blobs(scratch);
  int32_t open_row = -1;
  if (!blobs_collect(record, blobs, scratch, &open_row)) return true;
  auto* points = static_cast<Point*>(scratch.alloc(sizeof(Point) * (blobs.size() + 1)));
  if (points == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(sizeof(Point) * blobs.size()), 0);
    return true;
  }
  // A blob that reaches the last row scanned is cut there, not ended: the
  // letters a skewed line crosses there would all seem to end on that row
  // and outvote the line itself, so only finished blobs vote.
  uint32_t count = 0;
  for (uint32_t i = 0; i < blobs.size(); ++i)
    if (blobs.at(i).left >= 0 && blobs.at(i).bottom != open_row)
      points[count++] = Point{blobs.at(i).right, blobs.at(i).bottom};
  bool ok = true;
  const double coarse = search(points, count, h->biWidth, h->biHeight, 0.0, 180.0, kCoarseStep, scratch, &ok);
  const double fine = ok ? search(points, count, h->biWidth, h->biHeight, coarse - 1.0, coarse + 1.0, 0.1, scratch, &ok)
                         : 90.0;
  if (ok) *angle = 90.0 - fine;
  return true;
}

}  // namespace rx::ip

using namespace rx;
using namespace rx::ip;

extern "C" int32_t RX_IP_skew_measure(RX_HIMAGE image, double* angle) {
  IMAGE_REC* record = enter_or_push(image);
  if (record == nullptr) return error_count();
  if (angle == nullptr) {
    RX_ERR(RXE_INVALID_POINTER, 0, 0);
    return error_count();
  }
  double measured = 0.0;
  if (skew_measure(record, &measured)) *angle = measured;
  return error_count();
}
