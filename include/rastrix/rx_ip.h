/* Image processing.
 *
 * Every function here follows the engine convention: it clears the error
 * stack, checks its image handles (an invalid non-zero handle makes it
 * return 0 at once and do nothing, unless its section says otherwise) and
 * returns the number of error entries, 0 on success. Rows count from the
 * top.
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

/* ---- Resize and crop -------------------------------------------------------
 * These operations, and the rotations, promotion and grey conversion below,
 * build a new DIB and put it in place of the image's own only when it is
 * complete: on any failure, and when the status callback stops them, the
 * image is as it was. The handle stays the same. An image handle of 0
 * gives RXE_INVALID_HANDLE (RXE_INVALID_FILE_HEADER for the grey
 * conversion and the palette entries); any other invalid handle gives
 * RXE_INVALID_FILE_HEADER with the handle's low 32 bits. A size change
 * resets the image rectangle to the whole new image. A new size whose DIB
 * would pass the engine's limits (or a runs image wider than 32762
 * pixels) gives RXE_DIB_SIZE_WRONG. The status callback hears of each new
 * row as (user, row, rows); a 0 answer gives RXE_INTERRUPTED_BY_USER with
 * the same two numbers. */

/* Resize methods. */
enum {
  RX_RESIZE_REPLICATE = 0, /* nearest sample */
  RX_RESIZE_AVERAGE = 1,   /* average of four corners */
  RX_RESIZE_BILINEAR = 2   /* bilinear interpolation */
};

/* Resizes the image to width x height (both at least 1, else
 * RXE_PARAMETERS_OUT_OF_LIMITS; an unknown method too). With the ratios
 * rx = width_old / width and ry = height_old / height, destination pixel
 * (x, y) takes:
 * - replicate, 1-, 8- and 24-bit: source column trunc(x * rx), the position
 *   accumulated by adding rx once per column from 0 (rows alike);
 *   4- and 16-bit: source column round((x + 1) * rx - 1), halves up, kept
 *   inside the image (rows alike);
 * - average: each sample the mean (sum >> 2) of the samples at columns
 *   trunc(x * rx) and trunc((x + 1) * rx) (the last column when that
 *   reaches the width) of the two rows found alike; 1-bit: with
 *   s = max(0, (x + 0.5) * rx - 0.5) truncated, 1 when at least three of
 *   the bits at s and s + 1 (s again at the last column) of the two rows
 *   are set;
 * - bilinear: with s = max(0, (x + 0.5) * rx - 0.5), i = trunc(s) and
 *   f = s - i, each sample interpolated between columns i and i + 1 (i
 *   again at the last column), then between the two rows found alike, and
 *   truncated; 1-bit: 1 when the interpolated bits exceed 0.5.
 * Averaging and interpolation refuse 4-bit images and 16-bit images with a
 * large palette (RXE_BIT_COUNT_UNSUPPORTED) and 8-bit images without the
 * identity grey palette (RXE_INDEXED_8_BIT_UNSUPPORTED). 16-bit samples
 * are the channels of the pixel's masks (5-5-5 without masks), or the
 * whole pixel for 16-bit grey. The image keeps its depth, palette, masks
 * and format: a runs image stays in the runs format. */
RX_API int32_t RX_IP_resize(RX_HIMAGE image, int32_t width, int32_t height, int32_t method);

/* Crops the image to rect = left, top, right, bottom (inclusive), clamped
 * into the image as for the contrast functions, so that it covers at least
 * one pixel. A null rectangle does nothing. */
RX_API int32_t RX_IP_crop(RX_HIMAGE image, const int32_t* rect);

/* ---- Rotate and flip --------------------------------------------------------
 * Turns are clockwise as the picture is seen. The resolution stays as it
 * was. Runs images stay in the runs format. */

enum { RX_ROTATE_90 = 1, RX_ROTATE_180 = 2, RX_ROTATE_270 = 3 };

/* Turns the image by a quarter-turn code (else RXE_PARAMETERS_OUT_OF_LIMITS).
 * The status callback hears of each source row. */
RX_API int32_t RX_IP_rotate(RX_HIMAGE image, int32_t code);

