/* Displaying images: drawing an image into a device context of the drawing
 * layer, and the display attributes every image carries (where on the
 * device it goes, zoom and fit, rotation, anti-aliasing, dithering, colour
 * tables, transparency, background).
 *
 * Every function follows the engine convention: it clears the error stack,
 * checks the image handle (an invalid handle makes it return 0 at once and
 * do nothing), and returns the number of error entries, 0 on success.
 * Device contexts, windows, bitmaps and palettes are the drawing and window
 * layers' handles passed as pointer-sized values; a non-zero handle that
 * the layer does not know is refused with RXE_INVALID_HANDLE (windows:
 * RXE_INVALID_WINDOW_HANDLE).
 *
 * Device rectangles are left, top, right, bottom in device pixels, right
 * and bottom exclusive. Image rectangles (rastrix.h) are inclusive.
 * Colours are RX_RGBQUAD values (blue, green, red; the fourth byte is not
 * read). None of these functions changes an image's pixels. */
#ifndef RASTRIX_RX_DISPLAY_H
#define RASTRIX_RX_DISPLAY_H

#include "rastrix/rx_types.h"

/* ---- Drawing ------------------------------------------------------------ */

/* Draws the image's image rectangle into its device rectangle on the DC,
 * clipped to the DC's clip box (or to the stored clip rectangle, see
 * RX_display_clip_rect_set), one band of at most 65535 bytes at a time.
 * Unless transparency is on, the parts of the clip box that the device
 * rectangle leaves free get the background when the background flag is
 * on. On a DC that is not a display (a printer), the status callback
 * (RX_status_callback_set) hears (user, source row within the drawn span,
 * span height) whenever the source row changes; a 0 answer stops the draw
 * with RXE_INTERRUPTED_BY_USER. A 16-bit image needs the extension with
 * number 48: without it the draw reports RXE_EXTENSION_NOT_PRESENT. */
RX_API int32_t RX_display_image(RX_HIMAGE image, uintptr_t dc);

/* ---- Where the image goes ------------------------------------------------ */

/* Requires left < right and top < bottom; otherwise RXE_RECT_INVALID (the
 * width and height as values) and the old rectangle stays. */
RX_API int32_t RX_display_device_rect_set(RX_HIMAGE image, const int32_t* rect);
/* The device rectangle, each value truncated toward zero. */
RX_API int32_t RX_display_device_rect_get(RX_HIMAGE image, int32_t* rect);

/* A clip rectangle (device pixels, right and bottom exclusive) that
 * replaces the DC's clip box in the draws that follow, though never
 * reaching past the DC's surface; null removes it. */
RX_API int32_t RX_display_clip_rect_set(RX_HIMAGE image, const int32_t* rect);

/* Aspect modes: how zoom and fit place the image in a target rectangle. */
enum {
  RX_ASPECT_STRETCH = 0, /* the rectangle as it is */
  RX_ASPECT_INSIDE = 1,  /* the whole image inside, keeping its proportions */
  RX_ASPECT_WIDTH = 2,   /* the rectangle's width, centred vertically */
  RX_ASPECT_HEIGHT = 3,  /* the rectangle's height, centred horizontally */
  RX_ASPECT_FILL = 4     /* the whole rectangle covered, keeping proportions */
};
/* Any value is stored; values outside 0..4 place as RX_ASPECT_STRETCH. */
RX_API int32_t RX_display_aspect_set(RX_HIMAGE image, int32_t mode);
RX_API int32_t RX_display_aspect_get(RX_HIMAGE image, int32_t* mode);
/* When set, the image's and the screen's horizontal and vertical
 * resolutions are taken into account when proportions are kept. */
RX_API int32_t RX_display_pixel_aspect_set(RX_HIMAGE image, int32_t on);

/* Zooms the image in a window: the image is placed in `rect` (window
 * client coordinates; null: the client area with any scroll bars) by the
 * aspect mode, rounded to whole pixels, scaled to `percent` (at least 1,
 * and the zoomed size at most RX_DISPLAY_MAX_EXTENT a side; otherwise
 * RXE_PARAMETERS_OUT_OF_LIMITS), and positioned: an image smaller than
 * the client area sits where the aspect mode put it (centred in the
 * client area when the centred flag is on); a larger one can be scrolled,
 * keeping the point at the centre of the view where it was. A window with
 * scroll bars in its style gets ranges and positions for them. The window
 * is invalidated and updated. */
#define RX_DISPLAY_MAX_EXTENT 0x3FFFFFFF
RX_API int32_t RX_display_zoom_set(RX_HIMAGE image, uintptr_t window, int32_t percent,
                                   const int32_t* rect);
