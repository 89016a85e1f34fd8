/* Our drawing layer: device contexts over software surfaces, bitmaps,
 * brushes, palettes, raster operations, packed-DIB drawing and a small
 * built-in bitmap font. It needs no toolkit and no screen: a "display" is a
 * surface format chosen when it is made (1, 4, 8, 16, 24 or 32 bits), so
 * that every depth can be drawn to on any machine. The window layer
 * (platform/window.h) gives windows surfaces of their display's format.
 *
 * Handles are pointer-sized opaque values handed out by a registry. Every
 * function checks the handles it is given and refuses (returns 0, false or
 * a null handle) any that is unknown, deleted or of the wrong kind; a
 * handle is never dereferenced. One user-interface thread draws; the
 * registry itself is safe to call from any thread.
 *
 * Coordinates are device pixels (the only mapping mode is MM_TEXT), y grows
 * downwards, rectangles exclude their right and bottom edges. Colours are
 * COLORREF values 0x00BBGGRR; PALETTEINDEX and PALETTERGB colours refer to
 * the palette selected into the device context. */
#ifndef RASTRIX_PLATFORM_GDI_H
#define RASTRIX_PLATFORM_GDI_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Handles and plain types ------------------------------------------- */

typedef struct pg_dc_tag* HDC;
typedef struct pg_bitmap_tag* HBITMAP;
typedef struct pg_brush_tag* HBRUSH;
typedef struct pg_palette_tag* HPALETTE;
typedef struct pg_font_tag* HFONT;
typedef struct pg_display_tag* HDISPLAY;

typedef uint32_t COLORREF;
#define PG_RGB(r, g, b) \
  ((COLORREF)(((uint32_t)(uint8_t)(r)) | ((uint32_t)(uint8_t)(g) << 8) | ((uint32_t)(uint8_t)(b) << 16)))
#define PG_GET_R(c) ((uint8_t)((c)&0xFF))
#define PG_GET_G(c) ((uint8_t)(((c) >> 8) & 0xFF))
#define PG_GET_B(c) ((uint8_t)(((c) >> 16) & 0xFF))
/* Entry i of the selected logical palette. */
#define PG_PALETTEINDEX(i) ((COLORREF)(0x01000000u | (uint16_t)(i)))
/* The nearest entry of the selected logical palette to an RGB colour. */
#define PG_PALETTERGB(r, g, b) (0x02000000u | PG_RGB(r, g, b))
/* Returned where a colour cannot be given. */
#define PG_CLR_INVALID 0xFFFFFFFFu

typedef struct pg_rect {
  int32_t left, top, right, bottom;
} pg_rect;

typedef struct pg_point {
  int32_t x, y;
} pg_point;

/* The 40-byte bitmap information header of a packed DIB, followed in
 * memory by its colour table of pg_rgb_quad entries. */
typedef struct PG_BITMAPINFOHEADER {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight; /* positive: rows bottom-up; negative: top-down */
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression; /* only 0, uncompressed RGB */
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
} PG_BITMAPINFOHEADER;

typedef struct pg_rgb_quad {
  uint8_t blue, green, red, reserved;
} pg_rgb_quad;

typedef struct pg_palette_entry {
  uint8_t red, green, blue, flags;
} pg_palette_entry;

/* ---- Raster operations --------------------------------------------------
 * A ternary raster operation's bits 16 to 23 are its index: bit number
 * (P << 2 | S << 1 | D) of the index is the result for pattern bit P,
 * source bit S and destination bit D, applied to every bit of the pixel
 * values. The low word is not read. */
enum {
  SRCCOPY = 0x00CC0020u,
  SRCPAINT = 0x00EE0086u,
  SRCAND = 0x008800C6u,
  SRCINVERT = 0x00660046u,
  SRCERASE = 0x00440328u,
  NOTSRCCOPY = 0x00330008u,
  NOTSRCERASE = 0x001100A6u,
  MERGECOPY = 0x00C000CAu,
  MERGEPAINT = 0x00BB0226u,
  PATCOPY = 0x00F00021u,
  PATPAINT = 0x00FB0A09u,
  PATINVERT = 0x005A0049u,
  DSTINVERT = 0x00550009u,
  BLACKNESS = 0x00000042u,
  WHITENESS = 0x00FF0062u
};

/* Whether an operation reads its source or its pattern. */
int32_t pg_rop_uses_source(uint32_t rop);
int32_t pg_rop_uses_pattern(uint32_t rop);

/* ---- Displays -----------------------------------------------------------
 * A display fixes the device format of everything compatible with it: its
 * depth, and for 8 bits a system palette of 256 entries whose first and
 * last ten are the 20 static colours. 4-bit displays have the 16 standard
 * colours, 1-bit displays black (0) and white (1), 16-bit displays 5-5-5
 * pixels. */
