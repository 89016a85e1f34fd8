/* Rastrix engine API.
 *
 * Every function that performs an operation clears the error stack on entry,
 * checks any image handle it is given (an invalid handle makes it return 0
 * at once and do nothing), runs, and returns the number of entries on the
 * error stack: 0 is success. RX_error_get and RX_error_message_get read the
 * entries. Rows are numbered from the top in every interface. */
#ifndef RASTRIX_RASTRIX_H
#define RASTRIX_RASTRIX_H

#include "rastrix/rx_status.h"
#include "rastrix/rx_types.h"

/* ---- Engine start and stop ------------------------------------------- */

/* Registers the process instance and creates the per-process tables.
 * Returns 1 if the process registration succeeded, 0 if not. */
RX_API int32_t RX_engine_start(uintptr_t module);
/* Destroys the tables, unregisters the process and releases every block
 * still held by any memory tag; returns the number of blocks released. */
RX_API int32_t RX_engine_stop(void);

/* The engine's version (6.3.1) and build date ("Mmm dd yyyy", the day
 * padded with a space) into a buffer of date_size bytes; outputs optional.
 * Always returns 0. */
RX_API int32_t RX_engine_version_get(int32_t* major, int32_t* minor, int32_t* update,
                                     char* build_date, uint32_t date_size);

/* ---- Errors ------------------------------------------------------------ */

/* Copies entry `index` of the error stack. Each output may be null. For an
 * index at or past the count the name is empty and the values are 0.
 * Returns 1 when an entry was copied, 0 otherwise. */
RX_API int32_t RX_error_get(int32_t index, char* file_out, uint32_t file_len, int32_t* line,
                            int32_t* code, int32_t* iVal, int32_t* lVal);
/* The message of a status code, or null when the code is not in the table. */
RX_API const char* RX_error_message_get(int32_t code);

/* ---- Images ------------------------------------------------------------ */

/* Creates an image from a packed DIB of dib_bytes bytes (header, palette,
 * masks, pixels). The DIB is copied; a runs-format DIB is checked row by
 * row as its run table is built. */
RX_API int32_t RX_image_create_from_DIB(const void* dib, size_t dib_bytes, RX_HIMAGE* image_out);
/* Creates an image from a device bitmap of the drawing layer (HBITMAP):
 * its size and pixels, 24 bits deep when the bitmap is deeper than 8.
 * Palette depths take their colours from the palette (HPALETTE) when one
 * is given. RXE_DDB_DIMENSIONS when the bitmap's size cannot be read,
 * RXE_DDB_DATA when its pixels cannot, RXE_INVALID_HANDLE for a palette
 * handle that is no palette. */
RX_API int32_t RX_image_create_from_bitmap(uintptr_t bitmap, uintptr_t palette,
                                           RX_HIMAGE* image_out);
RX_API int32_t RX_image_delete(RX_HIMAGE image);
RX_API int32_t RX_image_dimensions_get(RX_HIMAGE image, int32_t* width, int32_t* height,
                                       int32_t* bits);
RX_API int32_t RX_image_compression_type_get(RX_HIMAGE image, int32_t* code);
RX_API int32_t RX_image_resolution_set(RX_HIMAGE image, int32_t x_num, int32_t x_den,
                                       int32_t y_num, int32_t y_den, int32_t units);
RX_API int32_t RX_image_resolution_get(RX_HIMAGE image, int32_t* x_num, int32_t* x_den,
                                       int32_t* y_num, int32_t* y_den, int32_t* units);

RX_API int32_t RX_IP_convert_runs_to_DIB(RX_HIMAGE image);
RX_API int32_t RX_IP_convert_DIB_to_runs(RX_HIMAGE image);

/* Row formats of the raster and row accessors. */
enum { RX_ROW_PACKED = 1, RX_ROW_BYTE_PER_PIXEL = 2 };
/* Selects the whole row in RX_DIB_row_get and RX_DIB_row_set. */
#define RX_ROW_WHOLE 0xFFFFFFFFu

RX_API int32_t RX_DIB_raster_get(RX_HIMAGE image, int32_t row, void* buffer, int32_t format);
RX_API int32_t RX_DIB_raster_set(RX_HIMAGE image, int32_t row, const void* buffer,
                                 int32_t format);
RX_API int32_t RX_DIB_row_get(RX_HIMAGE image, uint32_t first_column, int32_t row,
                              uint32_t pixel_count, void* buffer, int32_t format);
RX_API int32_t RX_DIB_row_set(RX_HIMAGE image, uint32_t first_column, int32_t row,
                              uint32_t pixel_count, const void* buffer, int32_t format);
/* Pixel values are 1 byte for 1 to 8 bits, 2 for 16 and 3 (blue, green,
 * red) for 24; y counts from the top. */
RX_API int32_t RX_image_pixel_get(RX_HIMAGE image, int32_t x, int32_t y, void* value);
RX_API int32_t RX_image_pixel_set(RX_HIMAGE image, int32_t x, int32_t y, const void* value);

