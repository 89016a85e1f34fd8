// Times the deskew of a 300-dpi A4 text page (2480 x 3508, 1 bit) turned
// by known angles: the measurement alone and the whole deskew (measure and
// turn back), best of RUNS, each run on a fresh copy of the page (the copy
// is not timed). Prints per angle the measured skew beside the truth (the
// page turned clockwise by t measures -t), the skew measured again on the
// straightened page, and the times in milliseconds.
//
//   deskew_bench [RUNS]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "IMG_PROC/skew_pages.h"
#include "rastrix/rastrix.h"
#include "rastrix/rpb.h"

namespace {

constexpr int32_t kWidth = 2480, kHeight = 3508;

// A 1-bit image of the page; palette entry 0 black.
RX_HIMAGE image_of(const skewpage::Page& p) {
  const size_t bytes = 48 + p.bits.size();
  const std::unique_ptr<uint8_t[]> dib(new uint8_t[bytes]());
  const int32_t header[] = {40, p.width, p.height};
  std::memcpy(dib.get(), header, sizeof header);
  const uint16_t planes_bits[] = {1, 1};
  std::memcpy(dib.get() + 12, planes_bits, sizeof planes_bits);
  const auto size = static_cast<uint32_t>(p.bits.size());
  std::memcpy(dib.get() + 20, &size, 4);
  std::memset(dib.get() + 44, 255, 3);  // entry 0 black, entry 1 white
  for (int32_t y = 0; y < p.height; ++y)  // bottom-up
    std::memcpy(dib.get() + 48 + size_t(p.stride) * size_t(p.height - 1 - y), &p.bits[size_t(y) * p.stride], p.stride);
  RX_HIMAGE image = 0;
  if (RX_image_create_from_DIB(dib.get(), static_cast<int32_t>(bytes), &image) != 0) {
    std::fprintf(stderr, "page image failed\n");
    std::exit(1);
  }
  return image;
}

double ms_since(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::atoi(argv[1]) : 5;
  RX_engine_start(0);
  std::printf("%-8s %9s %9s %9s %11s %11s\n", "turned", "measured", "error", "after", "measure_ms", "deskew_ms");
  for (double turned : {-4.3, -1.6, 0.8, 2.5, 3.7}) {
    const skewpage::Page page = skewpage::text_page(kWidth, kHeight, turned, 0, 7);
    double measured = 0, residual = 0, best_measure = 1e30, best_deskew = 1e30;
    for (int i = 0; i < runs; ++i) {
      RX_HIMAGE image = image_of(page);
      auto start = std::chrono::steady_clock::now();
      if (RX_IP_skew_measure(image, &measured) != 0) return 1;
      best_measure = std::min(best_measure, ms_since(start));
      RX_image_delete(image);
      image = image_of(page);
      start = std::chrono::steady_clock::now();
      if (RX_IP_deskew(image, 1.0, 0) != 0) return 1;
      best_deskew = std::min(best_deskew, ms_since(start));
      if (RX_IP_skew_measure(image, &residual) != 0) return 1;
      RX_image_delete(image);
    }
    std::printf("%-8.2f %9.2f %9.2f %9.2f %11.2f %11.2f\n", turned, measured, measured + turned, residual, best_measure,
                best_deskew);
  }
  RX_engine_stop();
  return 0;
}
