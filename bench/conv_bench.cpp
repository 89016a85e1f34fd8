// Times convolution, sharpening, smoothing and the edge map on the
// benchmark photo, in-process, like ops_bench: each run works on a fresh
// copy (not timed) and the best run is printed as "case wall_ms cpu_ms".
//
//   conv_bench PHOTO.bmp [RUNS [CASE]]   (CASE: only that one)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <string>

#include "rastrix/rastrix.h"
#include "rastrix/rpb.h"

namespace {

RX_HIMAGE copy_of(RX_HIMAGE image) {
  auto* record = reinterpret_cast<IMAGE_REC*>(image);
  const void* dib = RPb_DIB_pointer_get(record);
  RX_HIMAGE copy = 0;
  if (RX_image_create_from_DIB(dib, RPb_DIB_DIB_size_get(dib), &copy) != 0) {
    std::fprintf(stderr, "copy failed\n");
    std::exit(1);
  }
  return copy;
}

const char* g_only = nullptr;

double thread_ms() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

void time_case(const char* name, RX_HIMAGE source, int runs, const std::function<int32_t(RX_HIMAGE)>& op) {
  if (g_only != nullptr && std::string(g_only) != name) return;
  double best = 1e30, best_cpu = 1e30;
  for (int i = 0; i < runs; ++i) {
    RX_HIMAGE image = copy_of(source);
    const double cpu_start = thread_ms();
    const auto start = std::chrono::steady_clock::now();
    const int32_t errors = op(image);
    const auto end = std::chrono::steady_clock::now();
    best_cpu = std::min(best_cpu, thread_ms() - cpu_start);
    if (errors != 0) {
      int32_t code = 0;
      RX_error_get(0, nullptr, 0, nullptr, &code, nullptr, nullptr);
      std::fprintf(stderr, "%s failed: %d\n", name, code);
      std::exit(1);
    }
    RX_image_delete(image);
    best = std::min(best, std::chrono::duration<double, std::milli>(end - start).count());
  }
  std::printf("%s %.3f %.3f\n", name, best, best_cpu);
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: conv_bench PHOTO.bmp [RUNS [CASE]]\n");
    return 2;
  }
  const int runs = argc > 2 ? std::atoi(argv[2]) : 5;
  if (argc > 3) g_only = argv[3];
  RX_engine_start(0);
  RX_HIMAGE photo = 0;
  if (RX_image_load_file(argv[1], &photo) != 0) {
    std::fprintf(stderr, "cannot load the photo\n");
    return 1;
  }
  // The kernel Pillow's side runs too: 1 2 1 / 2 4 2 / 1 2 1 over 16.
  static const int32_t kSoft[9] = {1, 2, 1, 2, 4, 2, 1, 2, 1};
  time_case("convolve_3x3", photo, runs, [](RX_HIMAGE i) {
    return RX_IP_convolve(i, nullptr, kSoft, 3, 3, 1.0 / 16, 7, RX_KERNEL_RESULT_POSITIVE, 0);
  });
  time_case("sharpen_1", photo, runs, [](RX_HIMAGE i) { return RX_IP_sharpen(i, nullptr, 1); });
  time_case("smooth_1", photo, runs, [](RX_HIMAGE i) { return RX_IP_smooth(i, nullptr, 1); });
  time_case("edges_gradient", photo, runs, [](RX_HIMAGE i) { return RX_IP_edge_map(i, nullptr, RX_EDGE_GRADIENT); });
  time_case("edges_laplace", photo, runs, [](RX_HIMAGE i) { return RX_IP_edge_map(i, nullptr, RX_EDGE_LAPLACE); });
  time_case("edges_vertical", photo, runs, [](RX_HIMAGE i) { return RX_IP_edge_map(i, nullptr, RX_EDGE_VERTICAL); });
  RX_engine_stop();
  return 0;
}