/* ---- Loading ------------------------------------------------------------
 * Every load detects the format from the content, never from the name,
 * and on failure leaves *image_out 0 with no image built. Pages count from
 * 1. The fourth value is passed through to the reader (1 for plain loads). */

/* Called as soon as a progressive load has created its image. */
typedef void (*RX_LOAD_CREATED_CB)(uintptr_t value, RX_HIMAGE image);

RX_API int32_t RX_image_load_file(const char* name, RX_HIMAGE* image_out);
/* Loads from an open platform file: seeks `offset` bytes from its current
 * position, reads the page and puts the file back where it was. */
RX_API int32_t RX_image_load_open_file(int32_t file, int32_t offset, int32_t page,
                                       int32_t fourth, RX_HIMAGE* image_out);
/* Loads while drawing each new row on the device context. */
RX_API int32_t RX_image_load_display(const char* name, uintptr_t device_context,
                                     RX_LOAD_CREATED_CB created, uintptr_t value,
                                     RX_HIMAGE* image_out);
/* Headerless CCITT data from an open file: compression 3 or 11 is Group 3,
 * anything else Group 4. */
RX_API int32_t RX_image_load_raw_CCITT(int32_t file, int32_t width, int32_t height,
                                       int32_t compression, int32_t decoder_option,
                                       RX_HIMAGE* image_out);
RX_API int32_t RX_image_load_memory(const void* block, int32_t size, int32_t page,
                                    int32_t fourth, RX_HIMAGE* image_out);
/* A reserved load entry: reports RXE_NOT_IMPLEMENTED. */
RX_API int32_t RX_image_load_reserved(const char* name, RX_HIMAGE* image_out);

/* Describes page 1 of a file without building an image; outputs optional. */
RX_API int32_t RX_file_info_get(const char* name, int32_t* format, int32_t* compression,
                                RX_BITMAPINFOHEADER* header);
RX_API int32_t RX_memory_info_get(const void* block, int32_t size, int32_t page,
                                  int32_t* format, int32_t* compression,
                                  RX_BITMAPINFOHEADER* header);
RX_API int32_t RX_file_page_count_get(const char* name, int32_t* count);
RX_API int32_t RX_memory_page_count_get(const void* block, int32_t size, int32_t* count);

/* Switches detection of a format on or off (RX_FORMAT_TEXT starts off). */
RX_API int32_t RX_detection_switch_set(int32_t format_code, int32_t on);

/* The names of format codes 0..47 ("UNKNOWN" outside) and of the
 * compression codes 0..RX_COMPRESSION_UNKNOWN ("UNKNOWN" outside). */
RX_API const char* RX_format_name_get(int32_t format_code);
RX_API const char* RX_compression_name_get(int32_t compression);

/* Whether the filter of a format code (built-in or registered by an
 * extension) can load and save files: each output 1 or 0, and optional.
 * A code without a filter gives RXE_INVALID_IMAGE_FORMAT (iVal the code)
 * and 0 in both. */
RX_API int32_t RX_format_capabilities_get(int32_t format_code, int32_t* can_load,
                                          int32_t* can_save);

/* ---- Saving -------------------------------------------------------------
 * The format word: low 16 bits the format code (RX_FORMAT_UNKNOWN = by the
 * file name's extension, file saves only), high 16 bits an option for the
 * writer (for BMP, non-zero asks for RLE). When the image rectangle covers
 * only part of the image, only that part is saved. */

RX_API int32_t RX_image_save_file(RX_HIMAGE image, const char* name, uint32_t format_word);
/* Saves into a caller's block; *size_out receives the larger of the valid
 * length given and the end of what the writer wrote. */
RX_API int32_t RX_image_save_memory(RX_HIMAGE image, void* block, int32_t valid_length,
                                    int32_t capacity, int32_t a, int32_t b,
                                    uint32_t format_word, int32_t* size_out);

/* The image rectangle (inclusive) that display and saves use; null
 * selects the whole image. */
RX_API int32_t RX_display_image_rect_set(RX_HIMAGE image, const int32_t* rect);
RX_API int32_t RX_display_image_rect_get(RX_HIMAGE image, int32_t* rect);

/* ---- Options and settings --------------------------------------------- */

/* Option id (RX_OPTION_...): low byte = format code, next byte = option
 * number. Numeric options take the low 32 (or 16) bits of value;
 * RX_OPTION_TEXT_FONT_NAME takes the address of a string. */
RX_API int32_t RX_image_control_set(uint32_t option_id, uintptr_t value);
/* Numeric options write a uint32_t to *value; the font name option copies
 * the name into the char buffer at value (32 bytes; names longer than
 * 31 characters are cut when set, so the copy is always terminated). */
RX_API int32_t RX_image_control_get(uint32_t option_id, void* value);

