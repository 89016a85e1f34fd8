// Runs images: keeping run rows in a runs DIB, and converting whole images
// between runs and plain.
#include "SUPPORT/runs.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "SUPPORT/dib.h"
#include "SUPPORT/error.h"
#include "SUPPORT/image_api.h"
#include "SUPPORT/mem_tag.h"
#include "rastrix/rastrix.h"

RX_SOURCE("source\\SUPPORT\\runs.cpp");

namespace rx {
namespace {

// The pixel area of a record's runs DIB, as the storage functions see it.
struct Area {
  IMAGE_REC* record;
  uint8_t* bytes;
  uint32_t capacity;  // biSizeImage: the allocated pixel-area bytes
  uint32_t* table;
  int32_t height;
  uint32_t width;
};

bool area_of(IMAGE_REC* record, Area* a) {
  void* dib = record->dib;
  if (!dib_is_runs(dib) || record->run_table == nullptr) return false;
  const RX_BITMAPINFOHEADER* h = dib_header(dib);
  *a = Area{record, dib_pixels(dib), h->biSizeImage, record->run_table, h->biHeight,
            static_cast<uint32_t>(h->biWidth)};
  return true;
}

// Length of the run row stored for a DIB row; 0 when the table does not
// lead to one that fits the area.
uint32_t stored_length(const Area& a, int32_t dib_row) {
  const uint32_t offset = a.table[dib_row];
  if (a.capacity < 2 || offset > a.capacity - 2) return 0;
  const uint32_t length = run_value_get(a.bytes + offset, 0);
  return length >= kMinRunRowBytes && length <= a.capacity - offset ? length : 0;
}

bool stored_end(const Area& a, int32_t dib_row, uint32_t* end) {
  const uint32_t length = stored_length(a, dib_row);
  *end = a.table[dib_row] + length;
  return length != 0;
}

int32_t area_resize(Area* a, uint64_t capacity) {
  void* dib = a->record->dib;
  const uint64_t size = dib_pixel_offset(dib_header(dib)) + capacity;
  void* moved = RPb_AF_mem_realloc(a->record->tag, dib, static_cast<size_t>(size));
  if (moved == nullptr)
    return RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, std::min<uint64_t>(size, 0x7FFFFFFF), 0);
  a->record->dib = moved;
  dib_header(moved)->biSizeImage = static_cast<uint32_t>(capacity);
  a->bytes = dib_pixels(moved);
  a->capacity = static_cast<uint32_t>(capacity);
  return 0;
}

// Sums the stored rows other than `skip`, checking that every row lies
// inside the area, below the row above it.
bool measure_rows(const Area& a, int32_t skip, uint64_t* others) {
  uint64_t end = 0;
  *others = 0;
  for (int32_t d = a.height - 1; d >= 0; --d) {
    const uint32_t n = stored_length(a, d);
    if (n == 0 || a.table[d] < end) return false;
    end = uint64_t{a.table[d]} + n;
    if (d != skip) *others += n;
  }
  return true;
}

// Lays the rows out again around DIB row `dib_row`, which is to get
// `length` bytes: rows above packed from the start, rows below packed
// against the end, all free bytes between them; the area doubles first when
// they do not fit. `at` receives the new row's offset: right after the rows
// above, or right before the rows below when rows come upwards, so that
// the next rows of the pass find the free bytes beside them.
int32_t relayout(Area* a, int32_t dib_row, uint32_t length, bool upwards, uint32_t* at) {
  uint64_t others = 0;
  if (!measure_rows(*a, dib_row, &others)) return RX_ERR(RXE_INTERNAL_ERROR, dib_row, 0);
  const uint64_t need = others + length;
  if (need > a->capacity) {
    const uint64_t limit = kMaxDibBytes - dib_pixel_offset(dib_header(a->record->dib));
    if (need > limit) return RX_ERR(RXE_DIB_SIZE_WRONG, a->width, a->height);
    const int32_t code = area_resize(a, std::min(std::max(uint64_t{a->capacity} * 2, need), limit));
    if (code != 0) return code;
  }
  // Rows above only move left and rows below only move right, each past
  // bytes already moved.
  uint32_t head = 0;
  for (int32_t d = a->height - 1; d > dib_row; --d) {
    const uint32_t n = stored_length(*a, d);
    if (a->table[d] != head) std::memmove(a->bytes + head, a->bytes + a->table[d], n);
    a->table[d] = head;
    head += n;
  }
  uint32_t tail = a->capacity;
  for (int32_t d = 0; d < dib_row; ++d) {
    const uint32_t n = stored_length(*a, d);
    tail -= n;
    if (a->table[d] != tail) std::memmove(a->bytes + tail, a->bytes + a->table[d], n);
    a->table[d] = tail;
  }
  *at = upwards ? tail - length : head;
  return 0;
}

// The row stored last. A row stored just above it means rows are coming
// from the bottom up, and the free bytes are best left above the new row.
struct LastStore {
  const IMAGE_REC* record;
  int32_t dib_row;
};

LastStore g_last_store;

bool storing_upwards(const IMAGE_REC* record, int32_t dib_row) {
  return g_last_store.record == record && g_last_store.dib_row == dib_row - 1;
}

}  // namespace

