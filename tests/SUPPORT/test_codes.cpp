// The numbers behind the public names. Files, callers and extensions pass
// them as plain numbers, so a name must never change its value.
#include <gtest/gtest.h>

#include <cstddef>

#include "rastrix/rx_codes.h"
#include "rastrix/rx_status.h"

namespace {

// True when the codes run first, first + step, ... in the order given.
template <size_t N>
constexpr bool numbered_from(int first, const int (&codes)[N], int step = 1) {
  for (size_t i = 0; i < N; ++i)
    if (codes[i] != first + step * static_cast<int>(i)) return false;
  return true;
}

// Option ids: the format code, then the option number in the next byte.
constexpr int option(int format, int number) {
  return static_cast<int>(RX_OPTION_ID(format, number));
}
constexpr int kNextOption = 256;

TEST(Codes, NamesKeepTheirNumbers) {
  constexpr int kFormats[] = {
      RX_FORMAT_UNKNOWN, RX_FORMAT_ATT,    RX_FORMAT_BMP,    RX_FORMAT_BRK, RX_FORMAT_CALS,
      RX_FORMAT_CLP,     RX_FORMAT_CIF,    RX_FORMAT_CUT,    RX_FORMAT_DCX, RX_FORMAT_DIB,
      RX_FORMAT_EPS,     RX_FORMAT_RAW_G3, RX_FORMAT_RAW_G4, RX_FORMAT_GEM, RX_FORMAT_GIF,
      RX_FORMAT_GX2,     RX_FORMAT_IOCA,   RX_FORMAT_ICO,    RX_FORMAT_IFF, RX_FORMAT_RXF,
      RX_FORMAT_IMT,     RX_FORMAT_JPEG,   RX_FORMAT_KFX,    RX_FORMAT_LV,  RX_FORMAT_MAC,
      RX_FORMAT_MSP,     RX_FORMAT_MODCA,  RX_FORMAT_NCR,    RX_FORMAT_PBM, RX_FORMAT_PCD,
      RX_FORMAT_PICT,    RX_FORMAT_PCX,    RX_FORMAT_PGM,    RX_FORMAT_PNG, RX_FORMAT_PNM,
      RX_FORMAT_PPM,     RX_FORMAT_PSD,    RX_FORMAT_SUN,    RX_FORMAT_SGI, RX_FORMAT_TGA,
      RX_FORMAT_TIFF,    RX_FORMAT_TEXT,   RX_FORMAT_WPG,    RX_FORMAT_XBM, RX_FORMAT_WMF,
      RX_FORMAT_XPM,     RX_FORMAT_XRX,    RX_FORMAT_XWD};
  static_assert(numbered_from(0, kFormats) && RX_FORMAT_AFX == 49);
  static_assert(RX_EXTENSION_FILTER_BASE == 4096);

  constexpr int kCompressions[] = {
      RX_COMPRESSION_NONE,    RX_COMPRESSION_PACKBITS,  RX_COMPRESSION_HUFFMAN,
      RX_COMPRESSION_GROUP3,  RX_COMPRESSION_GROUP4,    RX_COMPRESSION_GROUP3_2D,
      RX_COMPRESSION_JPEG,    RX_COMPRESSION_RLE,       RX_COMPRESSION_LZW,
      RX_COMPRESSION_ABIC_BW, RX_COMPRESSION_ABIC_GRAY, RX_COMPRESSION_JBIG,
      RX_COMPRESSION_UNKNOWN};
  static_assert(numbered_from(0, kCompressions));

  constexpr int kSeeks[] = {RX_SEEK_SET, RX_SEEK_CUR, RX_SEEK_END};
  static_assert(numbered_from(0, kSeeks));

  constexpr int kAttributes[] = {RX_ATTR_PAIR,       RX_ATTR_WORD2,       RX_ATTR_WORD3,
                                 RX_ATTR_RESOLUTION, RX_ATTR_ORIENTATION, RX_ATTR_RED_MASK,
                                 RX_ATTR_GREEN_MASK, RX_ATTR_BLUE_MASK,   RX_ATTR_GRAY_MASKS,
                                 RX_ATTR_INFO_TYPE,  RX_ATTR_INFO_TAG,    RX_ATTR_INFO};
  static_assert(numbered_from(1, kAttributes));

  static_assert(option(RX_FORMAT_JPEG, 1) == 277);
  static_assert(numbered_from(option(RX_FORMAT_BMP, 1),
                              {RX_OPTION_BMP_HEADER_TYPE, RX_OPTION_BMP_TOP_DOWN}, kNextOption));
  static_assert(
      numbered_from(option(RX_FORMAT_JPEG, 1),
                    {RX_OPTION_JPEG_QUALITY, RX_OPTION_JPEG_SAMPLING, RX_OPTION_JPEG_THUMBNAIL,
                     RX_OPTION_JPEG_THUMBNAIL_WIDTH, RX_OPTION_JPEG_THUMBNAIL_HEIGHT},
                    kNextOption));
  static_assert(RX_OPTION_KFX_1 == option(RX_FORMAT_KFX, 1) &&
                RX_OPTION_PICT_1 == option(RX_FORMAT_PICT, 1));
  static_assert(numbered_from(option(RX_FORMAT_TIFF, 5),
                              {RX_OPTION_TIFF_ONE_STRIP, RX_OPTION_TIFF_FILL_ORDER,
                               RX_OPTION_TIFF_7, RX_OPTION_TIFF_PHOTOMETRIC},
                              kNextOption));
  static_assert(numbered_from(
      option(RX_FORMAT_TEXT, 1),
      {RX_OPTION_TEXT_X_RESOLUTION, RX_OPTION_TEXT_Y_RESOLUTION, RX_OPTION_TEXT_MARGIN_LEFT,
       RX_OPTION_TEXT_MARGIN_TOP, RX_OPTION_TEXT_MARGIN_RIGHT, RX_OPTION_TEXT_MARGIN_BOTTOM,
       RX_OPTION_TEXT_PAGE_WIDTH, RX_OPTION_TEXT_PAGE_HEIGHT, RX_OPTION_TEXT_POINT_SIZE,
       RX_OPTION_TEXT_BOLD, RX_OPTION_TEXT_ITALIC, RX_OPTION_TEXT_TAB_WIDTH,
       RX_OPTION_TEXT_FONT_NAME},
      kNextOption));

  // The status codes that callers and logs most often meet by number.
  static_assert(RXE_FAILURE == -1 && RXE_NOT_IMPLEMENTED == -200 &&
                RXE_INVALID_IMAGE_CONTROL_OPTION_ID == -600);
  static_assert(RXE_DETECT_FAILED == -2010 && RXE_FILE_NOT_BMP == -2034 &&
                RXE_INVALID_FILE_HEADER == -2061 && RXE_CANT_READ_FILE == -2100 &&
                RXE_INVALID_IMAGE_FORMAT == -2110 && RXE_INTERRUPTED_BY_USER == -2113);
  static_assert(RXE_NO_RASTER_IMAGE == -2394 && RXE_RUNS_FORMAT == -2433 &&
                RXE_PARAMETERS_OUT_OF_LIMITS == -3320 && RXE_INVALID_FILE_NAME == -3443);
  static_assert(RXE_SYSTEM_FILE == -3600 && RXE_SYSTEM_FILE_EXECUTABLE == -3601 &&
                RXE_SYSTEM_FILE_ZIP == -3602 && RXE_SYSTEM_FILE_HELP == -3604 &&
                RXE_TWAIN_CANNOT_OPEN_DEFAULT_DS == -4031 && RXE_END_OF_TABLE == -9999);
}

}  // namespace
