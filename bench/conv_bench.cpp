// Times convolution, sharpening, smoothing and the edge map on the
// benchmark photo, in-process, like ops_bench: each run works on a fresh
// copy (not timed) and the best run is printed as "case wall_ms cpu_ms".
//
//   conv_bench PHOTO.bmp [RUNS [CASE]]   (CASE: only that one)
#include <cstdio>
#include <cstdlib>

#include "rastrix/rastrix.h"
#include "support/op_timer.h"

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: conv_bench PHOTO.bmp [RUNS [CASE]]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  const bench::OpTimer time_case{runs, argc > 3 ? argv[3] : nullptr};
  RX_engine_start(0);
  RX_HIMAGE photo = 0;
  if (RX_image_load_file(argv[1], &photo) != 0) {
    std::fprintf(stderr, "cannot load the photo\n");
    return 1;
  }
  // The kernel Pillow's side runs too: 1 2 1 / 2 4 2 / 1 2 1 over 16.
  static const int32_t kSoft[9] = {1, 2, 1, 2, 4, 2, 1, 2, 1};
  time_case("convolve_3x3", photo, [](RX_HIMAGE i) {
    return RX_IP_convolve(i, nullptr, kSoft, 3, 3, 1.0 / 16, 7, RX_KERNEL_RESULT_POSITIVE, 0);
  });
  time_case("sharpen_1", photo, [](RX_HIMAGE i) { return RX_IP_sharpen(i, nullptr, 1); });
  time_case("smooth_1", photo, [](RX_HIMAGE i) { return RX_IP_smooth(i, nullptr, 1); });
  time_case("edges_gradient", photo, [](RX_HIMAGE i) { return RX_IP_edge_map(i, nullptr, RX_EDGE_GRADIENT); });
  time_case("edges_laplace", photo, [](RX_HIMAGE i) { return RX_IP_edge_map(i, nullptr, RX_EDGE_LAPLACE); });
  time_case("edges_vertical", photo, [](RX_HIMAGE i) { return RX_IP_edge_map(i, nullptr, RX_EDGE_VERTICAL); });
  RX_engine_stop();
  return 0;
}