// ---- Run rows of an image ---------------------------------------------------

const uint8_t* runs_row(IMAGE_REC* record, int32_t dib_row) {
  Area a;
  if (!area_of(record, &a) || dib_row < 0 || dib_row >= a.height) return nullptr;
  return stored_length(a, dib_row) != 0 ? a.bytes + a.table[dib_row] : nullptr;
}

int32_t runs_row_store(IMAGE_REC* record, int32_t dib_row, const uint8_t* run_row,
                       size_t run_bytes) {
  Area a;
  if (!area_of(record, &a)) return RX_ERR(RXE_RUNS_FORMAT, 0, 0);
  if (dib_row < 0 || dib_row >= a.height)
    return RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, dib_row, a.height);
  const uint32_t length = run_row_check(run_row, run_bytes, a.width);
  if (length == 0) return RX_ERR(RXE_COMPRESSION_ERROR, a.height - 1 - dib_row, 0);
  uint32_t start = 0;
  if (dib_row + 1 < a.height && !stored_end(a, dib_row + 1, &start))
    return RX_ERR(RXE_INTERNAL_ERROR, dib_row + 1, 0);
  const uint32_t limit = dib_row > 0 ? std::min(a.table[dib_row - 1], a.capacity) : a.capacity;
  const bool upwards = storing_upwards(record, dib_row);
  uint32_t at = upwards ? limit - length : start;
  if (uint64_t{start} + length > limit) {
    const int32_t code = relayout(&a, dib_row, length, upwards, &at);
    if (code != 0) return code;
  }
  std::memcpy(a.bytes + at, run_row, length);
  a.table[dib_row] = at;
  g_last_store = LastStore{record, dib_row};
  // A pass over every row ends at the bottom row, or at the top one when
  // it went upwards: then the rows are packed again.
  const bool pass_done = dib_row == 0 || (upwards && dib_row == a.height - 1);
  return pass_done ? runs_finish(record) : 0;
}

int32_t runs_packed_store(IMAGE_REC* record, int32_t dib_row, const uint8_t* packed,
                          uint8_t* scratch) {
  const auto width = static_cast<uint32_t>(dib_header(record->dib)->biWidth);
  const uint32_t length = run_row_encode(packed, width, scratch);
  return runs_row_store(record, dib_row, scratch, length);
}

const uint8_t* image_row_packed(IMAGE_REC* record, int32_t row, uint8_t* scratch,
                                uint32_t scratch_bytes) {
  void* dib = record->dib;
  if (!dib_is_runs(dib)) return dib_image_row(dib, row);
  const RX_BITMAPINFOHEADER* h = dib_header(dib);
  const uint8_t* run_row = runs_row(record, h->biHeight - 1 - row);
  if (run_row == nullptr || dib_stride_of(h) > scratch_bytes) {
    RX_ERR(RXE_INTERNAL_ERROR, row, 0);
    return nullptr;
  }
  run_row_expand(run_row, static_cast<uint32_t>(h->biWidth), scratch, dib_stride_of(h));
  return scratch;
}

int32_t runs_finish(IMAGE_REC* record) {
  Area a;
  if (!area_of(record, &a)) return RX_ERR(RXE_RUNS_FORMAT, 0, 0);
  uint32_t next = 0;
  for (int32_t d = a.height - 1; d >= 0; --d) {
    const uint32_t length = stored_length(a, d);
    if (length == 0 || a.table[d] < next) return RX_ERR(RXE_INTERNAL_ERROR, d, 0);
    if (a.table[d] != next) std::memmove(a.bytes + next, a.bytes + a.table[d], length);
    a.table[d] = next;
    next += length;
  }
  return next == a.capacity ? 0 : area_resize(&a, next);
}