/* Fit methods: 0 keeps proportions with the stored aspect mode, 1 fits the
 * width, 2 the height, 3 shows the image at its actual size. Each zooms to
 * 100 percent; the target rectangle and 100 are written to the outputs
 * (each optional). Methods outside 0..3 do nothing. */
RX_API int32_t RX_display_fit_set(RX_HIMAGE image, uintptr_t window, int32_t* rect_out,
                                  int32_t* zoom_out, int32_t method);
/* Stores the centred flag (any non-zero value as 1); with a window, zooms
 * again at the stored zoom so the image moves at once. */
RX_API int32_t RX_display_centered_set(RX_HIMAGE image, uintptr_t window, int32_t flag);
RX_API int32_t RX_display_centered_get(RX_HIMAGE image, int32_t* flag);
/* The zoom state: the target rectangle and the placed rectangle at 100
 * percent (eight values), and the horizontal and vertical centre of the
 * view as a fraction of the zoomed size times 65536, the zoom percent and
 * the scroll bars shown (bit 0 horizontal, bit 1 vertical). Outputs
 * optional. */
RX_API int32_t RX_display_zoom_state_get(RX_HIMAGE image, int32_t* zoom_rect8, int32_t* scroll4);
/* Scrolls a zoomed image in its window by a scroll-bar code (SB_LINEUP ..
 * SB_BOTTOM of the window layer; bar 0 horizontal, 1 vertical; position
 * for the thumb codes): moves the device rectangle, the window's pixels
 * and the scroll bar, and redraws the uncovered strip. */
RX_API int32_t RX_display_scroll(RX_HIMAGE image, uintptr_t window, int32_t bar, int32_t code,
                                 int32_t position);

/* Device point to image pixel (through the device and image rectangles
 * and the display rotation) and back; the image point may lie outside
 * the image. */
RX_API int32_t RX_display_device_to_image(RX_HIMAGE image, int32_t x, int32_t y, int32_t* image_x,
                                          int32_t* image_y);
RX_API int32_t RX_display_image_to_device(RX_HIMAGE image, int32_t image_x, int32_t image_y,
                                          int32_t* x, int32_t* y);

/* Display rotation 0..3: 0, 90, 180 and 270 degrees clockwise. A value
 * outside 0..3 is refused with RXE_ROTATE_VALUE_INVALID. Only 1-bit images
 * are drawn rotated: for others the value is stored and
 * RXE_NOT_IMPLEMENTED reported. */
RX_API int32_t RX_display_rotation_set(RX_HIMAGE image, int32_t rotation);
RX_API int32_t RX_display_rotation_get(RX_HIMAGE image, int32_t* rotation);

/* ---- How the pixels are shown ------------------------------------------- */

/* Anti-aliasing of 1-bit images: mode 1 keeps black detail when reducing
 * (a device pixel turns black when enough source pixels of its cell are
 * black; the quality sets how many), mode 2 shows reduced pages in 16
 * greys on colour displays; the variant flag selects the ink-keeping
 * variants of both. Set together; the logical palette is rebuilt. */
RX_API int32_t RX_display_alias_set(RX_HIMAGE image, int32_t mode, int32_t quality,
                                    int32_t variant);
RX_API int32_t RX_display_alias_get(RX_HIMAGE image, int32_t* mode, int32_t* quality,
                                    int32_t* variant);

/* Dither modes on devices of 256 colours or fewer: 0 ordered dither of
 * true-colour images, palette images through their own palette; 1 plain
 * truncation to the 3-3-2 colour cube; 2 palette images too through the
 * 3-3-2 cube with ordered dither. A change rebuilds the logical palette. */
RX_API int32_t RX_display_dither_mode_set(RX_HIMAGE image, int32_t mode);
RX_API int32_t RX_display_dither_mode_get(RX_HIMAGE image, int32_t* mode);

/* The ternary raster operation every band is drawn with (initially the
 * source copy, 0x00CC0020). */
RX_API int32_t RX_display_ROP_set(RX_HIMAGE image, uint32_t rop);
RX_API int32_t RX_display_ROP_get(RX_HIMAGE image, uint32_t* rop);

/* Pixels of this colour let the device show through while `on` is set. */
RX_API int32_t RX_display_transparent_set(RX_HIMAGE image, const RX_RGBQUAD* colour, int32_t on);
RX_API int32_t RX_display_transparent_get(RX_HIMAGE image, RX_RGBQUAD* colour, int32_t* on);

/* The background painted around the device rectangle: a pattern bitmap
 * of at most 8 x 8 one-bit pixels (0: none; RXE_DDB_DIMENSIONS when its
 * size cannot be read, RXE_INVALID_DDB when it is larger or deeper, and
 * then nothing is stored), its foreground and background colours (null
 * keeps the stored one) and the on flag. Without a pattern the
 * background colour fills. */
