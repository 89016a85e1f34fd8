// Fax pages: Modified Huffman, Group 3 one- and two-dimensional and Group 4
// strips or tiles, decoded by the engine's fax codec from a block that is
// refilled from the strip as it is used up, into run rows or packed rows
// as the reader chose.
#include <algorithm>

#include "SUPPORT/error.h"
#include "filters/codecs/ccitt.h"
#include "filters/tiff/tiff_read.h"
#include "rastrix/rpb.h"

namespace rx::tiff {
namespace {

// Every coded row takes at least one bit (a Group 4 row of no changes is
// one V0 code), so a strip of n bytes holds at most 8 n rows.
constexpr uint64_t kMaxRowsPerByte = 8;

int32_t variant_of(const Page& p) {
  switch (p.compression) {
    case kCompressionMh: return kCcittMh;
    case kCompressionGroup4: return kCcittG4;
    default: break;
  }
  const bool two_d = (p.t4 & kT4TwoDimensional) != 0;
  const bool fill = (p.t4 & kT4FillBits) != 0;
  if (two_d) return fill ? kCcittG3TwoDAligned : kCcittG3TwoD;
  return fill ? kCcittG3Aligned : kCcittG3;
}

bool segment_decode(Reader* r, const Segment& s, uint32_t index, uint8_t* block) {
  const Page& p = r->page;
  const uint64_t available = segment_available(*r, s);
  const auto first = static_cast<uint32_t>(std::min<uint64_t>(available, kCcittBlockBytes));
  if (!read_at(r->src, s.offset, block, first))
    return fail(r, RXE_CANT_READ_PIXEL_DATA, index, s.offset);
  // The rest of the strip follows the block as it is used up.
  ccitt::Source more{block, kCcittBlockBytes, r->io, static_cast<int64_t>(available - first)};
  CcittDecodeParams params;
  params.variant = variant_of(p);
  params.width = p.unit_width();
  params.rows = static_cast<int32_t>(s.rows);
  params.first_row = static_cast<int32_t>(s.first_row);
  params.fill_order = static_cast<int32_t>(p.fill_order);
  params.polarity = p.photometric == kWhiteIsZero ? 1 : 0;
  // One-dimensional Group 3 data may start with an EOL; the first strip's
  // is searched for, later strips' are passed over when they are there.
  params.eol_first = index == 0 ? 1 : 0;
  params.run_rows = r->run_rows ? 1 : 0;
  CcittDecodeResult result;
  if (ccitt_decode(r->io, params, block, first, &more, &result) != 0)
    return failed_after(r, RXE_CANT_READ_PIXEL_DATA, index, 0);
  if (result.exhausted != 0)
    return fail(r, RXE_CANT_READ_PIXEL_DATA, result.rows_decoded, static_cast<int64_t>(s.rows));
  return true;
}

}  // namespace

bool fax_check(Reader* r) {
  const Page& p = r->page;
  if (p.unit_width() > kCcittMaxWidth)
    return fail(r, RXE_TIFF_INVALID_IMAGE_DIMENSION, p.unit_width(), p.unit_height());
  for (uint32_t i = 0; i < r->layout.segments; ++i) {
    const Segment s = segment_at(p, r->layout, i, 0);
    const uint64_t available = segment_available(*r, s);
    if (available * kMaxRowsPerByte < s.rows)
      return fail(r, RXE_CANT_READ_PIXEL_DATA, static_cast<int64_t>(std::min<uint64_t>(available, INT32_MAX)),
                  s.rows);
  }
  return true;
}

bool fax_decode(Reader* r) {
  auto* block = static_cast<uint8_t*>(scratch(r, kCcittBlockBytes));
  if (block == nullptr) return false;
  for (uint32_t i = 0; i < r->layout.segments; ++i)
    if (!segment_decode(r, segment_at(r->page, r->layout, i, 0), i, block)) return false;
  return true;
}

}  // namespace rx::tiff
