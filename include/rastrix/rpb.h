/* Rastrix extension interface: the RPb_ functions that extension modules
 * (and the engine's own filters) use to report errors, allocate tagged
 * memory, build and read images and move bytes through stream records. */
#ifndef RASTRIX_RPB_H
#define RASTRIX_RPB_H

#include "rastrix/rx_status.h"
#include "rastrix/rx_types.h"

/* ---- Errors ------------------------------------------------------------ */

/* Pushes one entry and returns `code`, or -101 when the error stack is not
 * registered. Only the text after the last backslash of `source`
 * reaches the entry, cut to 13 characters. */
RX_API int32_t RPb_AF_error_set(const char* source, int32_t line, int32_t code, int32_t iVal,
                                int32_t lVal);
RX_API int32_t RPb_AF_error_check(void);
RX_API void RPb_AF_error_clear(void);

/* ---- Tagged memory ----------------------------------------------------- */

RX_API uint32_t RPb_AF_mem_unique_tag_get(void);
RX_API void* RPb_AF_mem_alloc(uint32_t tag, size_t size);
RX_API void* RPb_AF_mem_realloc(uint32_t tag, void* block, size_t size);
RX_API int32_t RPb_AF_mem_free(uint32_t tag, void* block);
/* Returns the number of blocks released, or -1 when the tag is unknown. */
RX_API int32_t RPb_AF_mem_free_all(uint32_t tag);

/* ---- Image record ------------------------------------------------------ */

RX_API int32_t RPb_image_associate(void* dib, IMAGE_REC* record, int32_t init);
RX_API uint8_t* RPb_image_pointer_get(IMAGE_REC* record);
RX_API void* RPb_DIB_pointer_get(IMAGE_REC* record);
RX_API RX_RGBQUAD* RPb_palette_pointer_get(IMAGE_REC* record);
RX_API int32_t RPb_width_get(IMAGE_REC* record);
RX_API int32_t RPb_height_get(IMAGE_REC* record);
RX_API int32_t RPb_bits_per_pixel_get(IMAGE_REC* record);
RX_API int32_t RPb_bytes_per_raster_get(IMAGE_REC* record);
RX_API uint8_t* RPb_image_run_row_get(IMAGE_REC* record, int32_t dib_row);
RX_API int32_t RPb_logical_palette_update(IMAGE_REC* record);
RX_API void RPb_image_info_type_set(IMAGE_REC* record, uint32_t type);
RX_API uint32_t RPb_image_info_type_get(IMAGE_REC* record);
RX_API void RPb_image_info_mem_tag_set(IMAGE_REC* record, uint32_t tag);
RX_API uint32_t RPb_image_info_mem_tag_get(IMAGE_REC* record);
RX_API void RPb_image_info_set(IMAGE_REC* record, void* info);
RX_API void* RPb_image_info_get(IMAGE_REC* record);
RX_API int32_t RPb_iRX_image_is_valid(RX_HIMAGE image);
RX_API int32_t RPb_iRX_image_delete(IMAGE_REC* record);
RX_API int32_t RPb_iRX_image_pels_per_meter_get(IMAGE_REC* record, int32_t* x, int32_t* y);

/* ---- DIB --------------------------------------------------------------- */

RX_API void* RPb_DIB_alloc(IMAGE_REC* record, const RX_BITMAPINFOHEADER* header,
                           const RX_RGBQUAD* palette);
RX_API void RPb_DIB_free(void* dib, IMAGE_REC* record);
RX_API void RPb_DIB_init(RX_BITMAPINFOHEADER* header, int32_t width, int32_t height,
                         int32_t bitcount, uint32_t compression, int32_t x_pels_per_meter,
                         int32_t y_pels_per_meter);
RX_API int32_t RPb_DIB_is_gray_scale(const void* dib);
RX_API uint32_t RPb_DIB_DIB_size_get(const void* dib);
RX_API int32_t RPb_DIB_bytes_per_raster_get(const void* dib);
RX_API uint8_t* RPb_DIB_image_pointer_get(void* dib);
RX_API void RPb_DIB_red_mask_set(void* dib, uint32_t mask);
RX_API void RPb_DIB_green_mask_set(void* dib, uint32_t mask);
RX_API void RPb_DIB_blue_mask_set(void* dib, uint32_t mask);

