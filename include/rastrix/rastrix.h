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
/* Waits for the drawing layer: reports RXE_NOT_IMPLEMENTED. */
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

/* ---- Options and settings --------------------------------------------- */

/* Option id: low byte = format code, next byte = option number. Numeric
 * options take the low 32 (or 16) bits of value; the font name option
 * (3369) takes the address of a string. */
RX_API int32_t RX_image_control_set(uint32_t option_id, uintptr_t value);
/* Numeric options write a uint32_t to *value; the font name option copies
 * the name into the char buffer at value (32 bytes; names longer than
 * 31 characters are cut when set, so the copy is always terminated). */
RX_API int32_t RX_image_control_get(uint32_t option_id, void* value);

RX_API int32_t RX_status_callback_set(RX_STATUS_CB callback, uintptr_t user);
RX_API int32_t RX_load_conversion_set(int32_t mode);
RX_API int32_t RX_load_crop_set(int32_t left, int32_t top, int32_t width, int32_t height);
RX_API int32_t RX_load_resize_set(int32_t width, int32_t height);
/* Installs the tag-set callback in the stream template. */
RX_API int32_t RX_tag_set_callback_install(RX_TAG_SET_CB callback, uintptr_t user);
/* Installs the tag-get and tag-user-get callbacks in the stream template. */
RX_API int32_t RX_tag_get_callback_install(RX_TAG_GET_CB get, RX_TAG_USER_GET_CB user_get,
                                           uintptr_t user);

#endif
