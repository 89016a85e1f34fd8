// The entry steps shared by the public image functions.
#pragma once

#include "SUPPORT/image_rec.h"

namespace rx {

// Clears the error stack and returns the record behind the handle, or null
// for an invalid handle (which pushes nothing: the caller returns 0).
IMAGE_REC* image_enter(RX_HIMAGE image);

// The header of the record's DIB; pushes RXE_DIB_POINTER_NULL and returns
// null when the record holds none.
RX_BITMAPINFOHEADER* image_header(IMAGE_REC* record);

}  // namespace rx