/* Turns the image by `angle` degrees; a whole multiple of 90 is the
 * matching quarter turn (0 and 360 do nothing). Otherwise, with
 * cx = (w + 1) / 2 and cy = (h + 1) / 2, new pixel (x, y) takes source
 * pixel (round(dx cos + dy sin + cx), round(dy cos - dx sin + cy)), halves
 * rounded up, where dx = x - ox and dy = y - oy; pixels from outside the
 * image are 0. Without `expand` the size stays and (ox, oy) = (cx, cy).
 * With it the size spans the corners (+-w/2, +-h/2) turned (truncated, at
 * least 1) and ox = (new_w - w) / 2 + cx, oy likewise. An angle that is not
 * a finite number gives RXE_PARAMETERS_OUT_OF_LIMITS. */
RX_API int32_t RX_IP_rotate_any(RX_HIMAGE image, double angle, int32_t expand);

enum { RX_FLIP_LEFT_RIGHT = 0, RX_FLIP_TOP_BOTTOM = 1 };

/* Mirrors the image: left-right reverses every row, top-bottom the row
 * order (other directions: RXE_PARAMETERS_OUT_OF_LIMITS). The status
 * callback hears of each row, or each pair of rows swapped; a stop puts
 * the rows done back. */
RX_API int32_t RX_IP_flip(RX_HIMAGE image, int32_t direction);

/* ---- Depth, grey and palette entries --------------------------------------- */

enum { RX_PROMOTE_4 = 1, RX_PROMOTE_8 = 2, RX_PROMOTE_24 = 3 };

/* Promotes the image to 4 bits (from 1), 8 bits (from 1 and 4) or 24 bits
 * (from 1, 4 and 8); other sources give RXE_BIT_COUNT_UNSUPPORTED, other
 * targets RXE_PARAMETERS_OUT_OF_LIMITS. Indices and palette entries are
 * kept, the rest of the palette is 0; a 1-bit black-and-white image (either
 * order) becomes grey levels 0 and 255 under the grey ramp. */
RX_API int32_t RX_IP_promote(RX_HIMAGE image, int32_t target);

/* Converts a 1-, 4-, 8- or 24-bit image to 8-bit grey under the grey ramp:
 * each pixel becomes (red * 77 + green * 151 + blue * 28) >> 8 of its
 * colour. 16-bit images give RXE_BIT_COUNT_UNSUPPORTED. Rows go bottom row
 * first; the status callback hears (user, row from the top, height). */
RX_API int32_t RX_IP_gray(RX_HIMAGE image);

/* Sets *gray to 1 for a grey image, else 0: an 8-bit image whose palette
 * entry i is grey level i for all 256 entries, or a 24-bit image whose
 * every pixel has equal blue, green and red. Other depths are not grey.
 * An image handle of 0 gives RXE_INVALID_HANDLE, a null result
 * RXE_INVALID_POINTER; *gray is 0 on any failure. */
RX_API int32_t RX_IP_is_gray(RX_HIMAGE image, int32_t* gray);

/* Write and read palette entry `index` as three bytes blue, green, red. An
 * index outside the palette (any index of a 16- or 24-bit image) gives
 * RXE_PARAMETERS_OUT_OF_LIMITS; a null colour RXE_INVALID_POINTER. Setting
 * an entry does not rebuild the logical palette. */
RX_API int32_t RX_palette_entry_set(RX_HIMAGE image, const uint8_t* colour, int32_t index);
RX_API int32_t RX_palette_entry_get(RX_HIMAGE image, uint8_t* colour, int32_t index);

/* ---- Colour reduction -------------------------------------------------------
 * Each reduction replaces the image's pixels with indices into a palette
 * chosen from its own colours and rebuilds the logical palette; the handle
 * stays. An invalid handle (0 included) gives RXE_INVALID_FILE_HEADER with
 * the handle's low 32 bits. Rows are converted bottom row first and the
 * status callback hears (user, row from the top, height) after each; a 0
 * answer gives RXE_INTERRUPTED_BY_USER with the same two numbers. On any
 * failure or stop the image is as it was. Palette entries past the colours
 * found are 0. The weighted distance of two colours is
 * (|dr| * 77 + |dg| * 151 + |db| * 28) / 256. */

