// The built-in filter table and its accessors. Rows whose filters are not
// built yet carry only their detect test; the GIF row carries placeholders
// that report the missing LZW extension.
#include "LOAD/filter_table.h"

#include "rastrix/rastrix.h"
#include "rastrix/rpb.h"

#include <cstring>

#include "LOAD/detect_tests.h"
#include "SUPPORT/error.h"
#include "SUPPORT/ext.h"
#include "SUPPORT/img_ctrl.h"
#include "filters/bmp.h"
#include "filters/gif.h"
#include "filters/jpeg.h"
#include "filters/png/png.h"

namespace rx {
namespace {

constexpr FILTER_ENTRY row(int32_t code, RX_DETECT_FN detect, const char* ext, int32_t multi) {
  const FlagsBlock b = options_block_of(code);
  return FILTER_ENTRY{code, detect, nullptr, nullptr, nullptr, nullptr, nullptr,
                      b.offset, b.size, ext, multi};
}

constexpr FILTER_ENTRY with(FILTER_ENTRY e, RX_INFO_FN info, RX_READ_FN read, RX_WRITE_FN write,
                            RX_PAGE_COUNT_FN pages) {
  e.info = info;
  e.read = read;
  e.write = write;
  e.page_count = pages;
  return e;
}

// Index = detection order.
const FILTER_ENTRY kFilters[kBuiltinFilterCount] = {
    row(40, detect_tiff, "TIF|TIFF|", 1),
    with(row(2, bmp_detect, "BMP|DIB|", 0), bmp_info, bmp_read, bmp_write, bmp_page_count),
    row(49, detect_afx, "AFX|", 0),
    with(row(14, detect_gif, "GIF|", 1), gif_info, gif_read, gif_write, gif_page_count),
    with(row(33, png_detect, "PNG|", 0), png_info, png_read, png_write, png_page_count),
    row(13, detect_gem, "GEM|", 0),
    with(row(21, jpeg_detect, "JPG|", 0), jpeg_info, jpeg_read, jpeg_write, jpeg_page_count),
    row(17, detect_ico, "ICO|", 0),
    row(31, detect_pcx, "PCX|", 0),
    row(8, detect_dcx, "DCX|", 1),
    row(16, detect_ioca, "ICA|", 0),
    row(26, detect_modca, "ICA|", 1),
    row(42, detect_wpg, "WPG|", 0),
    row(36, detect_psd, "PSD|", 0),
    row(29, detect_pcd, "PCD|", 0),
    row(10, detect_eps, "EPS|EPI|EPSF|", 0),
    row(4, detect_cals, "CAL|RAS|CALS|", 0),
    row(18, detect_iff, "IFF|", 0),
    row(47, detect_xwd, "WD|XWD|", 0),
    row(45, detect_xpm, "XPM|", 0),
    row(43, detect_xbm, "XBM|", 0),
    row(37, detect_sun, "RAS|", 0),
    row(38, detect_sgi, "SGI|BW|RGB|RGBA|", 0),
    row(25, detect_msp, "MSP|", 0),
    row(22, detect_kfx, "KFX|", 0),
    row(20, detect_imt, "IMT|", 0),
    row(3, detect_brk, "301|BRK|", 0),
    row(23, detect_lv, "LV|", 0),
    row(44, detect_wmf, "WMF|", 0),
    row(27, detect_ncr, "NCR|", 0),
    row(5, detect_clp, "CLP|", 0),
    row(39, detect_tga, "TGA|TPIC|", 0),
    row(30, detect_pict, "PCT|PICT|", 0),
    row(7, detect_cut, "CUT|PAL|", 0),
    row(41, detect_text, "TXT|", 0),
    row(11, nullptr, nullptr, 0),
    row(12, nullptr, nullptr, 0),
};

constexpr const char* kFormatNames[48] = {
    "UNKNOWN", "ATT", "BMP", "BRK", "CAL", "CLP", "CIF", "CUT", "DCX", "DIB", "EPS", "G3",
    "G4",      "GEM", "GIF", "GX2", "ICA", "ICO", "IFF", "RXF", "IMT", "JPG", "KFX", "LV",
    "MAC",     "MSP", "MOD", "NCR", "PBM", "PCD", "PCT", "PCX", "PGM", "PNG", "PNM", "PPM",
    "PSD",     "RAS", "SGI", "TGA", "TIF", "TXT", "WPG", "XBM", "WMF", "XPM", "XRX", "XWD"};

constexpr const char* kCompressionNames[13] = {
    "Uncompressed", "Packbits", "Huffman", "Group 3", "Group 4",   "Group 3 2D", "JPEG",
    "RLE",          "LZW",      "ABIC BW", "ABIC GRAY", "JBIG",    "UNKNOWN"};

// The functions of any filter index, built-in or registered.
struct FilterView {
  bool found = false;
  int32_t format_code = 0;
  RX_DETECT_FN detect = nullptr;
  RX_INFO_FN info = nullptr;
  RX_READ_FN read = nullptr;
  RX_WRITE_FN write = nullptr;
  RX_PAGE_COUNT_FN page_count = nullptr;
  int32_t multi_page = 0;
  const char* extensions = nullptr;
};

FilterView view(int32_t index) {
  FilterView v;
  if (const FILTER_ENTRY* e = filter_builtin(index)) {
    v = FilterView{true, e->format_code, e->detect, e->info, e->read,
                   e->write, e->page_count, e->multi_page, e->extensions};
    return v;
  }
  EXT_FILTER x{};
  if (index >= kBuiltinFilterCount && extension_filter_by_index(index, &x))
    v = FilterView{true, x.format_code, x.detect, x.info, x.read, x.write, x.page_count, 0, nullptr};
  return v;
}

}  // namespace

const FILTER_ENTRY* filter_builtin(int32_t index) {
  return index >= 0 && index < kBuiltinFilterCount ? &kFilters[index] : nullptr;
}

int32_t filter_search(int32_t format_code) {
  EXT_FILTER x{};
  for (int32_t n = 0; n < extension_filter_count(); ++n) {
    const int32_t index = extension_filter_at(n, &x);
    if (index >= 0 && x.format_code == format_code) return index;
  }
  for (int32_t i = 0; i < kBuiltinFilterCount; ++i)
    if (kFilters[i].format_code == format_code) return i;
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
  if (const FILTER_ENTRY* e = filter_builtin(index))
    return options_block_copy(e->format_code, block, kMaxFlagsBlock);
  EXT_FILTER x{};
  if (index < kBuiltinFilterCount || !extension_filter_by_index(index, &x)) return 0;
  if (x.flags_block == nullptr || x.flags_size == 0 || x.flags_size > kMaxFlagsBlock) return 0;
  std::memcpy(block, x.flags_block, x.flags_size);
  return x.flags_size;
}

int32_t filter_count() { return kBuiltinFilterCount + extension_filter_count(); }

int32_t filter_first() {
  EXT_FILTER x{};
  if (extension_filter_count() > 0) return extension_filter_at(0, &x);
  return 0;
}

int32_t filter_next(int32_t index) {
  EXT_FILTER x{};
  if (index >= kBuiltinFilterCount) {
    // Step through the registered filters to find the one after `index`.
    const int32_t n = extension_filter_count();
    for (int32_t k = 0; k < n; ++k)
      if (extension_filter_at(k, &x) == index)
        return k + 1 < n ? extension_filter_at(k + 1, &x) : 0;
    return -1;
  }
  return index + 1 < kBuiltinFilterCount ? index + 1 : -1;
}

const char* format_name(int32_t format_code) {
  return format_code >= 0 && format_code < 48 ? kFormatNames[format_code] : kFormatNames[0];
}

const char* compression_name(int32_t compression) {
  return compression >= 0 && compression < 13 ? kCompressionNames[compression]
                                               : kCompressionNames[12];
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
