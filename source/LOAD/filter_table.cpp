// The built-in filter table: the filter records of the formats in
// detection order, and the accessors that resolve any filter index,
// built-in or registered by an extension, to its record.
#include "LOAD/filter_table.h"

#include "rastrix/rastrix.h"
#include "rastrix/rpb.h"

#include <cstring>

#include "SUPPORT/ext.h"
#include "SUPPORT/img_ctrl.h"
#include "filters/bmp/bmp.h"
#include "filters/ccitt/g34.h"
#include "filters/detect_only/detect_only.h"
#include "filters/gif/gif.h"
#include "filters/jpeg/jpeg.h"
#include "filters/png/png.h"

namespace rx {
namespace {

// Index = detection order.
const FILTER_RECORD* const kFilters[kBuiltinFilterCount] = {
    &kTiffFilter, &kBmpFilter,  &kAfxFilter,  &kGifFilter,   &kPngFilter,   &kGemFilter,
    &kJpegFilter, &kIcoFilter,  &kPcxFilter,  &kDcxFilter,   &kIocaFilter,  &kModcaFilter,
    &kWpgFilter,  &kPsdFilter,  &kPcdFilter,  &kEpsFilter,   &kCalsFilter,  &kIffFilter,
    &kXwdFilter,  &kXpmFilter,  &kXbmFilter,  &kSunFilter,   &kSgiFilter,   &kMspFilter,
    &kKfxFilter,  &kImtFilter,  &kBrkFilter,  &kLvFilter,    &kWmfFilter,   &kNcrFilter,
    &kClpFilter,  &kTgaFilter,  &kPictFilter, &kCutFilter,   &kTextFilter,  &kRawG3Filter,
    &kRawG4Filter,
};

constexpr const char* kFormatNames[48] = {
    "UNKNOWN", "ATT", "BMP", "BRK", "CAL", "CLP", "CIF", "CUT", "DCX", "DIB", "EPS", "G3",
    "G4",      "GEM", "GIF", "GX2", "ICA", "ICO", "IFF", "RXF", "IMT", "JPG", "KFX", "LV",
    "MAC",     "MSP", "MOD", "NCR", "PBM", "PCD", "PCT", "PCX", "PGM", "PNG", "PNM", "PPM",
    "PSD",     "RAS", "SGI", "TGA", "TIF", "TXT", "WPG", "XBM", "WMF", "XPM", "XRX", "XWD"};

constexpr const char* kCompressionNames[RX_COMPRESSION_UNKNOWN + 1] = {
    "Uncompressed", "Packbits", "Huffman", "Group 3", "Group 4",   "Group 3 2D", "JPEG",
    "RLE",          "LZW",      "ABIC BW", "ABIC GRAY", "JBIG",    "UNKNOWN"};

// An empty record stands for an unknown index, so the getters need no test.
constexpr FILTER_RECORD kNoFilter{};

}  // namespace

const FILTER_RECORD* filter_record_of(int32_t index) {
  if (const FILTER_RECORD* r = filter_builtin(index)) return r;
  if (index >= kBuiltinFilterCount) return extension_filter_by_index(index);
  return nullptr;
}

namespace {
const FILTER_RECORD& view(int32_t index) {
  const FILTER_RECORD* r = filter_record_of(index);
  return r != nullptr ? *r : kNoFilter;
}
}  // namespace

const FILTER_RECORD* filter_builtin(int32_t index) {
  return index >= 0 && index < kBuiltinFilterCount ? kFilters[index] : nullptr;
}

int32_t filter_search(int32_t format_code) {
  for (int32_t n = 0; n < extension_filter_count(); ++n) {
    int32_t index = -1;
    const FILTER_RECORD* r = extension_filter_at(n, &index);
    if (r != nullptr && index >= 0 && r->format_code == format_code) return index;
  }
  for (int32_t i = 0; i < kBuiltinFilterCount; ++i)
    if (kFilters[i]->format_code == format_code) return i;
  return RXE_INVALID_IMAGE_FORMAT;
}

int32_t filter_format_code(int32_t index) { return view(index).format_code; }
RX_DETECT_FN filter_detect(int32_t index) { return view(index).detect; }
RX_INFO_FN filter_info(int32_t index) { return view(index).info; }
RX_READ_FN filter_read(int32_t index) { return view(index).read; }
RX_WRITE_FN filter_write(int32_t index) { return view(index).write; }
RX_PAGE_COUNT_FN filter_page_count(int32_t index) { return view(index).page_count; }
int32_t filter_multi_page(int32_t index) { return view(index).multi_page; }
const char* filter_extensions(int32_t index) { return view(index).extensions; }

uint32_t filter_image_flags_get(int32_t index, void* block) {
  if (block == nullptr) return 0;
  if (const FILTER_RECORD* r = filter_builtin(index))
    return options_block_copy(r->format_code, block, kMaxFlagsBlock);
  const FILTER_RECORD* x = index >= kBuiltinFilterCount ? extension_filter_by_index(index) : nullptr;
  if (x == nullptr) return 0;
  if (x->flags_block == nullptr || x->flags_size == 0 || x->flags_size > kMaxFlagsBlock) return 0;
  std::memcpy(block, x->flags_block, x->flags_size);
  return x->flags_size;
}

int32_t filter_count() { return kBuiltinFilterCount + extension_filter_count(); }

namespace {
int32_t extension_index_at(int32_t n) {
  int32_t index = -1;
  extension_filter_at(n, &index);
  return index;
}
}  // namespace

int32_t filter_first() {
  if (extension_filter_count() > 0) return extension_index_at(0);
  return 0;
}

int32_t filter_next(int32_t index) {
  if (index >= kBuiltinFilterCount) {
    // Step through the registered filters to find the one after `index`.
    const int32_t n = extension_filter_count();
    for (int32_t k = 0; k < n; ++k)
      if (extension_index_at(k) == index) return k + 1 < n ? extension_index_at(k + 1) : 0;
    return -1;
  }
  return index + 1 < kBuiltinFilterCount ? index + 1 : -1;
}

const char* format_name(int32_t format_code) {
  return format_code >= 0 && format_code < 48 ? kFormatNames[format_code]
                                              : kFormatNames[RX_FORMAT_UNKNOWN];
}

const char* compression_name(int32_t compression) {
  return compression >= 0 && compression <= RX_COMPRESSION_UNKNOWN
             ? kCompressionNames[compression]
             : kCompressionNames[RX_COMPRESSION_UNKNOWN];
}

}  // namespace rx

using namespace rx;

extern "C" int32_t RPb_RPr_filter_search(int32_t format_code) { return filter_search(format_code); }

extern "C" RX_READ_FN RPb_RPr_filter_read_func_get(int32_t index) { return filter_read(index); }

extern "C" int32_t RPb_RPr_filter_image_flags_get(int32_t index, void* block) {
  return static_cast<int32_t>(filter_image_flags_get(index, block));
}

extern "C" const char* RX_format_name_get(int32_t format_code) { return format_name(format_code); }

extern "C" const char* RX_compression_name_get(int32_t compression) {
  return compression_name(compression);
}
