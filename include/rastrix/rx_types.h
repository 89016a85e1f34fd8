/* Rastrix shared types: image handles, the packed DIB header and palette
 * entries, the stream record and the callback signatures shared by the
 * engine API (rastrix.h) and the extension interface (rpb.h).
 *
 * Every field that files or callers see has a fixed width; handles and
 * addresses are pointer-sized. The byte layouts are little-endian, as on
 * every machine the engine is built for. */
#ifndef RASTRIX_RX_TYPES_H
#define RASTRIX_RX_TYPES_H

#include <stddef.h>
#include <stdint.h>

#include "rastrix/rx_codes.h"

#ifdef __cplusplus
#define RX_EXTERN_C extern "C"
#else
#define RX_EXTERN_C
#endif

#define RX_API RX_EXTERN_C __attribute__((visibility("default")))

/* An image handle is the address of the image's record; 0 means no image. */
typedef uintptr_t RX_HIMAGE;

/* The image record itself is private to the engine. */
typedef struct IMAGE_REC IMAGE_REC;

/* The 40-byte bitmap information header at the start of every packed DIB. */
typedef struct RX_BITMAPINFOHEADER {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
} RX_BITMAPINFOHEADER;

/* One palette entry: blue, green, red, reserved. */
typedef struct RX_RGBQUAD {
  uint8_t rgbBlue;
  uint8_t rgbGreen;
  uint8_t rgbRed;
  uint8_t rgbReserved;
} RX_RGBQUAD;

/* DIB compression codes. */
enum {
  RX_BI_RGB = 0,        /* plain rows */
  RX_BI_BITFIELDS = 3,  /* 16-bit pixels with three colour masks */
  RX_BI_RUNS = 500,     /* bi-level image stored as run rows */
  RX_BI_GRAY16 = 503,   /* 16-bit grey pixels with masks */
  RX_BI_BIGPAL = 504    /* large-palette layout */
};

/* Status callback: called for each stored or fetched row with the DIB row
 * (bottom-up) and the image height; returning 0 stops the operation. */
typedef int32_t (*RX_STATUS_CB)(uintptr_t user, int32_t dib_row, int32_t height);

/* Tag exchange callbacks (type codes follow the TIFF field types). */
typedef int32_t (*RX_TAG_SET_CB)(uintptr_t user, int32_t tag_id, int32_t type,
                                 uintptr_t data, int32_t count);
typedef int32_t (*RX_TAG_GET_CB)(uintptr_t user, int32_t tag_id, int32_t* type,
                                 void* buffer, int32_t buffer_size);
/* *count comes in as the buffer's capacity and goes out as the number of
 * bytes written to it; a callback that returns 0 supplied nothing. */
typedef int32_t (*RX_TAG_USER_GET_CB)(uintptr_t user, int32_t* tag_id, int32_t* type,
                                      void* buffer, int32_t* count);

/* Platform file functions as the stream record calls them. A file is a
 * descriptor; negative values mean failure. Positions are 32-bit. */
typedef int32_t (*RX_FILE_CREATE_FN)(const char* name);
typedef int32_t (*RX_FILE_OPEN_FN)(const char* name, int32_t access);
typedef int32_t (*RX_FILE_CLOSE_FN)(int32_t file);
typedef int32_t (*RX_FILE_SEEK_FN)(int32_t file, int32_t offset, int32_t origin);
typedef int32_t (*RX_FILE_READ_FN)(int32_t file, void* buffer, int32_t count);
typedef int32_t (*RX_FILE_WRITE_FN)(int32_t file, const void* buffer, int32_t count);

/* File access for the open function. */
enum { RX_ACCESS_READ = 0, RX_ACCESS_WRITE = 1, RX_ACCESS_READ_WRITE = 2 };

typedef struct IO_REC IO_REC;

/* Reader-side image callbacks. */
typedef int32_t (*RX_DIB_CREATE_CB)(IO_REC* io, const RX_BITMAPINFOHEADER* header,
                                    const RX_RGBQUAD* palette);
typedef int32_t (*RX_RASTER_SET_CB)(IO_REC* io, const uint8_t* row, int32_t row_index,
                                    int32_t byte_count);
typedef int32_t (*RX_RASTER_PLANE_SET_CB)(IO_REC* io, const uint8_t* row, int32_t row_index,
                                          int32_t byte_count, int32_t plane);
typedef int32_t (*RX_ATTRIBUTE_SET_CB)(IO_REC* io, int32_t id, uintptr_t value);

/* Writer-side image callbacks. */
typedef int32_t (*RX_DIB_GET_CB)(IO_REC* io, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette);
typedef int32_t (*RX_RASTER_GET_CB)(IO_REC* io, uint8_t* row, int32_t row_index,
                                    int32_t byte_count);
typedef int32_t (*RX_ATTRIBUTE_GET_CB)(IO_REC* io, int32_t id, void* value);

/* Slots of IO_REC.cb_data: one user value per image callback, raster set
 * and raster plane set sharing one. */