HDISPLAY pg_display_create(int32_t bits);
int32_t pg_display_delete(HDISPLAY display);
int32_t pg_display_bits(HDISPLAY display);
/* The display that windows and pg_screen_dc_create use until another is
 * set; a 32-bit display is made on first use. */
HDISPLAY pg_display_default(void);
int32_t pg_display_default_set(HDISPLAY display);
/* The system palette of an 8-bit display (entries 0..255); 0 for others. */
int32_t pg_display_system_palette_get(HDISPLAY display, int32_t first, int32_t count,
                                      pg_palette_entry* out);

/* ---- Device contexts ----------------------------------------------------*/

/* A raster display DC over its own surface of the given size. */
HDC pg_display_dc_create(HDISPLAY display, int32_t width, int32_t height);
/* A memory DC of the same device kind; it starts with a 1 x 1 monochrome
 * bitmap selected. hdc 0 means the default display. */
HDC pg_dc_create_compatible(HDC hdc);
/* A printer DC (not a raster display) over a 24-bit white page. */
HDC pg_printer_dc_create(int32_t width, int32_t height, int32_t dots_per_inch);
int32_t pg_dc_delete(HDC hdc);

enum {
  PG_TECHNOLOGY = 2,
  PG_HORZRES = 8,
  PG_VERTRES = 10,
  PG_BITSPIXEL = 12,
  PG_PLANES = 14,
  PG_NUMCOLORS = 24,
  PG_RASTERCAPS = 38,
  PG_LOGPIXELSX = 88,
  PG_LOGPIXELSY = 90,
  PG_SIZEPALETTE = 104,
  PG_NUMRESERVED = 106
};
enum { PG_DT_PLOTTER = 0, PG_DT_RASDISPLAY = 1, PG_DT_RASPRINTER = 2 };
enum { PG_RC_BITBLT = 0x0001, PG_RC_PALETTE = 0x0100, PG_RC_STRETCHBLT = 0x0800, PG_RC_STRETCHDIB = 0x2000 };
/* Device capabilities; 0 for an invalid DC or an unknown index. */
int32_t pg_device_caps(HDC hdc, int32_t index);

enum { MM_TEXT = 1 };
/* Returns the previous mode, or 0 (and changes nothing) for a mode other
 * than MM_TEXT. */
int32_t pg_map_mode_set(HDC hdc, int32_t mode);
int32_t pg_map_mode_get(HDC hdc);

COLORREF pg_text_colour_set(HDC hdc, COLORREF colour); /* returns the old one */
COLORREF pg_text_colour_get(HDC hdc);
COLORREF pg_bk_colour_set(HDC hdc, COLORREF colour);
COLORREF pg_bk_colour_get(HDC hdc);
enum { PG_TRANSPARENT = 1, PG_OPAQUE = 2 };
int32_t pg_bk_mode_set(HDC hdc, int32_t mode); /* text background; returns the old one */

/* Clip box: the part of the drawing surface that drawing reaches, which is
 * the surface bounds cut by the stored clip rectangle. */
enum { PG_REGION_ERROR = 0, PG_NULLREGION = 1, PG_SIMPLEREGION = 2 };
int32_t pg_clip_box_get(HDC hdc, pg_rect* out);
/* Stores a clip rectangle (none: the whole surface). */
int32_t pg_clip_rect_set(HDC hdc, const pg_rect* clip);
int32_t pg_clip_rect_intersect(HDC hdc, const pg_rect* clip);

/* The size of the surface the DC draws on. */
int32_t pg_dc_size(HDC hdc, int32_t* width, int32_t* height);
/* Reads one pixel as a colour (PG_CLR_INVALID outside the clip box) and
 * writes one as the nearest device colour. */
COLORREF pg_pixel_get(HDC hdc, int32_t x, int32_t y);
int32_t pg_pixel_set(HDC hdc, int32_t x, int32_t y, COLORREF colour);
/* The raw device pixel value (index, 5-5-5 word or 0x00RRGGBB). */
int32_t pg_pixel_value_get(HDC hdc, int32_t x, int32_t y, uint32_t* value);

/* ---- Bitmaps ------------------------------------------------------------*/

/* A bitmap in the device format of the DC's display. */
HBITMAP pg_bitmap_create_compatible(HDC hdc, int32_t width, int32_t height);
/* A device bitmap of one plane of 1 or of the display's bit count, from
 * rows aligned to 16 bits (bits may be null: all zero). */
HBITMAP pg_bitmap_create(int32_t width, int32_t height, uint32_t planes, uint32_t bits_per_pixel,
                         const void* bits);
