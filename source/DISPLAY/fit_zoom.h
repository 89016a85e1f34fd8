// What the tool windows need of the zoom state when they move an image's
// view themselves.
#pragma once

#include "SUPPORT/image_rec.h"
#include "platform/window.h"

namespace rx {

// The image's device rectangle was moved within the window: on each axis
// that scrolls, the window's scroll bar (when its style has one) goes to
// the new view origin and the zoom state's centre of the view follows, so
// that the next scroll or zoom starts from where the view now is.
void view_moved(IMAGE_REC* record, HWND hwnd);

}  // namespace rx
