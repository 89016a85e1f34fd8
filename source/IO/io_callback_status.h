// What a reader or writer makes of an image callback's result.
#pragma once

#include <cstdint>

namespace rx {

// 0 when the callback accepted. A callback that refused has pushed the
// reason; one that refused without a word (an application's or an
// extension's own callback) gets RXE_FAILURE pushed for it, iVal its
// result, so that the refusal is never taken for success. Either way the
// result is non-zero, for the caller to stop on.
int32_t io_callback_status(int32_t result);

}  // namespace rx
