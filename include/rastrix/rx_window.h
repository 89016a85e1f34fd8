/* Image windows: any window of the window layer can be associated with an
 * image, and the engine then paints, sizes, zooms and scrolls the image in
 * it by itself. Windows of the engine's own class (RX_window_class_name)
 * get this directly; other windows are subclassed for as long as the
 * association lasts. Further images can be linked to an associated
 * window: they are drawn over the main image and move with it when the
 * window scrolls or changes size.
 *
 * In the window: "+" zooms in by 25 percent and "-" out by 25, never below
 * 25 percent; Page Up and Page Down scroll a page up and down, Home and
 * End a page left and right, the arrow keys a line in their direction;
 * the scroll bars scroll. Destroying the window calls its destruction
 * callback and ends the association.
 *
 * Windows are the window layer's handles passed as pointer-sized values.
 * Every function clears the error stack and returns the number of error
 * entries, 0 on success. An invalid image handle given to
 * RX_window_associate makes it return 0 and do nothing, as everywhere in
 * the engine. */
#ifndef RASTRIX_RX_WINDOW_H
#define RASTRIX_RX_WINDOW_H

#include "rastrix/rx_types.h"

/* The name of the engine's plain image window class, registered while the
 * engine runs: byte-aligned, arrow cursor, white background. */
RX_API const char* RX_window_class_name(void);

/* With `on` set: associates the image with the window (a window that is
 * associated already keeps its record: the image changes, the zoom goes
 * back to 100 and resizing on, linked images and the destruction callback
 * stay), sets the image up to fill the window's client area at 100
 * percent by its aspect mode, and invalidates the window. With `on`
 * clear: ends the association (RXE_WINDOW_NOT_ASSOCIATED when there is
 * none) and gives the window its own procedure back. A window the layer
 * does not know gives RXE_INVALID_WINDOW_HANDLE. */
RX_API int32_t RX_window_associate(RX_HIMAGE image, uintptr_t window, int32_t on);

/* Zooms the associated image to `zoom` percent (at least 1, otherwise
 * RXE_PARAMETERS_OUT_OF_LIMITS and nothing changes) within `rect` (client
 * coordinates, left, top, right, bottom), which later zooms and sizes keep;
 * null: the client area, followed as the window changes size. */
RX_API int32_t RX_window_zoom_rect_set(uintptr_t window, int32_t zoom, const int32_t* rect);
/* Fits the associated image into the window by a fit method of
 * RX_display_fit_set (0 keeps proportions, 1 fits the width, 2 the height,
 * 3 actual size; others do nothing) and makes the fit the zoom that later
 * sizes keep: 100 percent, within the client area (method 0, followed as
 * the window changes size) or the rectangle the method chose. Outputs as
 * RX_display_fit_set's, each optional. */
RX_API int32_t RX_window_fit_set(uintptr_t window, int32_t method, int32_t* rect_out,
                                 int32_t* zoom_out);
/* The zoom in percent of the associated image. */
RX_API int32_t RX_window_zoom_get(uintptr_t window, int32_t* zoom);

/* Options of an associated window. */
enum {
  RX_WINDOW_PAINT = 0,  /* value nonzero: the window paints its images (on after association) */
  RX_WINDOW_RESIZE = 1, /* value nonzero: a size change zooms the image again (on) */
  RX_WINDOW_LINK = 2,   /* value: an image to draw over the main one */
  RX_WINDOW_UNLINK = 3  /* value: a linked image to take off */
};
/* Linked images per window. */
#define RX_WINDOW_LINK_MAX 25
/* Sets an option. Linking takes the first free place; a 26th image, or a
 * handle that is not a valid image, is refused with
 * RXE_PARAMETERS_OUT_OF_LIMITS. Unlinking takes every place the image
 * holds; an image that is not linked changes nothing. Other options do
 * nothing. RXE_INVALID_WINDOW_HANDLE for a window the layer does not
 * know, RXE_WINDOW_NOT_ASSOCIATED for one without an association. */
RX_API int32_t RX_window_option_set(uintptr_t window, int32_t option, uintptr_t value);
/* The number of images linked to the window. */
RX_API int32_t RX_window_linked_count(uintptr_t window, int32_t* count);

/* Called when an associated window is destroyed, before the association
 * ends, with the user value, the image and the window. */
typedef void (*RX_WINDOW_DESTROY_CB)(uintptr_t user, RX_HIMAGE image, uintptr_t window);
/* Null removes the callback. */
RX_API int32_t RX_window_destroy_callback_set(uintptr_t window, RX_WINDOW_DESTROY_CB callback,
                                              uintptr_t user);

#endif
