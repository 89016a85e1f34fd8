/* Rastrix named numbers: file-format codes, engine compression codes,
 * image control option ids, stream seek origins and image attribute ids.
 * Every number a caller, a filter or an extension passes to the engine
 * has its name here; the engine's own code uses the same names. */
#ifndef RASTRIX_RX_CODES_H
#define RASTRIX_RX_CODES_H

/* ---- File-format codes --------------------------------------------------
 * The code a load reports and a save asks for. RX_format_name_get gives
 * each its short name ("BMP", "JPG" ...). */
enum {
  RX_FORMAT_UNKNOWN = 0,
  RX_FORMAT_ATT = 1,
  RX_FORMAT_BMP = 2,
  RX_FORMAT_BRK = 3,
  RX_FORMAT_CALS = 4,
  RX_FORMAT_CLP = 5,
  RX_FORMAT_CIF = 6,
  RX_FORMAT_CUT = 7,
  RX_FORMAT_DCX = 8,
  RX_FORMAT_DIB = 9,
  RX_FORMAT_EPS = 10,
  RX_FORMAT_RAW_G3 = 11, /* headerless CCITT Group 3 */
  RX_FORMAT_RAW_G4 = 12, /* headerless CCITT Group 4 */
  RX_FORMAT_GEM = 13,
  RX_FORMAT_GIF = 14,
  RX_FORMAT_GX2 = 15,
  RX_FORMAT_IOCA = 16,
  RX_FORMAT_ICO = 17,
  RX_FORMAT_IFF = 18,
  RX_FORMAT_RXF = 19,
  RX_FORMAT_IMT = 20,
  RX_FORMAT_JPEG = 21,
  RX_FORMAT_KFX = 22,
  RX_FORMAT_LV = 23,
  RX_FORMAT_MAC = 24,
  RX_FORMAT_MSP = 25,
  RX_FORMAT_MODCA = 26,
  RX_FORMAT_NCR = 27,
  RX_FORMAT_PBM = 28,
  RX_FORMAT_PCD = 29,
  RX_FORMAT_PICT = 30,
  RX_FORMAT_PCX = 31,
  RX_FORMAT_PGM = 32,
  RX_FORMAT_PNG = 33,
  RX_FORMAT_PNM = 34,
  RX_FORMAT_PPM = 35,
  RX_FORMAT_PSD = 36,
  RX_FORMAT_SUN = 37,
  RX_FORMAT_SGI = 38,
  RX_FORMAT_TGA = 39,
  RX_FORMAT_TIFF = 40,
  RX_FORMAT_TEXT = 41,
  RX_FORMAT_WPG = 42,
  RX_FORMAT_XBM = 43,
  RX_FORMAT_WMF = 44,
  RX_FORMAT_XPM = 45,
  RX_FORMAT_XRX = 46,
  RX_FORMAT_XWD = 47,
  RX_FORMAT_AFX = 49
};

/* Extension filters are addressed by their format code plus this. */
#define RX_EXTENSION_FILTER_BASE 4096

/* The display draws 16-bit images only while a module declaring a filter
 * with this format code is loaded (the shipped RX16 module). */
#define RX_EXTENSION_DISPLAY_16 48

/* ---- Engine compression codes -------------------------------------------
 * What RX_file_info_get and the image report as the file's compression;
 * RX_compression_name_get gives the names. */
enum {
  RX_COMPRESSION_NONE = 0,
  RX_COMPRESSION_PACKBITS = 1,
  RX_COMPRESSION_HUFFMAN = 2,
  RX_COMPRESSION_GROUP3 = 3,
  RX_COMPRESSION_GROUP4 = 4,
  RX_COMPRESSION_GROUP3_2D = 5,
  RX_COMPRESSION_JPEG = 6,
  RX_COMPRESSION_RLE = 7,
  RX_COMPRESSION_LZW = 8,
  RX_COMPRESSION_ABIC_BW = 9,
  RX_COMPRESSION_ABIC_GRAY = 10,
  RX_COMPRESSION_JBIG = 11,
  RX_COMPRESSION_UNKNOWN = 12
};