typedef struct RX_OCTREE_OPTIONS {
  int32_t reserved;      /* not read */
  int32_t colors;        /* kept in 8..256 */
  int32_t palette_count; /* entries at `palette` */
  const uint8_t* palette; /* blue, green, red per entry; null: none */
} RX_OCTREE_OPTIONS;

/* Reduces an 8- or 24-bit image (else RXE_BIT_COUNT_UNSUPPORTED) through
 * an octree to at most `colors` colours: a 4-bit image for 16 colours or
 * fewer, else 8-bit. The tree holds the image's colours (bottom row first),
 * or, with a palette of 8 or more entries, the palette's; such a palette
 * with fewer entries than colours gives RXE_INVALID_IMAGE_CONTROL_OPTION_ID
 * and one of more than 256 RXE_PARAMETERS_OUT_OF_LIMITS. Mapping passes a
 * quarter of each pixel's error (per channel, truncated) to the pixel on
 * its right and the one below. Null options give RXE_INVALID_POINTER. */
RX_API int32_t RX_IP_octree_reduce(RX_HIMAGE image, const RX_OCTREE_OPTIONS* options);

typedef struct RX_MEDIAN_CUT_OPTIONS {
  int32_t box_mapping; /* non-zero: each colour takes its box's entry; 0: the nearest entry */
  int32_t colors;      /* kept in 16..256 */
} RX_MEDIAN_CUT_OPTIONS;

/* Reduces a 24-bit image (else RXE_BIT_COUNT_UNSUPPORTED) by median cut
 * over colours of five bits per channel to an 8-bit image. Null options
 * mean 256 colours with box mapping. */
RX_API int32_t RX_IP_median_cut_reduce(RX_HIMAGE image, const RX_MEDIAN_CUT_OPTIONS* options);

typedef struct RX_POPULARITY_OPTIONS {
  int32_t reserved; /* not read */
  int32_t colors;   /* 16..256; anything else, or null options, means 256 */
} RX_POPULARITY_OPTIONS;

/* Reduces a 24-bit image (else RXE_BIT_COUNT_UNSUPPORTED) to an 8-bit
 * image whose palette is its most frequent colours of five bits per
 * channel (equal counts: the lower colour key first); other colours take
 * the nearest entry. */
RX_API int32_t RX_IP_popularity_reduce(RX_HIMAGE image, const RX_POPULARITY_OPTIONS* options);

/* ---- Dithering ---------------------------------------------------------------
 * Dithering turns a 4-, 8- or 24-bit image into a 1-bit runs image (black
 * 0, white 1) or, from 8 and 24 bits, a 4-bit image with a 16-colour
 * palette: the caller's (16 entries), or when null black, the dark colours
 * at 128 (blue, green, cyan, red, magenta, yellow, grey), silver 192, and
 * the bright ones at 255 ending in white. Other depths and targets give
 * RXE_BIT_COUNT_UNSUPPORTED with the depth and the target. Handles, rows,
 * status callback and failures as for the colour reductions. Grey values
 * are (red * 77 + green * 151 + blue * 28) >> 8. */

typedef struct RX_DIFFUSE_OPTIONS {
  int32_t bits;              /* 1 or 4 */
  int32_t threshold;         /* 1-bit: white from this value up */
  const RX_RGBQUAD* palette; /* 4-bit: 16 entries, or null */
} RX_DIFFUSE_OPTIONS;

/* Error diffusion, left to right on every row. 1-bit: the grey value plus
 * its error is white at or above the threshold (error value - 255), else
 * black (error value); 7/16 of the error goes right, 3/16 below-left, 5/16
 * below and 1/16 below-right. 4-bit: each channel plus its error (limited
 * to 0..255 for the look-up only) picks the nearest palette colour; 7/16
 * right, 5/16 below, 1/16 below-right. Shares are truncated toward zero.
 * Null options give RXE_INVALID_POINTER. */
RX_API int32_t RX_IP_diffuse(RX_HIMAGE image, const RX_DIFFUSE_OPTIONS* options);

typedef struct RX_BAYER_OPTIONS {
  int32_t bits;              /* 1 or 4 */
  const RX_RGBQUAD* palette; /* 4-bit: 16 entries, or null */
} RX_BAYER_OPTIONS;

