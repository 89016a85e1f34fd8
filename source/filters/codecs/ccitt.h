// The bi-level fax codec: Modified Huffman, one- and two-dimensional
// Group 3 and Group 4 coding, in both directions, for 1-bit images.
//
// Decoders read coded bytes from a block (refilled from a stream when one
// is given) and hand each row to the stream's raster-set callback, either
// as a packed 1-bit row or as a run row (see SUPPORT/runs.h). Encoders
// fetch each row with the raster-get callback and write the coded bytes to
// the stream, or to a caller's framing writer.
//
// Inside the codec a set bit is white. A polarity of 0 complements rows on
// the way out of a decoder and on the way into an encoder.
#pragma once

#include <cstdint>

#include "filters/codecs/ccitt_bits.h"
#include "rastrix/rx_types.h"

namespace rx {

// Coding variants.
enum CcittVariant : int32_t {
  kCcittMh = 2,              // one-dimensional, no EOL, rows start on byte boundaries
  kCcittG3 = 3,              // one-dimensional, EOL after each row (optionally byte-aligned)
  kCcittG3Aligned = 4,       // one-dimensional, EOLs in 24-bit-or-more fields ending on bytes
  kCcittG3TwoD = 10,         // EOL + tag bit before each row, one- or two-dimensional rows
  kCcittG3TwoDAligned = 11,  // as 10 with each EOL ending on a byte boundary
  kCcittG4 = 12,             // two-dimensional, no EOL, all-white first reference, EOFB
  kCcittFramedG3 = 100,      // as 3 with plain EOLs, through a framing writer (also 110)
  kCcittFramedG4 = 101,      // as 12 through a framing writer (also 111)
  kCcittFramedG3Alt = 110,
  kCcittFramedG4Alt = 111,
  kCcittParamG3 = 120,       // decoding only: as 3, with a 16-bit parameter kept
  kCcittParamG4 = 121,       // decoding only: as 12, with a 32-bit parameter kept
};

// The widest row the codec takes: positions and runs stay far inside 32
// bits, and a run row's columns fit its 16-bit fields.
inline constexpr uint32_t kCcittMaxWidth = 65535;
// The block that file readers decode from.
inline constexpr uint32_t kCcittBlockBytes = 65534;

bool ccitt_decodes(int32_t variant);
bool ccitt_encodes(int32_t variant);

struct CcittDecodeParams {
  int32_t variant = kCcittG4;
  uint32_t width = 0;      // 1..kCcittMaxWidth (run rows: 1..kMaxRunsWidth)
  int32_t rows = 0;        // rows to deliver, 0 or more
  int32_t first_row = 0;   // row index of the first delivered row
  int32_t fill_order = 1;  // 1: the first bit is a byte's most significant; 2: its least
  int32_t polarity = 1;    // non-zero: set bits are white; 0: rows are complemented
  int32_t eol_first = 0;   // one-dimensional data: search for an EOL before the first row
  int32_t run_rows = 0;    // non-zero: deliver run rows instead of packed rows
  uint32_t extra = 0;      // the parameter of variants 120 and 121
};

struct CcittDecodeResult {
  int32_t rows_decoded = 0;  // rows decoded from the data; the rest went out blank
  int32_t end_of_data = 0;   // an RTC or EOFB ended the data
  int32_t exhausted = 0;     // the data ran out before the last row (the caller reports it)
};

// Decodes `params.rows` rows from `size` bytes at `data` and delivers them
// with RPb_IO_raster_set(io, row, params.first_row + i, bytes): packed rows of
// ((width + 31) / 32) * 4 bytes, or run rows of their own length. When
// `refill` is given, the block it names is refilled from its stream once
// the data is used up. Rows after the end of the data go out blank (white
// after the polarity step). Returns 0 or the first pushed code: -3320 for a
// bad variant, width, row count or fill order, -2403 for a code the tables
// do not know, -1000 for memory, or the delivery's failure. Running out of
// data is not pushed: `result->exhausted` tells the caller, which reports
// -2051.
int32_t ccitt_decode(IO_REC* io, const CcittDecodeParams& params, const uint8_t* data,
                     uint32_t size, ccitt::Source* refill, CcittDecodeResult* result);

struct CcittEncodeParams {
  int32_t variant = kCcittG4;
  int32_t fill_order = 1;
  int32_t polarity = 1;
  int32_t k = 2;            // variants 10 and 11: every k-th row is one-dimensional
  int32_t eol_first = 0;    // one-dimensional variants: an EOL before the first row
  int32_t fill = 0;         // variant 3: EOLs end on byte boundaries
  int32_t end_of_data = 1;  // RTC (or six aligned EOL fields) / EOFB after the last row
  ccitt::SinkFn framer = nullptr;  // variants 100..111: takes the coded bytes
  void* framer_user = nullptr;
};

// Encodes `rows` rows of the 1-bit image described by `header`, fetched
// with RPb_IO_raster_get(io, row, first_row + i, stride), and writes the
// coded bytes to the stream (or the framing writer). `bytes_out`, when not
// null, receives the number of bytes written. Returns 0 or the first pushed
// code: -3300 for a depth other than 1, -3320 for a bad variant, width or
// fill order, -1000 for memory, -2071 for a short write, or the fetch's
// failure.
int32_t ccitt_encode(IO_REC* io, const CcittEncodeParams& params, const RX_BITMAPINFOHEADER& header,
                     int32_t first_row, int32_t rows, uint64_t* bytes_out);

}  // namespace rx