int32_t runs_table_build(IMAGE_REC* record) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const auto rows = static_cast<uint32_t>(h->biHeight);
  auto* table = static_cast<uint32_t*>(RPb_AF_mem_alloc(record->tag, size_t{4} * rows));
  if (table == nullptr) return RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, 4 * rows, 0);
  record->run_table = table;
  const uint8_t* area = dib_pixels(record->dib);
  const uint32_t capacity = h->biSizeImage;
  const auto width = static_cast<uint32_t>(h->biWidth);
  uint32_t offset = 0;
  for (uint32_t r = 0; r < rows; ++r) {
    const uint32_t length = run_row_check(area + offset, capacity - offset, width);
    if (length == 0) return RX_ERR(RXE_COMPRESSION_ERROR, r, offset);
    table[rows - 1 - r] = offset;
    offset += length;
  }
  return runs_finish(record);
}

// ---- Whole-image conversions ------------------------------------------------

namespace {

int32_t expand_all(IMAGE_REC* record, void* plain) {
  const RX_BITMAPINFOHEADER* h = dib_header(plain);
  const uint32_t stride = dib_stride_of(h);
  uint8_t* pixels = dib_pixels(plain);
  for (int32_t d = 0; d < h->biHeight; ++d) {
    const uint8_t* row = runs_row(record, d);
    if (row == nullptr) return RX_ERR(RXE_INTERNAL_ERROR, d, 0);
    run_row_expand(row, static_cast<uint32_t>(h->biWidth), pixels + size_t{stride} * d, stride);
  }
  return 0;
}

int32_t encode_all(IMAGE_REC* record, void* plain) {
  const RX_BITMAPINFOHEADER* h = dib_header(plain);
  TagGuard scratch;
  auto* run_row = static_cast<uint8_t*>(
      scratch.alloc(run_row_max_bytes(static_cast<uint32_t>(h->biWidth))));
  if (run_row == nullptr) return RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, 2 * h->biWidth + 8, 0);
  for (int32_t r = 0; r < h->biHeight; ++r) {
    const int32_t code =
        runs_packed_store(record, h->biHeight - 1 - r, dib_image_row(plain, r), run_row);
    if (code != 0) return code;
  }
  return 0;
}

}  // namespace

int32_t runs_to_plain(IMAGE_REC* record) {
  void* runs = record->dib;
  if (!dib_is_runs(runs)) return 0;
  if (!record_lock(record)) return RX_ERR(RXE_MEMORY_LOCK_FAILED, 0, 0);
  RX_BITMAPINFOHEADER h = *dib_header(runs);
  h.biCompression = RX_BI_RGB;
  void* plain = dib_alloc(record, h, dib_palette(runs));
  int32_t code = plain != nullptr ? expand_all(record, plain) : RXE_GLOBAL_MEMORY_DEPLETED;
  if (code == 0) {
    RPb_DIB_free(runs, record);
    RPb_image_associate(plain, record, 0);
  } else if (plain != nullptr) {
    RPb_AF_mem_free(record->tag, plain);
  }
  record_unlock(record);
  return code;
}

int32_t plain_to_runs(IMAGE_REC* record) {
  void* plain = record->dib;
  const RX_BITMAPINFOHEADER* ph = dib_header(plain);
  if (ph->biBitCount != 1) return RX_ERR(RXE_INVALID_BIT_COUNT, ph->biBitCount, 0);
  if (ph->biCompression == RX_BI_RUNS) return 0;
  if (!record_lock(record)) return RX_ERR(RXE_MEMORY_LOCK_FAILED, 0, 0);
  RX_BITMAPINFOHEADER h = *ph;
  h.biCompression = RX_BI_RUNS;
  int32_t code = RXE_GLOBAL_MEMORY_DEPLETED;
  if (void* runs = dib_alloc(record, h, dib_palette(plain))) {
    // Rows are stored through the record, so it holds the new DIB meanwhile.
    record->dib = runs;
    code = encode_all(record, plain);
    if (code == 0) {
      RPb_AF_mem_free(record->tag, plain);
    } else {
      RPb_DIB_free(record->dib, record);
      record->dib = plain;
    }
  }
  record_unlock(record);
  return code;
}

}  // namespace rx

using namespace rx;

extern "C" int32_t RX_IP_convert_runs_to_DIB(RX_HIMAGE image) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  if (image_header(record) != nullptr) runs_to_plain(record);
  return RPb_AF_error_check();
}

extern "C" int32_t RX_IP_convert_DIB_to_runs(RX_HIMAGE image) {
  IMAGE_REC* record = image_enter(image);
  if (record == nullptr) return 0;
  if (image_header(record) != nullptr) plain_to_runs(record);
  return RPb_AF_error_check();
}
