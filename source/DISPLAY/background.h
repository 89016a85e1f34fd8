// Painting the background strips of a draw.
#pragma once

#include "DISPLAY/display_geometry.h"
#include "platform/gdi.h"

namespace rx {

// Fills the parts of `clip` outside `device` when the background is on.
void paint_background(HDC hdc, const DISPLAY_ATTR& d, const IRect& device, const IRect& clip);

}  // namespace rx
