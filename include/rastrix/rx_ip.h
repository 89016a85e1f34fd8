/* Image processing.
 *
 * Every function here follows the engine convention: it clears the error
 * stack, checks its image handles (an invalid non-zero handle makes it
 * return 0 at once and do nothing) and returns the number of error
 * entries, 0 on success. Rows count from the top.
 *
 * Rectangles of the contrast, look-up table and histogram functions are
 * left, top, right, bottom, inclusive on both ends; a null rectangle means
 * the whole image. They are clamped to the image: left into 0..width-1,
 * right into left..width-1, top into 0..height-1, bottom to top when it is
 * above top, else to at most height-1. So a rectangle always covers at
 * least one pixel.
 *
 * Operations that walk rows report each row to the status callback
 * (RX_status_callback_set) as (user, row within the rectangle or region,
 * number of rows); a 0 answer stops the walk with RXE_INTERRUPTED_BY_USER,
 * leaving the rows done so far changed. While an operation walks an
 * image's rows the image is locked, so a status callback cannot delete or
 * convert it (those calls fail with RXE_MEMORY_LOCK_FAILED). */
#ifndef RASTRIX_RX_IP_H
#define RASTRIX_RX_IP_H

#include "rastrix/rx_types.h"

/* ---- Image arithmetic ---------------------------------------------------- */

/* Merge operations: each combines a target byte t with a source byte s.
 * max is 1 for 1-bit images and 255 otherwise. */
enum {
  RX_MERGE_ADD = 1,         /* min(t + s, max) */
  RX_MERGE_SUBTRACT = 2,    /* max(t - s, 0) */
  RX_MERGE_MULTIPLY = 3,    /* min(t * s, max) */
  RX_MERGE_DIVIDE = 4,      /* min(t / s, max); s = 0 gives 255 (1 for 1-bit) unless t = 0 */
  RX_MERGE_AND = 5,
  RX_MERGE_OR = 6,
  RX_MERGE_XOR = 7,
  RX_MERGE_OFFSET_ADD = 8   /* t + s - 127, limited to 0..max */
};

/* Combines a region of `source` into `target` with its first pixel at
 * (left, top) of the target; left and top may be negative, which drops
 * the source columns or rows that would fall outside. The region is
 * rect = left, top, right, bottom in source pixels with right and bottom
 * exclusive, limited to the source (null: the whole source), and is cut
 * where it passes the target's right or bottom edge.
 *
 * Both images must have the same depth: 1-bit (plain or runs; runs images
 * are in runs format again afterwards), 8-bit with the identity grey
 * palette, or 24-bit, where each of blue, green and red is combined with
 * the matching source byte. Other depths give RXE_BIT_COUNT_UNSUPPORTED,
 * an 8-bit image with another palette RXE_BIT_COUNT_UNSUPPORTED, and
 * different depths RXE_INCOMPATIBLE_DIBS. A position past the target or a
 * region that ends up empty gives RXE_ROI_WRONG_TYPE. An operation number
 * outside 1..8 changes nothing and is not an error. Only the target's
 * pixels change; target and source may be the same image. */
RX_API int32_t RX_IP_merge(RX_HIMAGE target, RX_HIMAGE source, const int32_t* rect,
                           int32_t left, int32_t top, int32_t operation);

/* ---- Contrast -------------------------------------------------------------
 * Target code 0 changes the palette, 1 the pixels in the rectangle. An
 * image handle of 0 gives RXE_INVALID_HANDLE. 8-bit pixel changes need
 * the identity grey palette (else RXE_INDEXED_8_BIT_UNSUPPORTED). */

/* Every value v becomes 255 - v. Palette: 1-, 4- and 8-bit images. Pixels:
 * 1-bit images (plain or runs) have every bit in the rectangle
 * complemented; 8-bit grey and 24-bit images every byte. Target codes
 * other than 0 and 1 give RXE_PARAMETERS_OUT_OF_LIMITS. */