/* ---- Image control option ids -------------------------------------------
 * Low byte the format code, next byte the option number within the format
 * (RX_image_control_set and _get). Options whose field the engine stores
 * but gives no meaning are named by their number. */
#define RX_OPTION_ID(format_code, number) ((uint32_t)(format_code) | ((uint32_t)(number) << 8))
enum {
  RX_OPTION_BMP_HEADER_TYPE = 258,
  RX_OPTION_BMP_TOP_DOWN = 514,
  RX_OPTION_JPEG_QUALITY = 277,
  RX_OPTION_JPEG_SAMPLING = 533,
  RX_OPTION_JPEG_THUMBNAIL = 789,
  RX_OPTION_JPEG_THUMBNAIL_WIDTH = 1045,
  RX_OPTION_JPEG_THUMBNAIL_HEIGHT = 1301,
  RX_OPTION_KFX_1 = 278,
  RX_OPTION_PICT_1 = 286,
  RX_OPTION_TIFF_ONE_STRIP = 1320,  /* non-zero: the whole page in one strip */
  RX_OPTION_TIFF_FILL_ORDER = 1576,  /* 16-bit; 0xFFFF when not set */
  RX_OPTION_TIFF_7 = 1832,
  RX_OPTION_TIFF_PHOTOMETRIC = 2088,  /* 16-bit; 0xFFFF when not set */
  RX_OPTION_TEXT_X_RESOLUTION = 297,
  RX_OPTION_TEXT_Y_RESOLUTION = 553,
  RX_OPTION_TEXT_MARGIN_LEFT = 809,
  RX_OPTION_TEXT_MARGIN_TOP = 1065,
  RX_OPTION_TEXT_MARGIN_RIGHT = 1321,
  RX_OPTION_TEXT_MARGIN_BOTTOM = 1577,
  RX_OPTION_TEXT_PAGE_WIDTH = 1833,
  RX_OPTION_TEXT_PAGE_HEIGHT = 2089,
  RX_OPTION_TEXT_POINT_SIZE = 2345,
  RX_OPTION_TEXT_BOLD = 2601,
  RX_OPTION_TEXT_ITALIC = 2857,
  RX_OPTION_TEXT_TAB_WIDTH = 3113,
  RX_OPTION_TEXT_FONT_NAME = 3369, /* the value is the address of a string */
  /* Options of the GIF filter of the LZW extension module (the engine
   * hands them to it): interlaced rows on write (default 0), and frames
   * composited onto the logical screen as a viewer shows them on read
   * (default 1; 0 loads each frame alone at its own size). */
  RX_OPTION_GIF_INTERLACE = 270,
  RX_OPTION_GIF_COMPOSITE = 526
};

/* ---- Stream seek origins (RPb_IO_seek) ------------------------------------ */
enum { RX_SEEK_SET = 0, RX_SEEK_CUR = 1, RX_SEEK_END = 2 };

/* ---- Image attribute ids ----------------------------------------------------
 * What a reader sets on the image it builds (RPb_IO_attribute_set) and a
 * writer asks of the image it saves (RPb_IO_attribute_get). */
enum {
  RX_ATTR_PAIR = 1,         /* address of two 16-bit values */
  RX_ATTR_WORD2 = 2,
  RX_ATTR_WORD3 = 3,
  RX_ATTR_RESOLUTION = 4,   /* address of x num, x den, y num, y den, units */
  RX_ATTR_ORIENTATION = 5,  /* orientation as TIFF numbers it: 1 is normal */
  RX_ATTR_RED_MASK = 6,     /* masks 6 to 8: bit-field images only */
  RX_ATTR_GREEN_MASK = 7,
  RX_ATTR_BLUE_MASK = 8,
  RX_ATTR_GRAY_MASKS = 9,   /* the three masks of a 16-bit grey image */
  RX_ATTR_INFO_TYPE = 10,
  RX_ATTR_INFO_TAG = 11,
  RX_ATTR_INFO = 12,
  /* The colour that shows the background through the image: the value is
   * the colour as the 32 bits of an RX_RGBQUAD (blue in the low byte, the
   * reserved byte 0). A reader sets it on a transparent image; a writer
   * gets it, with result 1, when the image has one. */
  RX_ATTR_TRANSPARENT_COLOR = 13
};

#endif
