// Rows as the fax codec sees them: the columns at which the colour changes.
//
// A change list holds, in strictly increasing order and all below the
// width, the end of the white run at column 0 (0 when the row starts
// black), then the end of the following black run, and so on; at least
// kSentinels copies of the width follow the last change, so that coders can
// look past it without bounds checks. A list for a width w needs
// change_list_size(w) entries.
#pragma once

#include <cstdint>

namespace rx::ccitt {

inline constexpr uint32_t kSentinels = 3;
constexpr uint32_t change_list_size(uint32_t width) { return width + kSentinels + 1; }

// Builds a change list as a row is decoded. A change at the same column as
// the last one cancels it: the two runs between them are empty.
struct ChangeList {
  uint32_t* col;
  uint32_t n = 0;

  void add(uint32_t c) {
    if (n != 0 && col[n - 1] == c) --n;
    else col[n++] = c;
  }
  // Colour at the end of the list: true when white.
  bool white() const { return (n & 1) == 0; }
  void close(uint32_t width) {
    for (uint32_t k = 0; k < kSentinels; ++k) col[n + k] = width;
  }
};

// The change list of `width` pixels of a packed row (top bit first), in
// which white pixels are set bits when `white_is_one`, else clear bits.
// `col` holds change_list_size(width) entries; returns the count.
uint32_t changes_from_packed(const uint8_t* row, uint32_t width, bool white_is_one, uint32_t* col);

// The change list of an all-white row.
uint32_t changes_white(uint32_t width, uint32_t* col);

// Writes the run row of a change list into `out` (run_row_max_bytes(width)
// bytes) and returns its length in bytes. Set bits are white when
// `white_is_one`.
uint32_t changes_to_run_row(const uint32_t* col, uint32_t n, uint32_t width, bool white_is_one,
                            uint8_t* out);

// Expands a change list into `bytes` bytes of a packed row; bits past the
// width are 0.
void changes_to_packed(const uint32_t* col, uint32_t n, uint32_t width, bool white_is_one,
                       uint8_t* out, uint32_t bytes);

}  // namespace rx::ccitt