/* Ordered dithering with a 16 x 16 threshold matrix (1..256), its row
 * advancing with each row converted (bottom row first) and its column with
 * each pixel. 1-bit: black where the threshold exceeds grey * 256 / 255.
 * 4-bit: each channel takes the palette level at or above it when its
 * place between that level and the one below (0..256) exceeds the
 * threshold, else the lower. Null options give RXE_INVALID_POINTER. */
RX_API int32_t RX_IP_bayer(RX_HIMAGE image, const RX_BAYER_OPTIONS* options);

/* Halftone to 1 bit: black where the threshold of a 4 x 4 cell exceeds
 * grey * 32 / 255; two cells alternate like a chessboard from the top-left
 * corner. The options word is not read (may be null). */
RX_API int32_t RX_IP_halftone(RX_HIMAGE image, const int32_t* options);


/* ---- Convolution, sharpening, smoothing and edge maps ---------------------
 * These work on a rectangle (null: the whole image, clamped as above) of an
 * 8-bit or 24-bit image. Every output pixel is computed from the pixels as
 * they were before the call, and the rectangle changes only when the whole
 * pass is done: an interruption by the status callback (rows reported
 * within the rectangle) or any other failure leaves the image as it was. */

/* The largest kernel: wider or higher kernels are cut to this size. */
#define RX_KERNEL_MAX 16

/* How a weighted value v, limited to -255..255, becomes an output byte. */
enum {
  RX_KERNEL_RESULT_POSITIVE = 0, /* v from 1 up (at most 255), else 0 */
  RX_KERNEL_RESULT_ABSOLUTE = 1, /* abs(v), at most 255 */
  RX_KERNEL_RESULT_WRAPPED = 2,  /* v limited to -127..128, stored as a byte */
  RX_KERNEL_RESULT_OFFSET = 3    /* v limited to -127..128, plus 127 */
};

/* A kernel: element (row r, column c) is elements[r * RX_KERNEL_MAX + c];
 * elements outside width x height are 0. The element at (-first_column,
 * -first_row) lies on the output pixel; last_column and last_row are the
 * offsets of the last column and row from it. The weighted sum of a pixel
 * is multiplied by the normaliser and truncated toward zero. */
typedef struct RX_KERNEL {
  int32_t width, height;           /* 1..RX_KERNEL_MAX */
  int32_t first_column, first_row; /* <= 0 */
  int32_t last_column, last_row;   /* >= 0 */
  double normalizer;
  int32_t result_mode; /* RX_KERNEL_RESULT_... */
  int32_t elements[RX_KERNEL_MAX * RX_KERNEL_MAX];
} RX_KERNEL;

/* Convolves the rectangle with a kernel of width x height elements given
 * row by row (cut to 16 x 16, with the origin at (width / 2, height / 2) of
 * the sizes given). Sum = the elements times the pixels under them; value
 * = trunc(sum x normaliser) limited to -255..255. Without the add flag the
 * output is the result mode's byte for the value; with it, the pixel under
 * the origin plus the value, limited to 0..255. Kernel rows above or below
 * the picture are left out of the sum; kernel columns left or right of it
 * take the pixel mirrored about the edge column (column -1 is column 1).
 * 24-bit images: channel RX_CHANNEL_RED, _GREEN or _BLUE does that channel
 * alone, 7 (all three) and RX_CHANNEL_MEAN all three; other channel codes
 * give RXE_PARAMETERS_OUT_OF_LIMITS with the code (8-bit images ignore the
 * channel). Other depths give RXE_BIT_COUNT_UNSUPPORTED with the depth;
 * sizes below 1, a result mode outside 0..3 and a normaliser that is not a
 * finite number give RXE_PARAMETERS_OUT_OF_LIMITS; null elements
 * RXE_INVALID_POINTER. */
RX_API int32_t RX_IP_convolve(RX_HIMAGE image, const int32_t* rect, const int32_t* elements,
                              int32_t width, int32_t height, double normalizer, int32_t channel,
                              int32_t result_mode, int32_t add);

/* Fills the kernel with the fixed 3 x 3, 5 x 5 or 7 x 7 kernel (origin at
 * the centre, normaliser 1, result mode 0); other sizes give
 * RXE_KERNEL_SIZE_INVALID with the size. */
