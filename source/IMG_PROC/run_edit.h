// Reading the change columns of a run row and writing run rows from change
// columns, for the operations that work on runs images without expanding
// them (resize, crop, mirror).
//
// A row's pixels start as 1 at column 0 and flip at every change column;
// the run row lists the change columns below the width, then the width
// three times.
#pragma once

#include <array>
#include <cstdint>
#include <cstring>

#include "SUPPORT/runs.h"

namespace rx::ip {

inline uint32_t run_value(const uint8_t* run_row, uint32_t index) {
  uint16_t v;
  std::memcpy(&v, run_row + 2 * size_t{index}, sizeof v);
  return v;
}

// The change columns of a stored (checked) run row.
class RunChanges {
 public:
  RunChanges(const uint8_t* run_row, uint32_t width) : row_(run_row) {
    const uint32_t values = run_value(run_row, 0) / 2;
    count_ = 0;
    while (1 + count_ < values && run_value(run_row, 1 + count_) < width) ++count_;
  }
  uint32_t count() const { return count_; }
  uint32_t operator[](uint32_t i) const { return run_value(row_, 1 + i); }
  // The pixel value at column x: 1 flipped once per change column <= x.
  uint32_t value_at(uint32_t x) const {
    uint32_t lo = 0, hi = count_;
    while (lo < hi) {
      const uint32_t mid = (lo + hi) / 2;
      if ((*this)[mid] <= x) lo = mid + 1;
      else hi = mid;
    }
    return (lo & 1) == 0 ? 1 : 0;
  }

 private:
  const uint8_t* row_;
  uint32_t count_;
};

// Builds the shortest run row for a sequence of change columns given in
// non-decreasing order: two changes at one column cancel, columns at or
// past the width are dropped. `out` holds run_row_max_bytes(width) bytes.
class RunRowWriter {
 public:
  RunRowWriter(uint8_t* out, uint32_t width) : out_(out), width_(width) {}
  void change(uint32_t column) {
    if (column >= width_) return;
    if (n_ > 0) {
      const uint32_t last = run_value(out_, n_);
      if (column <= last) {  // equal: the two changes cancel (earlier ones cannot come)
        --n_;
        return;
      }
    }
    put(++n_, column);
  }
  // Appends the width three times and the length; returns the length.
  uint32_t finish() {
    for (int k = 0; k < 3; ++k) put(++n_, width_);
    const uint32_t length = 2 * (n_ + 1);
    put(0, length);
    n_ = 0;
    return length;
  }

 private:
  void put(uint32_t index, uint32_t value) {
    const auto v = static_cast<uint16_t>(value);
    std::memcpy(out_ + 2 * size_t{index}, &v, sizeof v);
  }
  uint8_t* out_;
  uint32_t width_;
  uint32_t n_ = 0;  // change columns written so far
};

// The columns at which the bits of a byte change, given the bit before it:
// one entry per previous bit and byte value, the columns padded to eight
// so that they can be written as one block.
struct alignas(16) ByteChanges {
  uint16_t at[8];
  uint32_t count;
};

constexpr std::array<std::array<ByteChanges, 256>, 2> make_byte_changes() {
  std::array<std::array<ByteChanges, 256>, 2> t{};
  for (uint32_t before = 0; before < 2; ++before)
    for (uint32_t b = 0; b < 256; ++b) {
      ByteChanges& c = t[before][b];
      uint32_t bit = before;
      for (uint32_t i = 0; i < 8; ++i) {
        const uint32_t v = (b >> (7 - i)) & 1;
        if (v != bit) c.at[c.count++] = static_cast<uint16_t>(i);
        bit = v;
      }
    }
  return t;
}

inline constexpr auto kByteChanges = make_byte_changes();

// Bytes past run_row_max_bytes that run_row_from_packed may write (and
// then write over or leave past the row's end).
inline constexpr uint32_t kRunRowSlack = 16;

// Encodes `width` pixels of a packed row into a run row a byte at a time:
// bytes of one colour that carry on the current run cost a comparison,
// the others write their eight possible change columns as one block and
// keep as many as there are. `out` holds run_row_max_bytes(width) +
// kRunRowSlack bytes. Gives the same run row as run_row_encode; returns
// its length.
inline uint32_t run_row_from_packed(const uint8_t* packed, uint32_t width, uint8_t* out) {
  uint8_t* at = out + 2;  // past the length
  uint32_t bit = 1;       // rows start inside a run of 1s
  const uint32_t whole = width / 8;
  for (uint32_t i = 0; i < whole; ++i) {
    const uint32_t b = packed[i];
    if (b == (bit ? 0xFFu : 0u)) continue;
    const ByteChanges& c = kByteChanges[bit][b];
    uint16_t columns[8];
    for (int k = 0; k < 8; ++k) columns[k] = static_cast<uint16_t>(c.at[k] + 8 * i);
    std::memcpy(at, columns, sizeof columns);
    at += 2 * c.count;
    bit = b & 1u;
  }
  auto put = [&](uint32_t value) {
    const auto v = static_cast<uint16_t>(value);
    std::memcpy(at, &v, sizeof v);
    at += 2;
  };
  for (uint32_t x = whole * 8; x < width; ++x) {
    const uint32_t v = (packed[x >> 3] >> (7 - (x & 7))) & 1u;
    if (v != bit) put(x);
    bit = v;
  }
  for (int k = 0; k < 3; ++k) put(width);
  const auto length = static_cast<uint32_t>(at - out);
  const auto v = static_cast<uint16_t>(length);
  std::memcpy(out, &v, sizeof v);
  return length;
}

// A run row with its columns reversed (column x becomes width - 1 - x):
// a change at c becomes a change at width - c, and a row that ends in 0s
// starts with an empty run of 1s. Returns the length written to `out`.
inline uint32_t run_row_mirror(const uint8_t* row, uint32_t width, uint8_t* out) {
  const RunChanges changes(row, width);
  RunRowWriter writer(out, width);
  if (changes.count() % 2 != 0) writer.change(0);
  for (uint32_t i = changes.count(); i-- > 0;) writer.change(width - changes[i]);
  return writer.finish();
}

}  // namespace rx::ip