/* ---- Streams ----------------------------------------------------------- */

/* Fills *io with a copy of the process stream template; returns 1, or 0
 * when the engine is not started. */
RX_API int32_t RPb_IO_inst_lookup(IO_REC* io);
RX_API int32_t RPb_IO_read(IO_REC* io, void* buffer, int32_t count);
RX_API int32_t RPb_IO_write(IO_REC* io, const void* buffer, int32_t count);
/* Origin RX_SEEK_SET, RX_SEEK_CUR or RX_SEEK_END; -> new position or -1. */
RX_API int32_t RPb_IO_seek(IO_REC* io, int32_t offset, int32_t origin);
RX_API int32_t RPb_IO_tell(IO_REC* io);
RX_API int32_t RPb_IO_open(IO_REC* io, const char* name, int32_t access);
RX_API int32_t RPb_IO_close(IO_REC* io);
RX_API int32_t RPb_IO_byte_read(IO_REC* io, uint8_t* value);
RX_API int32_t RPb_IO_byte_write(IO_REC* io, const uint8_t* value);
RX_API int32_t RPb_IO_byte_order_set(IO_REC* io, int32_t order);
RX_API int32_t RPb_IO_byte_order_get(IO_REC* io, int32_t* order);
RX_API int32_t RPb_IO_word_read(IO_REC* io, uint16_t* value);
RX_API int32_t RPb_IO_word_write(IO_REC* io, const uint16_t* value);
RX_API int32_t RPb_IO_dword_read(IO_REC* io, uint32_t* value);
RX_API int32_t RPb_IO_dword_write(IO_REC* io, const uint32_t* value);
RX_API int32_t RPb_IO_ii_word_read(IO_REC* io, uint16_t* value);
RX_API int32_t RPb_IO_ii_word_write(IO_REC* io, const uint16_t* value);
RX_API int32_t RPb_IO_ii_dword_read(IO_REC* io, uint32_t* value);
RX_API int32_t RPb_IO_ii_dword_write(IO_REC* io, const uint32_t* value);
RX_API int32_t RPb_IO_mm_word_read(IO_REC* io, uint16_t* value);
RX_API int32_t RPb_IO_mm_word_write(IO_REC* io, const uint16_t* value);
RX_API int32_t RPb_IO_mm_dword_read(IO_REC* io, uint32_t* value);
RX_API int32_t RPb_IO_mm_dword_write(IO_REC* io, const uint32_t* value);
RX_API uint16_t RPb_ii_word_swap(uint16_t value);
RX_API uint32_t RPb_ii_dword_swap(uint32_t value);
RX_API uint16_t RPb_mm_word_swap(uint16_t value);
RX_API uint32_t RPb_mm_dword_swap(uint32_t value);

/* ---- Tag exchange ------------------------------------------------------ */

RX_API int32_t RPb_IO_tag_set_exists(IO_REC* io);
RX_API int32_t RPb_IO_tag_get_exists(IO_REC* io);
RX_API int32_t RPb_IO_tag_user_get_exists(IO_REC* io);
RX_API int32_t RPb_IO_tag_set(IO_REC* io, int32_t tag_id, int32_t type, uintptr_t data,
                              int32_t count);
RX_API int32_t RPb_IO_tag_byte_set(IO_REC* io, int32_t tag_id, uint8_t value);
RX_API int32_t RPb_IO_tag_word_set(IO_REC* io, int32_t tag_id, uint16_t value);
RX_API int32_t RPb_IO_tag_dword_set(IO_REC* io, int32_t tag_id, uint32_t value);
RX_API int32_t RPb_IO_tag_get(IO_REC* io, int32_t tag_id, int32_t* type, void* buffer,
                              int32_t buffer_size);
RX_API int32_t RPb_IO_tag_user_get(IO_REC* io, int32_t* tag_id, int32_t* type, void* buffer,
                                   int32_t* count);
