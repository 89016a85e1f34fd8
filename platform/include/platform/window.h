/* Our window layer: window classes registered by name, windows with their
 * procedures, subclassing, properties and extra words, a message queue per
 * thread, invalid areas with painting, scroll bars, capture, focus, keys,
 * timers paced by the kernel layer's tick counter, cursors by shape and
 * dropped files. Windows draw on software surfaces of their display's
 * format (platform/gdi.h); a toolkit adapter shows them on a screen and
 * turns its input into the messages below, but nothing here needs one.
 *
 * Message numbers, styles and codes keep their customary values, so that
 * the numbers other code stores mean what they always meant. Handles are
 * pointer-sized values from the drawing layer's registry: an unknown or
 * destroyed window is refused (0, false or null) and never touched.
 *
 * A window belongs to the thread that made it: sending to it from another
 * thread is refused; posting is allowed from any thread. */
#ifndef RASTRIX_PLATFORM_WINDOW_H
#define RASTRIX_PLATFORM_WINDOW_H

#include <stddef.h>
#include <stdint.h>

#include "platform/gdi.h"

#ifdef __cplusplus
extern "C" {
#endif

typedef struct pw_window_tag* HWND;
typedef struct pw_cursor_tag* HCURSOR;
typedef struct pw_drop_tag* HDROP;
typedef uintptr_t WPARAM;
typedef intptr_t LPARAM;
typedef intptr_t LRESULT;
typedef LRESULT (*pw_window_proc)(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam);
typedef void (*pw_timer_proc)(HWND hwnd, uint32_t message, uintptr_t id, uint32_t tick);

#define PW_MAKELPARAM(lo, hi) ((LPARAM)(int32_t)(((uint32_t)(uint16_t)(lo)) | ((uint32_t)(uint16_t)(hi) << 16)))
#define PW_LOWORD(v) ((uint16_t)((uintptr_t)(v)&0xFFFF))
#define PW_HIWORD(v) ((uint16_t)(((uintptr_t)(v) >> 16) & 0xFFFF))
/* Mouse coordinates are signed 16-bit values. */
#define PW_GET_X_LPARAM(l) ((int32_t)(int16_t)PW_LOWORD(l))
#define PW_GET_Y_LPARAM(l) ((int32_t)(int16_t)PW_HIWORD(l))

/* ---- Messages ---------------------------------------------------------- */
enum {
  WM_NULL = 0x0000,
  WM_CREATE = 0x0001,    /* lparam: const pw_create_struct*; -1 refuses */
  WM_DESTROY = 0x0002,
  WM_MOVE = 0x0003,
  WM_SIZE = 0x0005,      /* lparam: client width | height << 16 */
  WM_SETFOCUS = 0x0007,
  WM_KILLFOCUS = 0x0008,
  WM_SETTEXT = 0x000C,
  WM_PAINT = 0x000F,
  WM_CLOSE = 0x0010,     /* the default destroys the window */
  WM_QUIT = 0x0012,
  WM_ERASEBKGND = 0x0014, /* wparam: HDC; nonzero result: erased */
  WM_SHOWWINDOW = 0x0018,
  WM_SETCURSOR = 0x0020,
  WM_NCDESTROY = 0x0082,
  WM_KEYDOWN = 0x0100,   /* wparam: virtual key */
  WM_KEYUP = 0x0101,
  WM_CHAR = 0x0102,      /* wparam: character code */
  WM_INITDIALOG = 0x0110,
  WM_COMMAND = 0x0111,   /* wparam: item id | notification << 16; lparam: item */
  WM_TIMER = 0x0113,     /* wparam: timer id; lparam: its procedure */
  WM_HSCROLL = 0x0114,   /* wparam: code | position << 16 */
  WM_VSCROLL = 0x0115,
  WM_MOUSEMOVE = 0x0200, /* wparam: PW_MK_ keys; lparam: x | y << 16 */
  WM_LBUTTONDOWN = 0x0201,
  WM_LBUTTONUP = 0x0202,
  WM_LBUTTONDBLCLK = 0x0203,
  WM_RBUTTONDOWN = 0x0204,
  WM_RBUTTONUP = 0x0205,
  WM_MBUTTONDOWN = 0x0207,
  WM_MBUTTONUP = 0x0208,
  WM_CAPTURECHANGED = 0x0215, /* lparam: the window gaining the capture */
  WM_DROPFILES = 0x0233,      /* wparam: HDROP */
  WM_USER = 0x0400
};
enum { PW_MK_LBUTTON = 0x01, PW_MK_RBUTTON = 0x02, PW_MK_SHIFT = 0x04, PW_MK_CONTROL = 0x08, PW_MK_MBUTTON = 0x10 };
enum { PW_SIZE_RESTORED = 0, PW_SIZE_MINIMIZED = 1, PW_SIZE_MAXIMIZED = 2 };
enum { PW_BN_CLICKED = 0, PW_EN_CHANGE = 0x0300 };
enum { PW_HTCLIENT = 1 };

/* Virtual keys. */
enum {
  VK_LBUTTON = 0x01, VK_RBUTTON = 0x02, VK_TAB = 0x09, VK_RETURN = 0x0D, VK_SHIFT = 0x10,
  VK_CONTROL = 0x11, VK_CAPITAL = 0x14, VK_ESCAPE = 0x1B, VK_SPACE = 0x20, VK_PRIOR = 0x21,
  VK_NEXT = 0x22, VK_END = 0x23, VK_HOME = 0x24, VK_LEFT = 0x25, VK_UP = 0x26, VK_RIGHT = 0x27,
  VK_DOWN = 0x28, VK_DELETE = 0x2E
};

/* ---- Styles --------------------------------------------------------------*/
enum {
  WS_OVERLAPPED = 0x00000000u,
  WS_POPUP = 0x80000000u,
  WS_CHILD = 0x40000000u,
  WS_MINIMIZE = 0x20000000u,
  WS_VISIBLE = 0x10000000u,
  WS_DISABLED = 0x08000000u,
  WS_MAXIMIZE = 0x01000000u,
  WS_CAPTION = 0x00C00000u, /* border and dialog frame */
  WS_BORDER = 0x00800000u,
  WS_DLGFRAME = 0x00400000u,
  WS_VSCROLL = 0x00200000u,
  WS_HSCROLL = 0x00100000u,
  WS_SYSMENU = 0x00080000u,
  WS_THICKFRAME = 0x00040000u,
  WS_MINIMIZEBOX = 0x00020000u,
  WS_MAXIMIZEBOX = 0x00010000u,
  WS_TABSTOP = 0x00010000u
};
enum { WS_EX_ACCEPTFILES = 0x00000010u };
/* Class styles. */
enum { CS_VREDRAW = 0x0001, CS_HREDRAW = 0x0002, CS_BYTEALIGNWINDOW = 0x2000, CS_GLOBALCLASS = 0x4000 };

/* ---- System metrics (pixels) ------------------------------------------- */
enum {
  SM_CXSCREEN = 0, SM_CYSCREEN = 1, SM_CXVSCROLL = 2, SM_CYHSCROLL = 3, SM_CYCAPTION = 4,
  SM_CXBORDER = 5, SM_CYBORDER = 6, SM_CXFRAME = 32, SM_CYFRAME = 33
};
int32_t pw_system_metric(int32_t index);
/* System colours for drawing standard parts (COLORREF values). */
enum {
  COLOR_WINDOW = 5, COLOR_WINDOWTEXT = 8, COLOR_HIGHLIGHT = 13, COLOR_HIGHLIGHTTEXT = 14, COLOR_BTNFACE = 15,
  COLOR_BTNSHADOW = 16, COLOR_BTNTEXT = 18, COLOR_BTNHIGHLIGHT = 20
};
COLORREF pw_system_colour(int32_t index); /* PG_CLR_INVALID for an unknown index */
/* The system's major version, for code that once depended on it. */
int32_t pw_system_version_major(void);

/* ---- Classes ------------------------------------------------------------- */
/* The cursor shapes of the layer. */
enum {
  PW_CURSOR_NONE = 0, PW_CURSOR_ARROW = 1, PW_CURSOR_IBEAM, PW_CURSOR_WAIT, PW_CURSOR_CROSS,
  PW_CURSOR_HAND, PW_CURSOR_SIZEALL, PW_CURSOR_NO, PW_CURSOR_PAN, PW_CURSOR_MAGNIFY
};

typedef struct pw_window_class {
  uint32_t style;
  pw_window_proc proc;
  int32_t window_extra;  /* bytes; each pointer-sized slot takes 8 */
  int32_t icon;          /* a resource number, kept for the toolkit */
  int32_t cursor;        /* PW_CURSOR_ shape, 0 for none */
  HBRUSH background;     /* 0: no erase */
  const char* name;
} pw_window_class;

/* Returns a nonzero class number, or 0 when the name is taken or the
 * record is unusable. */
uint32_t pw_class_register(const pw_window_class* cls);
/* 1 and the record when the class is known (the name in `out` points at
 * the layer's copy). */
int32_t pw_class_info_get(const char* name, pw_window_class* out);
/* Refused while windows of the class exist. */
int32_t pw_class_unregister(const char* name);
/* A class several owners may hold at once by name, each with its own
 * procedure (libraries that each hold a copy of the same code): the first
 * holder registers it, later ones are counted. Returns the class number,
 * or 0 when the record is unusable, the name belongs to a class
 * registered plainly, or this procedure holds it already. */
uint32_t pw_class_hold(const pw_window_class* cls);
/* Gives up the hold of the owner with this procedure. While others hold
 * the class, its record becomes the earliest remaining holder's (windows
 * made from then on get that procedure; existing ones keep theirs); the
 * last hold removes the class, which is refused (and the hold kept) while
 * windows of it exist. 1 when the hold was given up. */
int32_t pw_class_release(const char* name, pw_window_proc proc);

/* ---- Windows --------------------------------------------------------------*/
typedef struct pw_create_struct {
  void* param;
  HWND parent;
  intptr_t id;
  int32_t x, y, width, height;
  uint32_t style, ex_style;
  const char* name;
  const char* class_name;
} pw_create_struct;

/* Window sizes are limited to 65535 pixels a side; larger ones are cut. */
HWND pw_window_create(uint32_t ex_style, const char* class_name, const char* title, uint32_t style, int32_t x,
                      int32_t y, int32_t width, int32_t height, HWND parent, intptr_t id, void* param);
/* Sends WM_DESTROY to the window and then its children, removes its
 * timers, capture, focus, properties and queued messages and ends the
 * handle. Safe inside the window's own procedure. */
int32_t pw_window_destroy(HWND hwnd);
int32_t pw_window_valid(HWND hwnd);
enum { SW_HIDE = 0, SW_SHOWNORMAL = 1, SW_SHOWNOACTIVATE = 4, SW_SHOW = 5, SW_SHOWNA = 8 };
int32_t pw_window_show(HWND hwnd, int32_t command); /* returns whether it was visible */
int32_t pw_window_visible(HWND hwnd);
/* Position relative to the parent's client area (or the screen) and the
 * outer size; sends WM_MOVE and, when the client size changes, WM_SIZE. */
int32_t pw_window_move(HWND hwnd, int32_t x, int32_t y, int32_t width, int32_t height, int32_t repaint);
int32_t pw_window_rect_get(HWND hwnd, pg_rect* out);
int32_t pw_client_rect_get(HWND hwnd, pg_rect* out); /* (0, 0, width, height) */
/* Grows a client rectangle to the window rectangle a style needs. */
int32_t pw_window_rect_adjust(pg_rect* rect, uint32_t style);
uint32_t pw_window_style_get(HWND hwnd);
uint32_t pw_window_style_set(HWND hwnd, uint32_t style); /* returns the old style */
uint32_t pw_window_ex_style_get(HWND hwnd);
int32_t pw_window_text_set(HWND hwnd, const char* text);
/* Copies up to size - 1 bytes and a zero; returns the full length. */
int32_t pw_window_text_get(HWND hwnd, char* out, int32_t size);
HWND pw_window_parent(HWND hwnd);
intptr_t pw_window_id(HWND hwnd);
int32_t pw_window_class_name(HWND hwnd, char* out, int32_t size);
HDISPLAY pw_window_display(HWND hwnd);
/* Children in creation order: the i-th, or 0. */
HWND pw_window_child(HWND hwnd, int32_t index);

/* Replaces the procedure (subclassing) and returns the old one. */
pw_window_proc pw_window_proc_set(HWND hwnd, pw_window_proc proc);
pw_window_proc pw_window_proc_get(HWND hwnd);
LRESULT pw_window_proc_call(pw_window_proc proc, HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam);
/* Default handling: erase with the class brush, validate on paint, destroy
 * on close, the class cursor on WM_SETCURSOR; 0 for the rest. */
LRESULT pw_window_proc_default(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam);

/* Pointer-sized extra words at byte offsets 0, 8, ... within the class's
 * window_extra (rounded up to 8). Get returns 0 and set refuses (returns
 * 0) outside it. */
intptr_t pw_window_extra_get(HWND hwnd, int32_t offset);
intptr_t pw_window_extra_set(HWND hwnd, int32_t offset, intptr_t value); /* returns the old value */

/* Named properties; names are compared exactly. */
int32_t pw_property_set(HWND hwnd, const char* name, void* value);
void* pw_property_get(HWND hwnd, const char* name);
void* pw_property_remove(HWND hwnd, const char* name);

/* ---- Messages -------------------------------------------------------------*/
typedef struct pw_message {
  HWND hwnd;
  uint32_t message;
  WPARAM wparam;
  LPARAM lparam;
  uint32_t time;
} pw_message;

/* Calls the window's procedure now; 0 for a destroyed or foreign window. */
LRESULT pw_message_send(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam);
/* Queues a message for the window's thread (hwnd 0: the calling thread's
 * queue). Refused for an invalid window or a full queue. */
int32_t pw_message_post(HWND hwnd, uint32_t message, WPARAM wparam, LPARAM lparam);
void pw_quit_post(int32_t code);
enum { PW_PM_NOREMOVE = 0, PW_PM_REMOVE = 1 };
/* Looks for a message of this thread: queued ones first, then paint for
 * an invalid window, then due timers. hwnd 0 matches every window; first
 * and last 0 match every message. Paint stays until the area is valid. */
int32_t pw_message_peek(pw_message* out, HWND hwnd, uint32_t first, uint32_t last, uint32_t remove);
/* Waits for a message; returns 0 for WM_QUIT, 1 otherwise. */
int32_t pw_message_get(pw_message* out, HWND hwnd, uint32_t first, uint32_t last);
LRESULT pw_message_dispatch(const pw_message* msg);
/* Handles everything waiting now: queued messages, one paint per invalid
 * window, each due timer once. Returns the count handled, or -1 when it
 * met WM_QUIT (the code is then in *quit_code when given). */
int32_t pw_messages_pump(int32_t* quit_code);
/* Messages waiting in this thread's queue. */
int32_t pw_queue_length(void);

/* ---- Painting -------------------------------------------------------------*/
typedef struct pw_paint {
  HDC hdc;
  int32_t erase; /* nonzero when the background still needs erasing */
  pg_rect paint; /* the area to paint */
} pw_paint;

/* rect 0: the whole client area. The invalid area is kept as one bounding
 * rectangle. */
int32_t pw_window_invalidate(HWND hwnd, const pg_rect* rect, int32_t erase);
int32_t pw_window_validate(HWND hwnd, const pg_rect* rect);
/* 1 and the bounding rectangle when part of the window is invalid. */
int32_t pw_update_rect_get(HWND hwnd, pg_rect* out);
/* Sends WM_PAINT now when part of the window is invalid. */
int32_t pw_window_update(HWND hwnd);
/* A DC clipped to the invalid area; sends WM_ERASEBKGND first when erasing
 * was asked for; validates the window. End releases the DC. */
HDC pw_paint_begin(HWND hwnd, pw_paint* ps);
int32_t pw_paint_end(HWND hwnd, const pw_paint* ps);
/* A DC on the whole client area, until released. */
HDC pw_window_dc_get(HWND hwnd);
int32_t pw_window_dc_release(HWND hwnd, HDC hdc);
/* Moves the client area's pixels by (dx, dy) and invalidates (with erase)
 * what is uncovered. */
int32_t pw_window_scroll(HWND hwnd, int32_t dx, int32_t dy);

/* The window as shown: its client surface with its visible children drawn
 * over it at their places, as 0xFFRRGGBB pixels, rows top first. Returns
 * the pixels written. */
int32_t pw_window_render(HWND hwnd, uint32_t* out, int32_t width, int32_t height, int32_t stride_pixels);

/* ---- Scroll bars ----------------------------------------------------------
 * The bars of a window with WS_HSCROLL or WS_VSCROLL. A bar shows while
 * its style bit is set; setting a range that leaves nothing to scroll
 * hides it, one that does shows it (unless PW_SIF_DISABLENOSCROLL keeps it
 * shown). Positions stay within min .. max - max(page - 1, 0). */
enum { SB_HORZ = 0, SB_VERT = 1 };
enum {
  SB_LINEUP = 0, SB_LINELEFT = 0, SB_LINEDOWN = 1, SB_LINERIGHT = 1, SB_PAGEUP = 2, SB_PAGELEFT = 2,
  SB_PAGEDOWN = 3, SB_PAGERIGHT = 3, SB_THUMBPOSITION = 4, SB_THUMBTRACK = 5, SB_TOP = 6, SB_LEFT = 6,
  SB_BOTTOM = 7, SB_RIGHT = 7, SB_ENDSCROLL = 8
};
enum {
  PW_SIF_RANGE = 0x1, PW_SIF_PAGE = 0x2, PW_SIF_POS = 0x4, PW_SIF_DISABLENOSCROLL = 0x8, PW_SIF_TRACKPOS = 0x10,
  PW_SIF_ALL = 0x17
};
typedef struct pw_scroll_info {
  uint32_t mask;
  int32_t min, max;
  uint32_t page;
  int32_t pos, track_pos;
} pw_scroll_info;
int32_t pw_scroll_info_set(HWND hwnd, int32_t bar, const pw_scroll_info* info, int32_t redraw); /* returns pos */
int32_t pw_scroll_info_get(HWND hwnd, int32_t bar, pw_scroll_info* info);
int32_t pw_scroll_pos_set(HWND hwnd, int32_t bar, int32_t pos, int32_t redraw); /* returns the old pos */
int32_t pw_scroll_pos_get(HWND hwnd, int32_t bar);
int32_t pw_scroll_range_set(HWND hwnd, int32_t bar, int32_t min, int32_t max, int32_t redraw);
int32_t pw_scroll_range_get(HWND hwnd, int32_t bar, int32_t* min, int32_t* max);
int32_t pw_scroll_bar_show(HWND hwnd, int32_t bar, int32_t show);
/* The toolkit's way in: the user moved a bar. Sets the track position and
 * sends WM_HSCROLL / WM_VSCROLL with the code (and position). */
int32_t pw_scroll_bar_user(HWND hwnd, int32_t bar, int32_t code, int32_t pos);

/* ---- Input, capture and focus ----------------------------------------------
 * Toolkit adapters and tests feed input through these. Mouse messages go
 * to the capture window when there is one (coordinates moved into its
 * client area), keys and characters to the focus window (else to hwnd).
 * They are queued like any message. */
int32_t pw_input_mouse(HWND hwnd, uint32_t message, int32_t x, int32_t y, uint32_t keys);
int32_t pw_input_key(HWND hwnd, uint32_t message, uint32_t virtual_key);
int32_t pw_input_char(HWND hwnd, uint32_t character);
/* Bit 15 set while the key is down; bit 0 set while a toggle key (Caps
 * Lock) is on. */
int16_t pw_key_state(uint32_t virtual_key);
HWND pw_capture_set(HWND hwnd); /* returns the previous capture window */
int32_t pw_capture_release(void);
HWND pw_capture_get(void);
HWND pw_focus_set(HWND hwnd);
HWND pw_focus_get(void);
/* Screen position of a client point and back. */
int32_t pw_client_to_screen(HWND hwnd, pg_point* point);
int32_t pw_screen_to_client(HWND hwnd, pg_point* point);

/* ---- Cursors --------------------------------------------------------------*/
HCURSOR pw_cursor_load(int32_t shape); /* shared, never freed */
HCURSOR pw_cursor_set(HCURSOR cursor); /* returns the previous one */
HCURSOR pw_cursor_get(void);
int32_t pw_cursor_shape(HCURSOR cursor);

/* ---- Timers ---------------------------------------------------------------
 * A timer is due when the kernel layer's tick counter has moved on by its
 * period; it then yields WM_TIMER (or calls its procedure) and starts
 * again from that tick. A window timer is keyed by its window and id;
 * hwnd 0 makes a thread timer with a new id. */
uintptr_t pw_timer_set(HWND hwnd, uintptr_t id, uint32_t elapse_ms, pw_timer_proc proc);
int32_t pw_timer_kill(HWND hwnd, uintptr_t id);
/* Milliseconds until the next timer of this thread is due (0: one is due
 * now); -1 when there is none. */
int32_t pw_timer_next_due(void);

/* ---- Dropped files ------------------------------------------------------- */
int32_t pw_window_drag_accept(HWND hwnd, int32_t accept);
/* Posts WM_DROPFILES to a window that accepts files. */
int32_t pw_input_drop(HWND hwnd, const char* const* names, int32_t count, int32_t x, int32_t y);
/* index 0xFFFFFFFF: the number of names; else the length of name `index`,
 * copied into out (up to size - 1 bytes and a zero). */
int32_t pw_drop_query(HDROP drop, uint32_t index, char* out, int32_t size);
int32_t pw_drop_point(HDROP drop, pg_point* out);
void pw_drop_finish(HDROP drop);

/* ---- Watching the layer -----------------------------------------------------
 * One observer (a toolkit adapter) hears what needs showing. */
enum {
  PW_EVENT_CREATED = 1, PW_EVENT_DESTROYED, PW_EVENT_SHOWN, PW_EVENT_HIDDEN, PW_EVENT_MOVED,
  PW_EVENT_INVALIDATED, PW_EVENT_TEXT, PW_EVENT_CURSOR, PW_EVENT_SCROLLBARS, PW_EVENT_QUEUED, PW_EVENT_TIMERS,
  PW_EVENT_CAPTURE, PW_EVENT_PAINTED
};
typedef void (*pw_observer_fn)(void* user, int32_t event, HWND hwnd);
void pw_observer_set(pw_observer_fn fn, void* user);
/* Called by pw_message_peek and pw_message_get before looking, so that a
 * toolkit can turn its pending input into messages while a long operation
 * polls for keys. */
typedef void (*pw_host_pump_fn)(void* user);
void pw_host_pump_set(pw_host_pump_fn fn, void* user);

/* The number of live windows, for leak checks in tests. */
int32_t pw_window_count(void);

#ifdef __cplusplus
}
#endif

#endif