int32_t pg_bitmap_delete(HBITMAP bitmap);
typedef struct pg_bitmap_info {
  int32_t width, height, width_bytes; /* width_bytes: row length, 16-bit aligned */
  uint16_t planes, bits_per_pixel;
} pg_bitmap_info;
int32_t pg_bitmap_info_get(HBITMAP bitmap, pg_bitmap_info* out);
/* Copies rows (top row first, 16-bit aligned) in or out; returns the bytes
 * moved, at most size. */
int32_t pg_bitmap_bits_get(HBITMAP bitmap, void* out, int32_t size);
int32_t pg_bitmap_bits_set(HBITMAP bitmap, const void* bits, int32_t size);
/* Selects into a memory DC and returns the bitmap it replaces; 0 when the
 * DC is not a memory DC, the bitmap is selected elsewhere or its format
 * does not suit the DC (monochrome bitmaps suit every memory DC). */
HBITMAP pg_bitmap_select(HDC hdc, HBITMAP bitmap);

/* ---- Brushes ------------------------------------------------------------*/

enum {
  PG_HS_HORIZONTAL = 0,
  PG_HS_VERTICAL = 1,
  PG_HS_FDIAGONAL = 2, /* top-left to bottom-right */
  PG_HS_BDIAGONAL = 3,
  PG_HS_CROSS = 4,
  PG_HS_DIAGCROSS = 5
};
HBRUSH pg_brush_solid_create(COLORREF colour);
/* Hatch lines in the brush colour over the DC's background colour. */
HBRUSH pg_brush_hatch_create(int32_t style, COLORREF colour);
/* The top-left 8 x 8 pixels of a bitmap, repeated; a monochrome bitmap
 * takes the DC's text colour for 0 bits and its background colour for 1
 * bits. The brush keeps its own copy. */
HBRUSH pg_brush_pattern_create(HBITMAP bitmap);
int32_t pg_brush_delete(HBRUSH brush);
HBRUSH pg_brush_select(HDC hdc, HBRUSH brush); /* returns the old one */
/* Stock objects that are never deleted. */
enum { PG_WHITE_BRUSH = 0, PG_LTGRAY_BRUSH = 1, PG_GRAY_BRUSH = 2, PG_DKGRAY_BRUSH = 3, PG_BLACK_BRUSH = 4, PG_NULL_BRUSH = 5 };
HBRUSH pg_stock_brush(int32_t which);

/* ---- Palettes -----------------------------------------------------------*/

/* Logical palettes of up to PG_PALETTE_MAX_ENTRIES entries (0 is allowed:
 * an empty palette). */
enum { PG_PALETTE_MAX_ENTRIES = 4096 };
HPALETTE pg_palette_create(const pg_palette_entry* entries, int32_t count);
int32_t pg_palette_delete(HPALETTE palette);
int32_t pg_palette_entries_get(HPALETTE palette, int32_t first, int32_t count, pg_palette_entry* out);
int32_t pg_palette_entries_set(HPALETTE palette, int32_t first, int32_t count, const pg_palette_entry* in);
int32_t pg_palette_size(HPALETTE palette);
/* The entry nearest to a colour (squared RGB distance, lowest index on a
 * tie); -1 for an invalid or empty palette. */
int32_t pg_palette_nearest_index(HPALETTE palette, COLORREF colour);
/* The 20-colour default palette. */
HPALETTE pg_stock_palette(void);
/* Selects a palette into a DC, in the background when background is
 * nonzero; returns the old one. */
HPALETTE pg_palette_select(HDC hdc, HPALETTE palette, int32_t background);
/* Maps the selected palette into the display's system palette. A
 * foreground palette may take all 236 free entries (entries equal to a
 * static colour use it; repeated colours share one entry); a background
 * palette only takes entries still unused and matches existing colours.
 * Colours left over map to the nearest system colour. Returns the number
 * of system entries that changed; 0 on devices without a palette. */
int32_t pg_palette_realize(HDC hdc);
/* The system index each logical entry maps to in this DC (after the last
 * realisation, or by nearest colour). Returns the entries written. */
int32_t pg_palette_mapping_get(HDC hdc, int32_t first, int32_t count, uint8_t* out);

/* ---- Drawing ------------------------------------------------------------*/

/* Copies a rectangle between DCs through a raster operation. hdc_src may
 * be 0 when the operation reads no source. Source pixels convert to the
 * destination: monochrome sources give the destination's text colour for
 * 0 and background colour for 1; colour sources to a monochrome
 * destination give 1 where they equal the source DC's background colour.
 * Pixels outside the source are left alone. */
int32_t pg_bit_blt(HDC hdc, int32_t x, int32_t y, int32_t width, int32_t height, HDC hdc_src,
                   int32_t x_src, int32_t y_src, uint32_t rop);