enum {
  RX_CBD_DIB_CREATE = 0,
  RX_CBD_DIB_GET = 1,
  RX_CBD_RASTER_GET = 2,
  RX_CBD_RASTER_SET = 3,
  RX_CBD_ALPHA_CREATE = 4,
  RX_CBD_ALPHA_GET = 5,
  RX_CBD_ALPHA_RASTER_GET = 6,
  RX_CBD_ALPHA_RASTER_SET = 7,
  RX_CBD_ATTRIBUTE_SET = 8,
  RX_CBD_ATTRIBUTE_GET = 9,
  RX_CBD_COUNT = 10
};

/* The stream record through which every reader and writer sees its file or
 * memory block. Made by copying the process template (RPb_IO_inst_lookup). */
struct IO_REC {
  uint32_t tag;               /* memory tag of the template */
  int32_t handle;             /* file mode: the open file; memory mode: position */
  uint32_t spare0;
  int32_t limit;              /* memory mode: capacity of the block */
  uint8_t* memory;            /* memory mode: the block; null selects file mode */
  int32_t high_water;         /* memory mode: largest position reached */
  RX_FILE_CREATE_FN create_fn;
  RX_FILE_OPEN_FN open_fn;
  RX_FILE_CLOSE_FN close_fn;
  RX_FILE_SEEK_FN seek_fn;
  void (*spare_fn0)(void);
  RX_FILE_READ_FN read_fn;
  void (*spare_fn1)(void);
  RX_FILE_WRITE_FN write_fn;
  void (*spare_fn2)(void);
  int32_t byte_order;         /* 0 Intel, 1 Motorola */
  uintptr_t tag_set_data;
  uintptr_t tag_get_data;
  uintptr_t cb_data[RX_CBD_COUNT];
  RX_TAG_SET_CB tag_set;
  RX_TAG_GET_CB tag_get;
  RX_TAG_USER_GET_CB tag_user_get;
  RX_DIB_CREATE_CB dib_create;
  RX_DIB_GET_CB dib_get;
  RX_RASTER_GET_CB raster_get;
  RX_RASTER_SET_CB raster_set;
  RX_RASTER_PLANE_SET_CB raster_plane_set;
  RX_DIB_CREATE_CB alpha_create;
  RX_DIB_GET_CB alpha_get;
  RX_RASTER_GET_CB alpha_raster_get;
  RX_RASTER_SET_CB alpha_raster_set;
  RX_ATTRIBUTE_SET_CB attribute_set;
  RX_ATTRIBUTE_GET_CB attribute_get;
};

/* The functions of a format filter. A reader builds its image through the
 * stream's callbacks; a writer pulls the image through them. */
typedef int32_t (*RX_DETECT_FN)(IO_REC* io, const uint8_t* head, int32_t count);
typedef int32_t (*RX_INFO_FN)(IO_REC* io, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette,
                              int32_t* compression, void* flags, int32_t page);
typedef int32_t (*RX_READ_FN)(IO_REC* io, void* flags, int32_t page, int32_t fourth);
typedef int32_t (*RX_WRITE_FN)(IO_REC* io, void* flags, int32_t a, int32_t b, int32_t option);
typedef int32_t (*RX_PAGE_COUNT_FN)(IO_REC* io, void* flags, int32_t* count);

/* Codecs an extension module registers (codec items, looked up by their
 * compression number: 8 is LZW). The TIFF reader positions the stream at a
 * strip and asks the decoder for the strip's rows in `buffer` (rows of
 * (bits per sample x samples per pixel x width + 7) / 8 bytes, plus 4
 * bytes of slack); the TIFF writer hands the encoder one strip's rows in
 * file order and the encoder writes the coded strip at the stream's
 * position, leaving the number of bytes it wrote in *byte_count. Both
 * return 0 on success; anything else ends the load or save. */
typedef struct RX_CODEC_STRIP {
  int32_t strip_bytes;   /* coded bytes of the strip in the file */
  int32_t rows;          /* rows of this strip (the last may be short) */
  int32_t row_bytes;     /* bytes of one decoded row */
  int32_t predictor;     /* the page's Predictor (1 none, 2 horizontal) */
  int32_t fill_order;    /* the page's FillOrder (1 or 2) */
} RX_CODEC_STRIP;
typedef int32_t (*RX_CODEC_DECODE_FN)(IO_REC* io, uint8_t* buffer, int32_t buffer_size,
                                      uint32_t pool_tag, const RX_BITMAPINFOHEADER* header,
                                      int32_t rows_per_strip, int32_t bits_per_sample,
                                      int32_t samples_per_pixel, const RX_CODEC_STRIP* strip,
                                      void* state);
typedef int32_t (*RX_CODEC_ENCODE_FN)(IO_REC* io, uint32_t pool_tag, const uint8_t* buffer,
                                      int32_t* byte_count);

/* Byte orders of a stream. */
enum { RX_ORDER_INTEL = 0, RX_ORDER_MOTOROLA = 1 };

#endif
