// The fax encoder: fetches each row, finds its changes with the run-finding
// tables, codes it one- or two-dimensionally by variant, and frames the
// rows with EOLs, tag bits, byte alignment, RTC or EOFB.
#include <algorithm>
#include <climits>
#include <utility>

#include "SUPPORT/dib_size.h"
#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "filters/codecs/ccitt.h"
#include "filters/codecs/ccitt_coder.h"

RX_SOURCE("source\\filters\\codecs\\ccitt_encode.cpp");

namespace rx {
namespace {

using namespace ccitt;

// Coded bytes leave in blocks of this size.
constexpr uint32_t kOutputBlock = 65536;
// Rows of an RTC, and of the aligned variant's end-of-data fields.
constexpr int kRtcEols = 6;

bool stream_sink(void* user, const uint8_t* bytes, uint32_t count) {
  return RPb_IO_write(static_cast<IO_REC*>(user), bytes, static_cast<int32_t>(count)) ==
         static_cast<int32_t>(count);
}

bool framed(int32_t variant) {
  return variant == kCcittFramedG3 || variant == kCcittFramedG4 || variant == kCcittFramedG3Alt ||
         variant == kCcittFramedG4Alt;
}

bool one_dimensional_eol(int32_t variant) {
  return variant == kCcittG3 || variant == kCcittG3Aligned || variant == kCcittFramedG3 ||
         variant == kCcittFramedG3Alt;
}

struct Encoder {
  const CcittEncodeParams* params;
  uint32_t width;
  BitWriter* w;
  int32_t row_count = 0;  // rows coded, for the K factor
};

// The EOL that ends a one-dimensional row, or stands before the first.
void row_eol(const Encoder& e) {
  switch (e.params->variant) {
    case kCcittG3:
      if (e.params->fill != 0) eol_write_aligned(*e.w);
      else eol_write(*e.w);
      break;
    case kCcittG3Aligned: eol_write_field24(*e.w); break;
    default: eol_write(*e.w); break;
  }
}

void row_code(Encoder& e, const uint32_t* cur, const uint32_t* ref) {
  BitWriter& w = *e.w;
  switch (e.params->variant) {
    case kCcittMh:
      row_1d_encode(w, cur, e.width);
      w.align();
      break;
    case kCcittG3TwoD:
    case kCcittG3TwoDAligned: {
      const bool one_d = e.row_count % e.params->k == 0;
      if (e.params->variant == kCcittG3TwoDAligned) eol_write_aligned(w);
      else eol_write(w);
      w.put(one_d ? 1 : 0, 1);
      if (one_d) row_1d_encode(w, cur, e.width);
      else row_2d_encode(w, cur, ref, e.width);
      break;
    }
    case kCcittG4:
    case kCcittFramedG4:
    case kCcittFramedG4Alt: row_2d_encode(w, cur, ref, e.width); break;
    default:
      row_1d_encode(w, cur, e.width);
      row_eol(e);
      break;
  }
  ++e.row_count;
}

void end_of_data(const Encoder& e) {
  BitWriter& w = *e.w;
  switch (e.params->variant) {
    case kCcittMh: return;
    case kCcittG3Aligned:
      for (int i = 0; i < kRtcEols; ++i) {
        w.zeros(31);
        w.put(1, 1);
      }
      return;
    case kCcittG3TwoD:
    case kCcittG3TwoDAligned:
      for (int i = 0; i < kRtcEols; ++i) {
        eol_write(w);
        w.put(1, 1);
      }
      return;
    case kCcittG4:
    case kCcittFramedG4:
    case kCcittFramedG4Alt:
      eol_write(w);
      eol_write(w);
      return;
    default:
      for (int i = 0; i < kRtcEols; ++i) eol_write(w);
      return;
  }
}

int32_t params_check(const CcittEncodeParams& s, const RX_BITMAPINFOHEADER& h, int32_t first_row,
                   int32_t rows) {
  if (h.biBitCount != 1) return RX_ERR(RXE_BIT_COUNT_UNSUPPORTED, h.biBitCount, 0);
  if (!ccitt_encodes(s.variant)) return RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, s.variant, 0);
  if (h.biWidth < 1 || static_cast<uint32_t>(h.biWidth) > kCcittMaxWidth)
    return RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, h.biWidth, 0);
  if (rows < 0 || first_row < 0 || first_row > INT32_MAX - rows)
    return RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, first_row, rows);
  if ((s.variant == kCcittG3TwoD || s.variant == kCcittG3TwoDAligned) && s.k < 1)
    return RX_ERR(RXE_PARAMETERS_OUT_OF_LIMITS, s.k, s.variant);
  return 0;
}

}  // namespace

bool ccitt_encodes(int32_t variant) {
  switch (variant) {
    case kCcittMh:
    case kCcittG3:
    case kCcittG3Aligned:
    case kCcittG3TwoD:
    case kCcittG3TwoDAligned:
    case kCcittG4: return true;
    default: return framed(variant);
  }
}

int32_t ccitt_encode(IO_REC* io, const CcittEncodeParams& params, const RX_BITMAPINFOHEADER& header,
                     int32_t first_row, int32_t rows, uint64_t* bytes_out) {
  if (bytes_out != nullptr) *bytes_out = 0;
  if (const int32_t code = params_check(params, header, first_row, rows)) return code;
  const auto width = static_cast<uint32_t>(header.biWidth);
  const auto stride = static_cast<uint32_t>(dib_stride(1, width));
  const size_t list_bytes = sizeof(uint32_t) * change_list_size(width);
  TagGuard scratch;
  auto* row = static_cast<uint8_t*>(scratch.alloc(stride));
  auto* cur = static_cast<uint32_t*>(scratch.alloc(list_bytes));
  auto* ref = static_cast<uint32_t*>(scratch.alloc(list_bytes));
  auto* block = static_cast<uint8_t*>(scratch.alloc(kOutputBlock));
  if (row == nullptr || cur == nullptr || ref == nullptr || block == nullptr)
    return RX_ERR(RXE_GLOBAL_MEMORY_DEPLETED, static_cast<int32_t>(2 * list_bytes + stride),
                  kOutputBlock);
  const bool via_framer = framed(params.variant) && params.framer != nullptr;
  BitWriter w(block, kOutputBlock, via_framer ? params.framer : stream_sink,
              via_framer ? params.framer_user : io, params.fill_order == 2);
  Encoder e{&params, width, &w};
  changes_white(width, ref);
  if (params.eol_first != 0 && one_dimensional_eol(params.variant)) row_eol(e);
  for (int32_t i = 0; i < rows; ++i) {
    const int32_t got = RPb_IO_raster_get(io, row, first_row + i, static_cast<int32_t>(stride));
    if (got != 0) return error_count() != 0 ? error_count() : got;
    changes_from_packed(row, width, params.polarity != 0, cur);
    row_code(e, cur, ref);
    std::swap(cur, ref);
    if (!w.ok()) break;
  }
  if (params.end_of_data != 0 && w.ok()) end_of_data(e);
  const bool written = w.finish();
  if (bytes_out != nullptr) *bytes_out = w.bytes_written();
  if (!written)
    return RX_ERR(RXE_CANT_WRITE_PIXEL_DATA, static_cast<int32_t>(w.bytes_written()), 0);
  return 0;
}

}  // namespace rx