RX_API int32_t RX_IP_contrast_invert(RX_HIMAGE image, const int32_t* rect, int32_t target);

/* Every value v becomes v * contrast + brightness, limited to 0..255 and
 * truncated. Palette: 4- and 8-bit images; pixels: 8-bit grey and 24-bit
 * images. A contrast or brightness that is not a finite number gives
 * RXE_PARAMETERS_OUT_OF_LIMITS, as do target codes other than 0 and 1. */
RX_API int32_t RX_IP_contrast_adjust(RX_HIMAGE image, const int32_t* rect, int32_t target,
                                     double contrast, double brightness);

/* Stretches the values of the rectangle so that its lowest value maps to 0
 * and its highest to 255 (24-bit images by the channel mean, the same map
 * for all three channels). 8-bit grey images: target 0 writes the map into
 * the palette as grey entries, target 1 applies it to the pixels, other
 * codes do nothing. 24-bit images accept target 1 only. */
RX_API int32_t RX_IP_contrast_stretch(RX_HIMAGE image, const int32_t* rect, int32_t target);

/* Histogram equalisation of the rectangle; images and target codes as for
 * the stretch. With fewer than 255 pixels the map is the identity. */
RX_API int32_t RX_IP_contrast_equalize(RX_HIMAGE image, const int32_t* rect, int32_t target);

/* ---- Look-up tables ---------------------------------------------------------
 * Each table has 256 entries: output = lut[input]. */

/* 8-bit images only (else RXE_INVALID_BIT_COUNT); a null table gives
 * RXE_INVALID_POINTER. */
RX_API int32_t RX_IP_LUT_apply_8(RX_HIMAGE image, const int32_t* rect, const uint8_t* lut);

/* 24-bit images only (else RXE_INVALID_BIT_COUNT); a null table leaves its
 * channel as it is. */
RX_API int32_t RX_IP_LUT_apply_24(RX_HIMAGE image, const int32_t* rect, const uint8_t* red,
                                  const uint8_t* green, const uint8_t* blue);

/* ---- Histograms -------------------------------------------------------------
 * A histogram is 1 to 256 counters (else RXE_PARAMETERS_OUT_OF_LIMITS); a
 * null histogram or output gives RXE_INVALID_POINTER. */

/* Channels of a 24-bit histogram. */
enum {
  RX_CHANNEL_RED = 1,
  RX_CHANNEL_GREEN = 2,
  RX_CHANNEL_BLUE = 4,
  RX_CHANNEL_MEAN = 16  /* (blue + green + red) / 3 */
};

/* Adds the pixel values of every row_step-th row of the rectangle to the
 * counters (clear them first for a fresh count): counter v counts value v,
 * and values at or past `bins` are not counted. A row step of 0 counts
 * every row, a step past the row count only the first row; a negative
 * step gives RXE_PARAMETERS_OUT_OF_LIMITS. 1-, 4- and 8-bit images count
 * their pixel values and ignore `channel`; 24-bit images count the
 * channel named by `channel` (else RXE_PARAMETERS_OUT_OF_LIMITS); 16-bit
 * images give RXE_BIT_COUNT_UNSUPPORTED. Counters stop at 0xFFFFFFFF. */
RX_API int32_t RX_IP_histogram_get(RX_HIMAGE image, uint32_t* histogram, int32_t bins,
                                   const int32_t* rect, int32_t row_step, int32_t channel);

/* Sets every counter to 0. */
RX_API int32_t RX_IP_histogram_clear(uint32_t* histogram, int32_t bins);

/* The first and last non-zero counter; both 0 when every counter is 0. */
RX_API int32_t RX_IP_histogram_bounds(const uint32_t* histogram, int32_t bins, int32_t* low,
                                      int32_t* high);

/* The sum of the counters. */
RX_API int32_t RX_IP_histogram_total(const uint32_t* histogram, int32_t bins, uint64_t* total);

#endif
