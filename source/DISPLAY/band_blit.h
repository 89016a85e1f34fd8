// Handing a rendered band to the device: through StretchDIBits, or on a
// display as a monochrome device bitmap for 1-bit bands; twice through a
// mask when transparency is on; a red hatched rectangle where the device
// refuses.
#pragma once

#include "DISPLAY/render_context.h"

namespace rx {

// Draws the band with its top-left corner at device (x, y).
void band_blit(RenderContext& ctx, Band& band, int32_t x, int32_t y);

// Fills a rectangle of the device with the red hatching of a refused band.
void band_refused(RenderContext& ctx, const IRect& rect);

// Makes every band blit fail, as a device that refuses drawing would
// (tests of the red hatched rectangle). Returns the previous setting.
bool band_blit_refuse(bool refuse);
bool band_blit_refused();

}  // namespace rx