RX_API int32_t RX_status_callback_set(RX_STATUS_CB callback, uintptr_t user);
RX_API int32_t RX_load_conversion_set(int32_t mode);
RX_API int32_t RX_load_crop_set(int32_t left, int32_t top, int32_t width, int32_t height);
RX_API int32_t RX_load_resize_set(int32_t width, int32_t height);

/* The load-time conversion, crop and resize settings as one value. */
typedef struct RX_LOAD_SETTINGS {
  int32_t conversion_mode;
  int32_t crop_left, crop_top, crop_width, crop_height;
  int32_t resize_width, resize_height;
} RX_LOAD_SETTINGS;
/* Reads the current load settings. A query: the error stack is left as it
 * is. Returns 1, or 0 (and all zeros) before engine start. */
RX_API int32_t RX_load_settings_get(RX_LOAD_SETTINGS* settings);
/* Puts back settings read with RX_load_settings_get, for a caller that
 * changed them around one load. Unlike the set calls it leaves the error
 * stack as it is, so the load's errors stay readable. Settings a set call
 * would refuse change nothing (and push nothing). Returns 1 when the
 * settings were put, 0 otherwise. */
RX_API int32_t RX_load_settings_restore(const RX_LOAD_SETTINGS* settings);

/* Limits against hostile files. A file may claim an image of any size; a
 * load refuses (RXE_LOAD_LIMIT_EXCEEDED, the width and height as values)
 * an image of more than max_pixels pixels, and no single block it
 * allocates may exceed max_allocation bytes (a larger one fails as the
 * memory it would need). 0 selects the engine's own limit: the largest DIB
 * the engine builds, 0x7FFFFFFF bytes. Both start at 0. */
RX_API int32_t RX_load_limits_set(uint64_t max_pixels, uint64_t max_allocation);
/* The limits in force (the engine's own where 0 was set). Returns 0. */
RX_API int32_t RX_load_limits_get(uint64_t* max_pixels, uint64_t* max_allocation);
/* Installs the tag-set callback in the stream template. */
RX_API int32_t RX_tag_set_callback_install(RX_TAG_SET_CB callback, uintptr_t user);
/* Installs the tag-get and tag-user-get callbacks in the stream template. */
RX_API int32_t RX_tag_get_callback_install(RX_TAG_GET_CB get, RX_TAG_USER_GET_CB user_get,
                                           uintptr_t user);

/* ---- Extension modules ------------------------------------------------
 * Shared libraries that add format filters and codecs at run time (the
 * module contract is in rx_types.h). A loaded module's filters are tried
 * by detection before the built-in ones, are found by their format code
 * for loads and saves, and answer the option ids the built-in table does
 * not know; its codecs serve the compressions the engine lacks (8, LZW). */

/* Loads the module at `path`: RXE_EXTENSION_NOT_PRESENT when the library
 * cannot be loaded, RXE_EXTENSION_INVALID when it lacks one of the three
 * entry points or declares what the engine cannot take,
 * RXE_EXTENSION_INIT_FAILED when it refuses to attach. A failed load
 * leaves nothing registered. */
RX_API int32_t RX_extension_load(const char* path);
/* Unloads the module loaded under `path` (letter case ignored; the newest
 * when the same path was loaded twice): RXE_EXTENSION_NOT_PRESENT when
 * none was. Engine stop unloads every module. */
RX_API int32_t RX_extension_unload(const char* path);
/* Number of loaded modules. */
RX_API int32_t RX_extension_count_get(int32_t* count);
/* The n-th loaded module (0 = the newest): its path as given at load, cut
 * to path_size - 1 bytes, and its number of items; outputs optional.
 * RXE_PARAMETERS_OUT_OF_LIMITS for an n past the last. */
RX_API int32_t RX_extension_get(int32_t n, char* path, uint32_t path_size, int32_t* item_count);
/* Item `item` of the n-th module: its kind (RX_EXT_ITEM_FILTER,
 * RX_EXT_ITEM_CODEC, or another kind the engine skipped), its format code
 * or compression number, and RX_EXT_ABLE_ bits; outputs optional. */
RX_API int32_t RX_extension_item_get(int32_t n, int32_t item, int32_t* kind, int32_t* code,
                                     int32_t* abilities);

/* Image processing (RX_IP_): arithmetic, contrast, look-up tables,
 * histograms, resize, crop, rotation, mirrors, depth promotion, grey,
 * palette entries, colour reduction and dithering. */
#include "rastrix/rx_ip.h"

/* Displaying images (RX_display_): drawing into device contexts and the
 * display attributes. */
#include "rastrix/rx_display.h"

/* Printing images (RX_display_print): the display engine drawing into a
 * printer's page. */
#include "rastrix/rx_print.h"

/* Image windows (RX_window_): windows that paint, zoom and scroll an
 * image by themselves, with linked images. */
#include "rastrix/rx_window.h"

/* Tool windows (RX_magnify_, RX_pan_, RX_select_): the magnifier, the pan
 * window, hand panning and rubber-band selection over image windows. */
#include "rastrix/rx_tools.h"

#endif
