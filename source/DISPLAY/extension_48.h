// The display of 16-bit images comes with the extension numbered 48: an
// extension module that declares a filter with format code 48.
#pragma once

#include <cstdint>

#include "rastrix/rx_codes.h"

namespace rx {

inline constexpr int32_t kDisplayExtensionNumber = RX_EXTENSION_DISPLAY_16;

bool display_extension_loaded();

// Tests stand in for the extension: 1 present, 0 absent, -1 (the start)
// asks the extension registry. Returns the previous state.
int32_t display_extension_assume(int32_t state);

}  // namespace rx
