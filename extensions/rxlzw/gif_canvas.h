// A page of a GIF file as a viewer shows it: frames drawn in order onto
// the logical screen, each frame's disposal applied before the next is
// drawn, pixels of a frame's transparent index leaving what lies below.
#pragma once

#include <cstddef>
#include <cstdint>

#include "ext_error.h"
#include "gif_blocks.h"
#include "lzw.h"

namespace rxlzw {

// A canvas pixel: kPainted set for a pixel some frame drew; below it the
// colour index (indexed canvases) or 0xRRGGBB. A pixel without kPainted is
// clear: never drawn, or cleared by a disposal.
inline constexpr uint32_t kPainted = 0x80000000u;

struct GifCanvas {
  int32_t width = 0, height = 0;
  int32_t origin_x = 0, origin_y = 0;  // where the canvas lies on the screen
  bool indexed = false;                // pixels hold indexes into `table`
  GifColorTable table;                 // the one table of every frame (indexed)
  uint32_t* pixels = nullptr;
};

// The parts of a decoded page that a read delivers.
struct GifPage {
  int32_t width = 0, height = 0, depth = 0;  // depth 1, 4, 8 or 24
  uint8_t palette[256][4] = {};              // blue, green, red, 0 (depth <= 8)
  bool transparent = false;                  // a clear pixel shows the background
  uint32_t key = 0;    // index (depth <= 8) or 0xRRGGBB that clear pixels get
  uint32_t key_bgr = 0;  // the key's colour as an RX_RGBQUAD's 32 bits
};

// Draws frames[0..count) onto `canvas` (allocated by the caller, all
// clear). Frames come from `file`. Pushes RXE_CANT_READ_PIXEL_DATA (frame,
// row) for a frame whose codes name no string or whose code size is not
// 1 to 8 and returns false; a frame whose data just stops short is drawn
// as far as it goes.
bool gif_canvas_draw(Pool& pool, const uint8_t* file, size_t size, const GifScreen& screen,
                     const GifFrame* frames, int32_t count, GifCanvas* canvas);

// Settles how the drawn canvas becomes an image: the depth, the palette,
// and what clear pixels turn into (the key). Clear pixels are transparent
// when one of the frames declares a transparent index, else they take the
// screen's background colour. An indexed canvas falls back to 24 bits when
// its clear pixels could not be told from a painted index. Needs 2 MiB of
// scratch for the 24-bit case; false (pushed) when it cannot have it.
bool gif_page_settle(Pool& pool, const GifScreen& screen, const GifFrame* frames,
                     int32_t count, GifCanvas* canvas, GifPage* page);

// One row of the settled page in DIB layout (packed indexes or blue, green,
// red) into out, which holds at least the row's stride.
void gif_page_row(const GifCanvas& canvas, const GifPage& page, int32_t y, uint8_t* out);

// The depth an indexed page of a table with `entries` entries gets.
int32_t gif_depth_for(int32_t entries);

}  // namespace rxlzw
