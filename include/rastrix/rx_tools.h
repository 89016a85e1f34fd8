/* Tool windows and mouse tracking over image windows: the magnifier (a
 * persistent magnify window with a zoom scroll bar, or a 150 x 150 pop-up
 * that follows the mouse), the pan window (the whole image with the image
 * window's view inverted on it; dragging in it moves the view), hand
 * panning in an image window, and rubber-band selection.
 *
 * Tracking is driven by the window's messages: a start call captures the
 * mouse, puts its own procedure in front of the window's (keeping the old
 * one, to which every message is passed on) and returns at once; mouse
 * moves carry the tracking on and the left button's release ends it,
 * giving the procedure, the capture and the cursor back. Starting a
 * tracking of a kind that is already running in the window ends the
 * running one first, without its callback.
 *
 * The engine registers the window classes below at start and destroys
 * the tool windows it made at stop.
 *
 * Every function clears the error stack and returns the number of error
 * entries, 0 on success: RXE_INVALID_HANDLE for an image that is not
 * valid, RXE_INVALID_WINDOW_HANDLE for a window the layer does not know
 * (or, where a tool window is asked for, one that is not of its class),
 * RXE_INVALID_POINTER for a missing output, RXE_PARAMETERS_OUT_OF_LIMITS
 * for a client size outside 1..65535, RXE_CREATE_WINDOW_FAILED when a
 * window cannot be made (nothing is kept then). */
#ifndef RASTRIX_RX_TOOLS_H
#define RASTRIX_RX_TOOLS_H

#include "rastrix/rx_types.h"

/* The tool windows' class names. */
#define RX_MAGNIFY_WINDOW_CLASS "RASTMagnifyWindowClass"
#define RX_MAGNIFY_POPUP_CLASS "RASTMagnifyPopupWindowClass"
#define RX_PAN_WINDOW_CLASS "RASTPanWindowClass"

/* ---- Magnifier ---------------------------------------------------------- */

/* A magnify window for the image shown in the `owner` window (the image
 * window whose presses RX_magnify_start follows): a captioned, sizeable
 * top-level window whose client area is client_width x client_height
 * beside its vertical scroll bar, at (x, y). The scroll bar runs 0..15
 * and the magnification is its position + 1, 8 at first. Until the first
 * press the window shows the image around the top-left corner of its
 * device rectangle. */
RX_API int32_t RX_magnify_window_create(RX_HIMAGE image, uintptr_t owner, const char* caption,
                                        int32_t x, int32_t y, int32_t client_width,
                                        int32_t client_height, uintptr_t* window);
/* The magnify window shows another image, redrawn at once. */
RX_API int32_t RX_magnify_image_set(RX_HIMAGE image, uintptr_t window);
/* The mouse went down at (x, y), client coordinates of the image window.
 * `window` a magnify window: it shows the image around the point at its
 * magnification and the examined area is inverted in its owner (the
 * image window), which shows the magnifier cursor while the button is
 * held. Any other window is the image window itself: a 150 x 150 pop-up
 * centred on the point shows the image 8 times enlarged, moves with the
 * mouse and goes when the button is released. Where the enlarged image
 * stops short of the pop-up's left or top edge it keeps the point in the
 * middle when the image's display is centred (RX_display_centered_set)
 * and moves against that edge otherwise. */
RX_API int32_t RX_magnify_start(RX_HIMAGE image, uintptr_t window, int32_t x, int32_t y);

/* ---- Pan window and hand panning ---------------------------------------- */

/* Called whenever a pan moves the image window's view, with the user
 * value, the image window and the image's new device rectangle (left,
 * top, right, bottom). */
typedef void (*RX_PAN_CALLBACK)(uintptr_t user, uintptr_t image_window, const int32_t* device_rect);

/* A pan window showing the whole image, with the part `image_window`
 * shows inverted: a captioned, sizeable top-level window with the given
 * client size at (x, y). Pressing and dragging in it centres the image
 * window's view on the mouse. */
RX_API int32_t RX_pan_window_create(RX_HIMAGE image, uintptr_t image_window, const char* caption,
                                    int32_t x, int32_t y, int32_t client_width,
                                    int32_t client_height, uintptr_t* window);
/* With `full` set: places the whole image in the pan window again and
 * redraws it. When the image's aspect mode keeps proportions (any mode
 * but RX_ASPECT_STRETCH) the image is fitted inside the client area and
 * put at its top-left corner, or centred when the image's display is
 * centred; otherwise it fills the client area. Without `full`: moves the
 * inverted rectangle to where the image window's view lies now. */
RX_API int32_t RX_pan_update(RX_HIMAGE image, uintptr_t pan_window, int32_t full);
/* `window` a pan window: starts a drag in it (the image is the one it
 * shows from now on), each move centring the image window's view on the
 * mouse. Any other window: hand panning there, each move shifting the
 * image's device rectangle by the mouse's movement since the one before
 * (the first move after the start only sets the reference point). Either
 * way the view is kept from leaving a gap where the image is larger than
 * the window and is aligned with the window's left or top edge (centred
 * when the display is centred) on an axis where the whole image fits; a
 * pan window of the image window follows; the callback (may be null)
 * hears the new device rectangle, and the image window is redrawn. The
 * pan cursor shows until the button is released. */
RX_API int32_t RX_pan_start(RX_HIMAGE image, uintptr_t window, RX_PAN_CALLBACK callback,
                            uintptr_t user);

/* ---- Rubber-band selection ---------------------------------------------- */

/* Called when a selection ends, with the user value, the window and the
 * rectangle (left, top, right, bottom) whose corners are the press point
 * and the release point, both held to the client area, left <= right and
 * top <= bottom. A release where the press was gives the empty rectangle
 * (x, y, x, y). */
typedef void (*RX_SELECT_CALLBACK)(uintptr_t user, uintptr_t window, const int32_t* rect);

/* Tracks a rubber band in the window from (x, y), client coordinates: a
 * dotted frame drawn by exclusive-or from the press point to the mouse,
 * removed at the release, when the callback (may be null) is called. */
RX_API int32_t RX_select_start(uintptr_t window, int32_t x, int32_t y, RX_SELECT_CALLBACK callback,
                               uintptr_t user);

#endif
