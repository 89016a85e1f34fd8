// Loads each input as a GIF file through the GIF filter of the LZW
// extension module (its sources linked in): the page count, the
// information of a page and a load of that page, composited or not, as the
// first byte chooses. The engine's load limits hold the screen to a size
// that keeps each run quick.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "IO/io_rec.h"
#include "gif.h"
#include "rastrix/rastrix.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RX_engine_start(0);
  RX_load_limits_set(4u << 20, 64u << 20);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const rxlzw::GifFlags flags{0, (data[0] & 0x80) ? 0u : 1u};
  const int32_t page = 1 + data[0] % 4;
  std::vector<uint8_t> block(data + 1, data + size);
  IO_REC io{};
  rx::io_from_template(&io);
  rx::io_memory_attach(&io, block.empty() ? nullptr : block.data(),
                       static_cast<int32_t>(block.size()), static_cast<int32_t>(block.size()));
  int32_t pages = 0;
  rxlzw::gif_page_count(&io, nullptr, &pages);
  RPb_AF_error_clear();
  RX_BITMAPINFOHEADER header;
  RX_RGBQUAD palette[256];
  int32_t compression = 0;
  rxlzw::gif_info(&io, &header, palette, &compression, const_cast<rxlzw::GifFlags*>(&flags), page);
  RPb_AF_error_clear();
  LOAD_CB_DATA cb;
  RX_HIMAGE image = 0;
  RPb_RPr_load_CB_data_init(&io, &cb, &image);
  rxlzw::gif_read(&io, const_cast<rxlzw::GifFlags*>(&flags), page, 1);
  RPb_RPr_load_CB_data_free(&cb);
  if (image != 0) RX_image_delete(image);
  RPb_AF_error_clear();
  return 0;
}