RX_API int32_t RX_IP_kernel_fixed(RX_KERNEL* kernel, int32_t size);

/* The two-element kernel of a direction, result mode 3, with the
 * normaliser: 1 the pixel minus the one above it; 2 its left neighbour
 * minus the one above; 3 the left neighbour minus the pixel; 4 the
 * upper-left neighbour minus the pixel; 5 to 8 the negatives of 1 to 4.
 * Directions outside 1..8 and normalisers that are not finite numbers
 * give RXE_PARAMETERS_OUT_OF_LIMITS. */
RX_API int32_t RX_IP_kernel_direction(RX_KERNEL* kernel, int32_t direction, double normalizer);

/* A line of ones from the origin pixel towards a direction (1 up, 2
 * up-right, 3 right, 4 down-right, 5 down, 6 down-left, 7 left, 8
 * up-left) over
 * `length` pixels, at most 16; diagonal lines have trunc(length x
 * 0.7071067811865) pixels, at least 1. The normaliser is 1 / the number of
 * ones, so the pixel takes the mean along the line; result mode 0. A
 * direction outside 1..8 or a length below 1 gives
 * RXE_PARAMETERS_OUT_OF_LIMITS with the value. */
RX_API int32_t RX_IP_kernel_motion(RX_KERNEL* kernel, int32_t direction, int32_t length);

/* Adds the detail of the fixed kernel to every pixel: strength 1..4 the
 * 3 x 3 kernel times 1/8, 1/4, 1/2, 3/4; 5..7 the 5 x 5 kernel times 1/16,
 * 1/8, 1/4 (result mode 0). 24-bit images: every channel; 16-bit images:
 * every channel of the pixel, widened to 8 bits and back. 1- and 4-bit
 * images give RXE_BIT_COUNT_UNSUPPORTED, other depths but 8, 16 and 24
 * RXE_INVALID_BIT_COUNT, other strengths RXE_PARAMETERS_OUT_OF_LIMITS. */
RX_API int32_t RX_IP_sharpen(RX_HIMAGE image, const int32_t* rect, int32_t strength);

/* Replaces every pixel by the mean of the box around it (truncated):
 * strength 1, 2, 3, 4 is a box of 3, 5, 7, 9 pixels square. 1-, 4- and
 * 16-bit images give RXE_BIT_COUNT_UNSUPPORTED, other depths but 8 and 24
 * RXE_INVALID_BIT_COUNT, other strengths RXE_PARAMETERS_OUT_OF_LIMITS. */
RX_API int32_t RX_IP_smooth(RX_HIMAGE image, const int32_t* rect, int32_t strength);

/* Edge map operators (RX_IP_edge_map modes). With a, b, c the rows above,
 * at and below the pixel and x its column, the first three are worked out
 * on the rectangle without the picture's outermost rows and columns: */
enum {
  /* gx = (a[x+1] + b[x+1] + c[x+1] - a[x-1] - b[x-1] - c[x-1]) / 3, gy
   * likewise from c minus a, both truncated; trunc(sqrt(gx^2 + gy^2)),
   * at most 255 */
  RX_EDGE_GRADIENT = 1,
  /* the 1 2 1 weighted gradient: trunc(sqrt(gx^2 + gy^2) / 4), at most
   * 255 */
  RX_EDGE_SOBEL = 2,
  /* abs(8 b[x] - its eight neighbours) / 8 */
  RX_EDGE_LAPLACE = 3,
  /* convolutions with result mode 0: the fixed 5 x 5 kernel times 1/16,
   * then 3 x 3 kernels 1 1 1 / 0 0 0 / -1 -1 -1, 1 0 -1 / 1 0 -1 / 1 0 -1,
   * 0 1 1 / -1 0 1 / -1 -1 0 and 0 -1 -1 / 1 0 -1 / 1 1 0 */
  RX_EDGE_FIXED_5X5 = 4,
  RX_EDGE_HORIZONTAL = 5,
  RX_EDGE_VERTICAL = 6,
  RX_EDGE_DIAGONAL_UP = 7,
  RX_EDGE_DIAGONAL_DOWN = 8
};