/* As pg_bit_blt with scaling: destination column j (from the rectangle's
 * left) reads source column x_src + j * |width_src| / |width| (negative
 * sizes mirror); rows likewise. Reducing drops columns and rows. */
int32_t pg_stretch_blt(HDC hdc, int32_t x, int32_t y, int32_t width, int32_t height, HDC hdc_src,
                       int32_t x_src, int32_t y_src, int32_t width_src, int32_t height_src, uint32_t rop);
/* The selected brush through a raster operation that reads no source. */
int32_t pg_pat_blt(HDC hdc, int32_t x, int32_t y, int32_t width, int32_t height, uint32_t rop);

enum { DIB_RGB_COLORS = 0 };
/* Draws part of a packed DIB (1, 4, 8, 16 as 5-5-5, 24 or 32 bits,
 * uncompressed, rows 4-byte aligned, bottom-up or top-down) with scaling
 * as pg_stretch_blt. The source rectangle's origin is the DIB's lower-left
 * corner for bottom-up DIBs and its upper-left one for top-down DIBs.
 * Colours of the colour table map to the nearest device colour (through
 * the selected palette on palette devices). Returns |height_src| for a
 * request it accepts (even when clipping leaves nothing to draw) and 0 for
 * one it refuses: a bad header, size, usage or null pointer. */
int32_t pg_stretch_dib_bits(HDC hdc, int32_t x, int32_t y, int32_t width, int32_t height, int32_t x_src,
                            int32_t y_src, int32_t width_src, int32_t height_src, const void* bits,
                            const PG_BITMAPINFOHEADER* info, uint32_t usage, uint32_t rop);

int32_t pg_rect_fill(HDC hdc, const pg_rect* rect, HBRUSH brush);
int32_t pg_rect_frame(HDC hdc, const pg_rect* rect, HBRUSH brush); /* one pixel wide */
int32_t pg_rect_invert(HDC hdc, const pg_rect* rect);
/* A dotted one-pixel frame drawn by exclusive-or, so that drawing it again
 * removes it (focus frames and rubber bands). */
int32_t pg_focus_rect_draw(HDC hdc, const pg_rect* rect);
/* A one-pixel line from (x0, y0) up to but not including (x1, y1). */
int32_t pg_line_draw(HDC hdc, int32_t x0, int32_t y0, int32_t x1, int32_t y1, COLORREF colour);

/* ---- Text ---------------------------------------------------------------
 * One built-in bitmap font: printable ASCII in cells of 6 x 10 pixels at
 * scale 1; other bytes draw as a box. A font is that face at a whole
 * scale. Text is drawn in the text colour; in OPAQUE mode its cells are
 * filled with the background colour first. */
enum { PG_FONT_CELL_WIDTH = 6, PG_FONT_CELL_HEIGHT = 10 };
/* The scale is |height| / 10 rounded, from 1 to 8. */
HFONT pg_font_create(int32_t height);
int32_t pg_font_delete(HFONT font);
HFONT pg_font_select(HDC hdc, HFONT font); /* 0 selects the built-in scale 1 */
HFONT pg_stock_font(void);
int32_t pg_text_extent(HDC hdc, const char* text, int32_t length, int32_t* width, int32_t* height);
int32_t pg_text_out(HDC hdc, int32_t x, int32_t y, const char* text, int32_t length);
enum {
  PG_DT_LEFT = 0x0,
  PG_DT_CENTER = 0x1,
  PG_DT_RIGHT = 0x2,
  PG_DT_VCENTER = 0x4,
  PG_DT_BOTTOM = 0x8,
  PG_DT_WORDBREAK = 0x10,
  PG_DT_SINGLELINE = 0x20,
  PG_DT_CALCRECT = 0x400
};
/* Text in a rectangle, clipped to it; returns the height drawn. With
 * PG_DT_CALCRECT nothing is drawn and the rectangle's bottom (and, for a
 * single line, its right) is set to what the text needs. */
int32_t pg_text_draw(HDC hdc, const char* text, int32_t length, pg_rect* rect, uint32_t format);

/* ---- Surfaces for a toolkit ---------------------------------------------
 * Copies the pixels of the DC's surface as 32-bit 0xFFRRGGBB words, rows
 * top first, for showing on a screen. Returns the pixels written. */
int32_t pg_dc_read_rgb32(HDC hdc, uint32_t* out, int32_t width, int32_t height, int32_t stride_pixels);

/* ---- Registry -----------------------------------------------------------*/

/* The number of live objects of all kinds, for leak checks in tests. */
int32_t pg_object_count(void);

#ifdef __cplusplus
}
#endif

#endif
