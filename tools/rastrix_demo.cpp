// A short demonstration of the engine: start it, build an 8-bit grey image
// and a 1-bit image from packed DIBs, read rows and pixels back, show the
// runs format and an error report, and stop. It prints what it does.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "rastrix/rastrix.h"
#include "rastrix/rpb.h"

namespace {

void report(const char* what, int32_t errors) {
  std::printf("%-44s -> %d error(s)\n", what, errors);
  for (int32_t i = 0; i < errors; ++i) {
    char file[16];
    int32_t line = 0, code = 0, iVal = 0, lVal = 0;
    RX_error_get(i, file, sizeof file, &line, &code, &iVal, &lVal);
    const char* message = RX_error_message_get(code);
    std::printf("    %s:%d  %d  (%d, %d)  %s\n", file, line, code, iVal, lVal,
                message ? message : "Error Not Found");
  }
}

// A packed DIB: header, palette, bottom-up rows.
std::vector<uint8_t> make_dib(int32_t width, int32_t height, int32_t bits) {
  RX_BITMAPINFOHEADER h{};
  RPb_DIB_init(&h, width, height, bits, 0, 3780, 3780);
  const uint32_t colours = bits <= 8 ? 1u << bits : 0;
  const int32_t stride = (bits * width + 31) / 32 * 4;
  std::vector<uint8_t> dib(40 + colours * 4 + static_cast<size_t>(stride) * height);
  std::memcpy(dib.data(), &h, sizeof h);
  for (uint32_t i = 0; i < colours; ++i) {
    const auto level = static_cast<uint8_t>(i * 255 / (colours - 1));
    uint8_t* q = dib.data() + 40 + i * 4;
    q[0] = q[1] = q[2] = level;
  }
  return dib;
}

}  // namespace

int main() {
  if (RX_engine_start(0) != 1) {
    std::puts("engine start failed");
    return 1;
  }
  std::puts("Rastrix engine demonstration");

  // An 8-bit grey ramp, 16 x 4.
  std::vector<uint8_t> dib = make_dib(16, 4, 8);
  RX_HIMAGE grey = 0;
  report("create 16 x 4 8-bit image", RX_image_create_from_DIB(dib.data(), dib.size(), &grey));
  for (int32_t y = 0; y < 4; ++y) {
    uint8_t row[16];
    for (int32_t x = 0; x < 16; ++x) row[x] = static_cast<uint8_t>(x * 16 + y);
    RX_DIB_raster_set(grey, y, row, RX_ROW_PACKED);
  }
  uint8_t value = 0;
  report("pixel get (5, 2)", RX_image_pixel_get(grey, 5, 2, &value));
  std::printf("    pixel (5, 2) = %u\n", value);
  int32_t w = 0, h = 0, bits = 0;
  RX_image_dimensions_get(grey, &w, &h, &bits);
  std::printf("    dimensions %d x %d, %d bits\n", w, h, bits);

  // 1-bit images are kept as run rows; a plain one converts on request.
  std::vector<uint8_t> bilevel = make_dib(40, 3, 1);
  RX_HIMAGE runs = 0;
  report("create 40 x 3 1-bit image", RX_image_create_from_DIB(bilevel.data(), bilevel.size(), &runs));
  report("convert plain rows to runs", RX_IP_convert_DIB_to_runs(runs));
  int32_t compression = 0;
  RX_image_compression_type_get(runs, &compression);
  std::printf("    compression %d (runs format)\n", compression);
  report("pixel set on a runs image", RX_image_pixel_set(runs, 1, 1, &value));
  report("convert runs to plain rows", RX_IP_convert_runs_to_DIB(runs));
  RX_image_compression_type_get(runs, &compression);
  std::printf("    compression %d\n", compression);
  uint8_t one = 1;
  report("pixel set after conversion", RX_image_pixel_set(runs, 1, 1, &one));

  report("resolution units 7", RX_image_resolution_set(grey, 300, 1, 300, 1, 7));
  uint32_t quality = 0;
  RX_image_control_get(RX_OPTION_JPEG_QUALITY, &quality);
  std::printf("JPEG quality option (277) = %u\n", quality);
  report("unknown option 0x999", RX_image_control_set(0x999, 1));

  RX_image_delete(grey);
  RX_image_delete(runs);
  std::printf("engine stop released %d block(s)\n", RX_engine_stop());
  return 0;
}
