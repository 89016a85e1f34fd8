// Inverting the pixels of 1-bit images: plain rows have their bits
// complemented in place; runs rows are expanded, complemented and stored
// back as run rows, so the image keeps the runs format.
#include <cstring>

#include "IMG_PROC/ip_common.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "SUPPORT/runs.h"

RX_SOURCE("source\\IMG_PROC\\bilevel.cpp");

namespace rx::ip {
namespace {

// Complements bits [from, to] of a packed row, top bit first; the padding
// bits past the width stay as they were.
void complement_bits(uint8_t* row, uint32_t from, uint32_t to) {
  const uint32_t first = from >> 3;
  const uint32_t last = to >> 3;
  const auto head = static_cast<uint8_t>(0xFFu >> (from & 7));
  const auto tail = static_cast<uint8_t>(0xFFu << (7 - (to & 7)));
  if (first == last) {
    row[first] ^= static_cast<uint8_t>(head & tail);
    return;
  }
  row[first] ^= head;
  for (uint32_t i = first + 1; i < last; ++i) row[i] = static_cast<uint8_t>(~row[i]);
  row[last] ^= tail;
}

bool plain_invert(IMAGE_REC* record, const Span& span) {
  const auto from = static_cast<uint32_t>(span.left);
  const auto to = static_cast<uint32_t>(span.right);
  return span_walk(record, span, 1, [&](int32_t row) {
    complement_bits(dib_image_row(record->dib, row), from, to);
    return true;
  });
}

bool runs_invert(IMAGE_REC* record, const Span& span) {
  const RX_BITMAPINFOHEADER* h = dib_header(record->dib);
  const auto width = static_cast<uint32_t>(h->biWidth);
  const int32_t height = h->biHeight;
  const uint32_t stride = dib_stride_of(h);
  // The closing runs_finish below must not touch rows that another
  // operation, holding the lock, is in the middle of storing.
  if (record->lock != 0) {
    push_lock_failed();
    return false;
  }
  TagGuard scratch;
  auto* packed = static_cast<uint8_t*>(scratch.alloc(stride));
  auto* run_row = static_cast<uint8_t*>(scratch.alloc(run_row_max_bytes(width)));
  if (packed == nullptr || run_row == nullptr) {
    RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, stride + run_row_max_bytes(width), 0);
    return false;
  }
  const auto from = static_cast<uint32_t>(span.left);
  const auto to = static_cast<uint32_t>(span.right);
  // Storing a row may move the DIB, so each row is looked up afresh.
  const bool done = span_walk(record, span, 1, [&](int32_t row) {
    const int32_t dib_row = height - 1 - row;
    const uint8_t* stored = runs_row(record, dib_row);
    if (stored == nullptr) {
      RX_ERR(RXE_INTERNAL_ERROR, row, 0);
      return false;
    }
    run_row_expand(stored, width, packed, stride);
    complement_bits(packed, from, to);
    const uint32_t length = run_row_encode(packed, width, run_row);
    return runs_row_store(record, dib_row, run_row, length) == 0;
  });
  // A pass that stopped early (or did not reach the bottom row) may leave
  // gaps between run rows; close them so the image is a finished runs DIB.
  const bool finished = runs_finish(record) == 0;
  return done && finished;
}

}  // namespace

bool bilevel_invert(IMAGE_REC* record, const Span& span) {
  return dib_is_runs(record->dib) ? runs_invert(record, span) : plain_invert(record, span);
}

}  // namespace rx::ip