RX_API int32_t RPb_IO_tag_byte_get(IO_REC* io, int32_t tag_id, uint8_t* value);
RX_API int32_t RPb_IO_tag_word_get(IO_REC* io, int32_t tag_id, uint16_t* value);
RX_API int32_t RPb_IO_tag_dword_get(IO_REC* io, int32_t tag_id, uint32_t* value);

/* ---- Image callbacks (forward to the functions in the stream record) --- */

RX_API int32_t RPb_IO_DIB_create(IO_REC* io, const RX_BITMAPINFOHEADER* header,
                                 const RX_RGBQUAD* palette);
RX_API int32_t RPb_IO_raster_set(IO_REC* io, const uint8_t* row, int32_t row_index,
                                 int32_t byte_count);
RX_API int32_t RPb_IO_raster_plane_set(IO_REC* io, const uint8_t* row, int32_t row_index,
                                       int32_t byte_count, int32_t plane);
RX_API int32_t RPb_IO_alpha_create(IO_REC* io, const RX_BITMAPINFOHEADER* header,
                                   const RX_RGBQUAD* palette);
RX_API int32_t RPb_IO_alpha_raster_set(IO_REC* io, const uint8_t* row, int32_t row_index,
                                       int32_t byte_count);
RX_API int32_t RPb_IO_attribute_set(IO_REC* io, int32_t id, uintptr_t value);
RX_API int32_t RPb_IO_DIB_get(IO_REC* io, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette);
RX_API int32_t RPb_IO_raster_get(IO_REC* io, uint8_t* row, int32_t row_index,
                                 int32_t byte_count);
RX_API int32_t RPb_IO_alpha_get(IO_REC* io, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette);
RX_API int32_t RPb_IO_alpha_raster_get(IO_REC* io, uint8_t* row, int32_t row_index,
                                       int32_t byte_count);
RX_API int32_t RPb_IO_attribute_get(IO_REC* io, int32_t id, void* value);

/* ---- Load and save pipeline -------------------------------------------- */

/* The reader-side callback data of a load. */
typedef struct LOAD_CB_DATA {
  RX_HIMAGE* image_out;     /* the caller's handle variable */
  uintptr_t status_data;
  RX_STATUS_CB status_fn;
  int32_t conversion_mode;  /* 0 none, 1 to 1-bit, 2 to 4-bit, 3 to 8-bit */
  void* scratch;            /* the converting callbacks' state */
  int32_t rows_received;
  int32_t crop_left, crop_top, crop_width, crop_height, crop_on;
  int32_t resize_width, resize_height, resize_on;
  int32_t runs_convert;     /* 1 when packed 1-bit rows must become run rows */
  uint8_t* run_scratch;     /* one run row: 2 x width + 8 bytes */
  uint32_t run_offset;      /* bytes of run rows stored so far */
  uint32_t tag;             /* memory tag of the scratch memory */
} LOAD_CB_DATA;

/* Prepares the callback data of a load into *image_out: zeroes it, stores
 * the handle variable and the status callback, points the stream's
 * DIB-create, raster-set and attribute-set data at it, and switches to the
 * converting callbacks when a conversion, crop or resize is set. */
RX_API int32_t RPb_RPr_load_CB_data_init(IO_REC* io, LOAD_CB_DATA* data, RX_HIMAGE* image_out);
/* Frees the scratch memory a load's callbacks still hold. */
RX_API void RPb_RPr_load_CB_data_free(LOAD_CB_DATA* data);

/* Detects the stream's format; writes the filter index (-1 on failure) and
 * returns the error count. The stream is left where it was. */
RX_API int32_t RPb_RPr_filter_detect(IO_REC* io, int32_t* filter_index);
/* The filter index of a format code, or RXE_INVALID_IMAGE_FORMAT. */
RX_API int32_t RPb_RPr_filter_search(int32_t format_code);
RX_API RX_READ_FN RPb_RPr_filter_read_func_get(int32_t filter_index);
/* Copies a filter's image flags block (at most 80 bytes) out of the current
 * options; returns the number of bytes copied. */
RX_API int32_t RPb_RPr_filter_image_flags_get(int32_t filter_index, void* block);

/* ---- Settings ---------------------------------------------------------- */

RX_API int32_t RPb_status_callback_get(RX_STATUS_CB* callback, uintptr_t* user);

#endif