RX_API int32_t RX_display_background_set(RX_HIMAGE image, uintptr_t pattern,
                                         const RX_RGBQUAD* foreground,
                                         const RX_RGBQUAD* background, int32_t on);
RX_API int32_t RX_display_background_get(RX_HIMAGE image, uintptr_t* pattern,
                                         RX_RGBQUAD* foreground, RX_RGBQUAD* background,
                                         int32_t* on);

/* Display lookup tables: for every v in 0..255, ((v x contrast +
 * brightness) / 255) to the power gamma, times 255, limited to 0..255 and
 * truncated, in all three tables. Reset gives identity tables. Both
 * rebuild the logical palette. */
RX_API int32_t RX_display_LUT_set(RX_HIMAGE image, double contrast, double brightness,
                                  double gamma);
RX_API int32_t RX_display_LUT_reset(RX_HIMAGE image);
/* The addresses of the red, green and blue tables (256 bytes each, owned
 * by the image); outputs optional. */
RX_API int32_t RX_display_LUT_get(RX_HIMAGE image, const uint8_t** red, const uint8_t** green,
                                  const uint8_t** blue);

/* Stores the realisation mode (nonzero: the image's palette is realised in
 * the background by later draws), realises the image's logical palette in
 * the window's DC (in the background when mode is 2), invalidates the
 * window when any system colour changed, and writes the number of
 * entries that changed to *count (optional). */
RX_API int32_t RX_display_palette_realize(RX_HIMAGE image, uintptr_t window, int32_t mode,
                                          int32_t* count);

/* ---- Transition effects --------------------------------------------------
 * Reveals an image in a window in steps instead of at once. The area is
 * the window's client area with the scroll bars its style shows, cut into
 * square cells of `block_size` pixels (values below 2 count as 2):
 * columns = width / block + 1, rows = height / block + 1.
 *
 *   0  vertical strips from the left edge: (width - 1) / block steps (at
 *      least one; the last strip runs on to the right edge)
 *   1  vertical strips from the right edge: (width - 1) / block + 1 steps
 *   2  one random cell not shown yet per step (columns x rows steps)
 *   3  anti-diagonals of cells from the top-left corner to the bottom-right
 *   4  a clock hand sweeping from straight up, clockwise, one degree a step
 *   5  a sector from straight up that widens from 5 to 360 degrees, one
 *      degree a round, with random cells inside it revealed
 *   6  two opposite hands, 180 steps of one degree
 *   7  the picture slides in from the left: step k shows its right-most
 *      k x block columns at the window's left edge
 *   8  the picture slides in from the right edge, its left edge moving
 *      left by a block each step
 *   9  falling blocks: a random column gains its next cell from the top
 *   10 drips: a random column grows down by one cell (two while the run
 *      is late) showing the bottom of the picture's strip
 *
 * Effects 0 and 1 invalidate strips (without erasing) and update the
 * window, so its own painting draws them. Effects 2 to 10 draw the image
 * with RX_display_image (its current display attributes) into an
 * off-screen bitmap of the area and copy parts of it to the window. The
 * random effects (2, 5, 9, 10) seed the engine's generator from the time
 * of day.
 *
 * Pacing: the tick counter is read before the first step; after step i
 * of n the call busy-waits, reading the counter, until
 * (now - start) x n >= i x time_ms, so step i ends no earlier than
 * time_ms x i / n milliseconds after the start (effect 2 waits after every
 * max(1, cells / 1000) cells, effect 10 after every cells / 400 cells or
 * every 2, both also after the last). A time of 0 or less never waits. A
 * counter that goes back ends the wait. The call runs to its end on the
 * calling thread and pumps no messages.
 *
 * Returns -1 without drawing when `flag` or `image` is 0 (`flag` is not
 * used otherwise); 0 and nothing drawn for an effect outside 0..10, and for
 * an image that is not valid with effects 4 and 6 to 10 (effects 0 to 3
 * and 5 still run, 2, 3 and 5 copying an empty picture). Otherwise the
 * error count: RXE_INVALID_WINDOW_HANDLE for a window that does not exist,
 * or that was destroyed during the run (which then ends),
 * RXE_GLOBAL_MEMORY_DEPLETED (size, memory tag) when the cells' records
 * cannot be had, RXE_DDB_CREATE (width, height) when the off-screen bitmap
 * cannot be made, and what the image's draw reports (then nothing is
 * shown). */
RX_API int32_t RX_display_effect(int32_t flag, RX_HIMAGE image, uintptr_t window, int32_t effect,
                                 int32_t block_size, int32_t time_ms);

#endif
