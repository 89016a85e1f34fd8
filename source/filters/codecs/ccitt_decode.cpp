// The fax decoder: row framing by variant (EOLs, tag bits, byte-aligned
// rows, RTC and EOFB), the one- or two-dimensional row decoders, and the
// delivery of each row as a packed row or a run row.
#include <algorithm>
#include <climits>
#include <utility>

#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "SUPPORT/runs.h"
#include "filters/codecs/ccitt.h"
#include "filters/codecs/ccitt_coder.h"

RX_SOURCE("source\\filters\\codecs\\ccitt_decode.cpp");

namespace rx {
namespace {

using namespace ccitt;

// How rows begin in the data.
enum class Framing {
  kNone,       // Group 4: rows follow each other; an EOL at a row start is the EOFB
  kByteRows,   // Modified Huffman: each row starts on a byte boundary
  kEol,        // one-dimensional Group 3: an EOL between rows
  kEolTag,     // two-dimensional Group 3: EOL and a tag bit before every row
};

bool framing_of(int32_t variant, Framing* f) {
  switch (variant) {
    case kCcittMh: *f = Framing::kByteRows; return true;
    case kCcittG3:
    case kCcittG3Aligned:
    case kCcittParamG3: *f = Framing::kEol; return true;
    case kCcittG3TwoD:
    case kCcittG3TwoDAligned: *f = Framing::kEolTag; return true;
    case kCcittG4:
    case kCcittParamG4: *f = Framing::kNone; return true;
    default: return false;
  }
}

struct Decoder {
  IO_REC* io;
  const CcittDecodeParams* params;
  Framing framing;
  uint32_t* cur;
  uint32_t* ref;
  uint8_t* out;       // one delivered row
  uint32_t stride;    // bytes of a packed row
};

// Hands one row to the stream; non-zero when the delivery failed.
int32_t deliver(const Decoder& d, const uint32_t* col, uint32_t n, int32_t row) {
  const CcittDecodeParams& s = *d.params;
  const bool white_is_one = s.polarity != 0;
  uint32_t bytes = d.stride;
  if (s.run_rows != 0) bytes = changes_to_run_row(col, n, s.width, white_is_one, d.out);
  else changes_to_packed(col, n, s.width, white_is_one, d.out, d.stride);
  const int32_t result =
      RPb_IO_raster_set(d.io, d.out, s.first_row + row, static_cast<int32_t>(bytes));
  if (result == 0) return 0;
  return error_count() != 0 ? error_count() : result;
}

// What came before a row: nothing unusual, the end of the data, or data
// that ran out.
enum class Start { kRow, kEnd, kExhausted };

// Reads whatever stands before row `row`; `two_d` says how it is coded.
Start row_start(const Decoder& d, BitReader& r, int32_t row, bool* two_d) {
  bool exhausted = false;
  bool took_eol = false;
  switch (d.framing) {
    case Framing::kEol:
      // The first row may have an EOL before it, searched for when the
      // caller says so and passed over when it is simply there.
      if (row > 0 || d.params->eol_first != 0) {
        if (!eol_seek(r)) return Start::kExhausted;
        took_eol = true;
      } else {
        took_eol = eol_take(r, &exhausted);
      }
      break;
    case Framing::kEolTag:
      if (!eol_seek(r)) return Start::kExhausted;
      // EOLs with no tag bits between them end the data as well.
      if (eol_take(r, &exhausted)) return Start::kEnd;
      if (exhausted || !r.ensure(1)) return Start::kExhausted;
      *two_d = r.peek(1) == 0;
      r.skip(1);
      took_eol = true;
      break;
    case Framing::kByteRows:
      if (row > 0) r.align();
      took_eol = eol_take(r, &exhausted);
      break;
    case Framing::kNone:
      // Group 4 has no EOLs: one at a row start begins the EOFB.
      if (eol_take(r, &exhausted)) return Start::kEnd;
      break;
  }
  if (exhausted) return Start::kExhausted;
  // An EOL right after another is the RTC.
  if (took_eol && eol_take(r, &exhausted)) return Start::kEnd;
  return exhausted ? Start::kExhausted : Start::kRow;
}

int32_t decode_rows(Decoder& d, BitReader& r, CcittDecodeResult* result) {
  const CcittDecodeParams& s = *d.params;
  changes_white(s.width, d.ref);
  int32_t row = 0;
  bool bad = false;
  for (; row < s.rows; ++row) {
    bool two_d = d.framing == Framing::kNone;
    const Start start = row_start(d, r, row, &two_d);
    if (start == Start::kEnd) {
      result->end_of_data = 1;
      break;
    }
    if (start == Start::kExhausted) {
      result->exhausted = 1;
      break;
    }
    ChangeList cur{d.cur};
    const RowEnd end =
        two_d ? row_2d_decode(r, s.width, d.ref, cur) : row_1d_decode(r, s.width, cur);
    // A row cut short goes out as far as it was decoded.
    if (const int32_t failed = deliver(d, cur.col, cur.n, row)) return failed;
    ++result->rows_decoded;
    std::swap(d.cur, d.ref);
    if (end == RowEnd::kBad) bad = true;
    if (end == RowEnd::kExhausted) result->exhausted = 1;
    if (bad || end == RowEnd::kExhausted) {
      ++row;
      break;
    }
  }
  const uint32_t n = changes_white(s.width, d.cur);
  for (; row < s.rows; ++row)
    if (const int32_t failed = deliver(d, d.cur, n, row)) return failed;
  if (bad) return RX_ERR(RXE_GROUP_4_BAD_DECODING_STATE, result->rows_decoded - 1, s.variant);
  return 0;
}

bool params_valid(const CcittDecodeParams& s) {
  const uint32_t widest = s.run_rows != 0 ? static_cast<uint32_t>(kMaxRunsWidth) : kCcittMaxWidth;
  return s.width >= 1 && s.width <= widest && s.rows >= 0 && s.first_row >= 0 &&
         s.first_row <= INT32_MAX - s.rows;
}

}  // namespace

bool ccitt_decodes(int32_t variant) {
  Framing f;
  return framing_of(variant, &f);
}

int32_t ccitt_decode(IO_REC* io, const CcittDecodeParams& params, const uint8_t* data,
                     uint32_t size, Source* refill, CcittDecodeResult* result) {
  CcittDecodeResult local;
  if (result == nullptr) result = &local;
  *result = CcittDecodeResult{};
  Decoder d{io, &params, Framing::kNone, nullptr, nullptr, nullptr, 0};
  if (!framing_of(params.variant, &d.framing))
    return RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, params.variant, 0);
  if (!params_valid(params)) return RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, params.width, params.rows);
  if (data == nullptr) size = 0;
  d.stride = static_cast<uint32_t>(dib_stride(1, params.width));
  const size_t list_bytes = sizeof(uint32_t) * change_list_size(params.width);
  const size_t out_bytes = std::max<size_t>(d.stride, run_row_max_bytes(params.width));
  TagGuard scratch;
  d.cur = static_cast<uint32_t*>(scratch.alloc(list_bytes));
  d.ref = static_cast<uint32_t*>(scratch.alloc(list_bytes));
  d.out = static_cast<uint8_t*>(scratch.alloc(out_bytes));
  if (d.cur == nullptr || d.ref == nullptr || d.out == nullptr)
    return RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(2 * list_bytes + out_bytes), 0);
  BitReader r(data != nullptr ? data : d.out, size, refill, params.fill_order == 2);
  return decode_rows(d, r, result);
}

}  // namespace rx