/* Replaces the rectangle by its edge map with the operator `mode` (24-bit
 * images channel by channel). 1-, 4- and 16-bit images give
 * RXE_BIT_COUNT_UNSUPPORTED, other depths but 8 and 24
 * RXE_INVALID_BIT_COUNT, other modes RXE_PARAMETERS_OUT_OF_LIMITS. */
RX_API int32_t RX_IP_edge_map(RX_HIMAGE image, const int32_t* rect, int32_t mode);
/* ---- Special effects and despeckle --------------------------------------------
 * Each changes the pixels of a rectangle (as for the contrast functions;
 * null: the whole image) in place and reports rows to the status callback.
 * Blur, diffuse, emboss, motion blur, posterize, stitch and texture work on
 * 8- and 24-bit images: 1-, 4- and 16-bit images give
 * RXE_BIT_COUNT_UNSUPPORTED (bit count) and other depths are left alone.
 * Kernel effects read columns beyond the picture's sides mirrored into it
 * (-1 reads column 1) and leave out kernel rows above or below it; a
 * weighted sum is multiplied by the normaliser and cut toward zero. */

/* Smooths with a box of ones of 3 x 3 (strength 1) or 5 x 5 (strength 2),
 * each pixel the truncated mean. Other strengths do nothing and report
 * nothing, whatever the depth. */
RX_API int32_t RX_IP_effect_blur(RX_HIMAGE image, const int32_t* rect, int32_t strength);

/* Shuffles the pixels of tile x tile squares (1..16, else
 * RXE_PARAMETERS_OUT_OF_LIMITS with the size) stepping by
 * max(tile - tile / 3, 1) across and down from the rectangle's top-left
 * corner, each whole inside it. Each square pairs its pixels along a
 * shuffled list of its positions and swaps each pair, drawing from the
 * engine's pseudo-random sequence. */
RX_API int32_t RX_IP_effect_diffuse(RX_HIMAGE image, const int32_t* rect, int32_t tile);

/* Convolves with the two-element kernel of a direction 1..8: 1 the pixel
 * less the one above, 2 left less above, 3 left less pixel, 4 above-left
 * less pixel, 5 above less pixel, 6 above less left, 7 pixel less left,
 * 8 pixel less above-left; times the normaliser, limited to -127..128,
 * plus 127. Other directions give RXE_PARAMETERS_OUT_OF_LIMITS; a
 * normaliser that is not finite gives RXE_INVALID_KERNEL_NORMALIZER. */
RX_API int32_t RX_IP_effect_emboss(RX_HIMAGE image, const int32_t* rect, double normaliser,
                                   int32_t direction);

/* Each pixel becomes the truncated mean of a line of `length` pixels (at
 * most 16; diagonals trunc(length x 0.7071067811865)) starting on it and
 * running 1 up, 2 up-right, 3 right, 4 down-right, 5 down, 6 down-left,
 * 7 left or 8 up-left. Other directions give RXE_PARAMETERS_OUT_OF_LIMITS,
 * a length below 1 RXE_INVALID_KERNEL_MOTION_EXTENT. */
RX_API int32_t RX_IP_effect_motion(RX_HIMAGE image, const int32_t* rect, int32_t length,
                                   int32_t direction);

/* Reduces values to L levels (below 2: 2): value i becomes
 * trunc(trunc(i / (255 / L)) x 255 / (L - 1)), at most 255. 24-bit images
 * change only the channels in `channels` (RX_CHANNEL_RED, _GREEN, _BLUE). */
RX_API int32_t RX_IP_effect_posterize(RX_HIMAGE image, const int32_t* rect, int32_t levels,
                                      int32_t channels);

/* Convolves with the fixed 5 x 5 kernel (a ring of -1 round 0 and 2 and a
 * centre of 8) at 1/16, keeping positive values on 8-bit images and, at
 * 1/16 x normaliser, magnitudes on 24-bit ones; then embosses with the
 * normaliser and direction. Direction and normaliser are checked first. */
RX_API int32_t RX_IP_effect_stitch(RX_HIMAGE image, const int32_t* rect, int32_t direction,
                                   double normaliser);

