// The built-in font's glyphs, shared by the text functions.
#pragma once

#include "gdi_internal.h"

namespace pg {

// Eight rows of five bits (bit 4 the left column) for a byte; bytes
// outside printable ASCII give a box.
const uint8_t* glyph_rows(unsigned char c);
std::shared_ptr<Font> stock_font(uintptr_t* handle);

}  // namespace pg
