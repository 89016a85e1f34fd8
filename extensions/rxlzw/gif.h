// The GIF filter of the module (format 14): detection, information, read,
// write and page count, with the functions the filter table calls.
#pragma once

#include "rastrix/rpb.h"

namespace rxlzw {

// The filter's image flags block: two 32-bit fields.
struct GifFlags {
  uint32_t interlace;  // write interlaced rows (RX_OPTION_GIF_INTERLACE)
  uint32_t composite;  // read pages as a viewer shows them (RX_OPTION_GIF_COMPOSITE)
};
inline constexpr GifFlags kGifFlagDefaults{0, 1};

int32_t gif_detect(IO_REC* io, const uint8_t* head, int32_t count);
int32_t gif_info(IO_REC* io, RX_BITMAPINFOHEADER* header, RX_RGBQUAD* palette,
                 int32_t* compression, void* flags, int32_t page);
int32_t gif_read(IO_REC* io, void* flags, int32_t page, int32_t fourth);
int32_t gif_page_count(IO_REC* io, void* flags, int32_t* count);
int32_t gif_write(IO_REC* io, void* flags, int32_t a, int32_t b, int32_t option);

}  // namespace rxlzw