/* Reflects each whole block x block square laid edge to edge from the
 * rectangle's top-left corner: turn 1 about its bottom-left to top-right
 * diagonal, 2 left to right, 3 about its top-left to bottom-right
 * diagonal; turn 4 draws 0..4 for each square from the engine's
 * pseudo-random sequence; other turns change nothing. Works on 1-, 4-, 8-
 * and 24-bit images (runs images stay runs); 16-bit images give
 * RXE_BIT_COUNT_UNSUPPORTED and a block below 1 gives
 * RXE_PARAMETERS_OUT_OF_LIMITS. */
RX_API int32_t RX_IP_effect_twist(RX_HIMAGE image, const int32_t* rect, int32_t turn,
                                  int32_t block);

/* Lays the 8- or 24-bit image `texture` (else RXE_BIT_COUNT_UNSUPPORTED
 * with its bit count and lVal 1; an invalid handle gives
 * RXE_INVALID_HANDLE) as tiles from the rectangle's top-left corner and
 * adds the tile's grey value less 128 to every channel under it, limited
 * to 0..255: mid-grey leaves the image as it is. The texture may be the
 * image itself; its unchanged pixels are used. */
RX_API int32_t RX_IP_effect_texture(RX_HIMAGE image, const int32_t* rect, RX_HIMAGE texture);

/* Limits every pixel (24-bit: every channel) of the rectangle to the range
 * of its neighbours inside the picture, read from the unchanged image: on
 * 1-bit pages (plain or runs) a pixel unlike all eight neighbours takes
 * their value; on 8-bit grey and 24-bit images an impulse lighter or
 * darker than everything round it is clipped to its neighbours. Strokes
 * and edges, even one pixel wide, keep every pixel. 4- and 16-bit images
 * give RXE_BIT_COUNT_UNSUPPORTED, 8-bit images with a colour palette
 * RXE_INDEXED_8_BIT_UNSUPPORTED. */
RX_API int32_t RX_IP_despeckle(RX_HIMAGE image, const int32_t* rect);
/* ---- Scrambling with a password, and deskew --------------------------- */

enum { RX_ENCRYPT_METHOD_TRANSPOSE = 0 };

/* Scrambles the pixels of the rectangle (left, top, right, bottom, inclusive,
 * clamped to the image; null: the whole image) of a 1-, 4-, 8- or 24-bit
 * image under `password`, so that RX_IP_decrypt with the same password,
 * method and rectangle gives back the exact image. Lines are the
 * rectangle's part of one column or row, one byte per pixel (three for
 * 24-bit). With c0..c(L-1) the password bytes as signed values and the
 * stride k = (c0 + ... + c(L-1)) / L: a line pass writes each line into k
 * columns row by row, reads it out column by column and rotates it so that
 * byte j takes byte (j - c(i mod L)) mod n, i the line's image column or
 * row; the mixing pass xors byte j of each row line with c(j mod L).
 * Scrambling is a column pass, a row pass, the mixing pass, a column pass
 * and a row pass; unscrambling undoes them in the reverse order.
 * Other depths: RXE_BIT_COUNT_UNSUPPORTED; an empty password, or one whose
 * stride is below 1: RXE_INVALID_PASSWORD_LENGTH; a method other than 0:
 * RXE_INVALID_ENCRYPTION_MODE. The status callback hears of each line
 * (lines done, 2 x columns + 3 x rows); a stop leaves the image partly
 * scrambled. */
RX_API int32_t RX_IP_encrypt(RX_HIMAGE image, const int32_t* rect, int32_t method,
                             const char* password);
RX_API int32_t RX_IP_decrypt(RX_HIMAGE image, const int32_t* rect, int32_t method,
                             const char* password);

/* Measures the skew of a 1-bit page in degrees from the bottom-right
 * corners of its dark blobs (pixel value 0 under a palette whose entry 0
 * has blue 0, else value 1): a positive angle is undone by
 * RX_IP_rotate_any with that angle. A page without enough blobs measures
 * -91. Other depths: RXE_INVALID_BIT_COUNT. */
RX_API int32_t RX_IP_skew_measure(RX_HIMAGE image, double* angle);

/* Measures the skew and, when its size is at least `least_angle` and below
 * 89 degrees, turns the page back with RX_IP_rotate_any(angle, expand);
 * the corners brought in take the colour of the dark blobs. */
RX_API int32_t RX_IP_deskew(RX_HIMAGE image, double least_angle, int32_t expand);

#endif
