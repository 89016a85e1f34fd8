// Times the image operations on the benchmark photo and page, in-process:
// each run works on a fresh copy of the loaded image (the copy is not
// timed) and the best of the runs is printed as "case wall_ms cpu_ms", the
// wall-clock time and the time the thread spent on the processor.
//
//   ops_bench PHOTO.bmp PAGE.bmp [RUNS [CASE]]   (CASE: only that one)
#include <chrono>
#include <ctime>
#include <cstdio>
#include <cstdlib>
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
  if (argc < 3) {
    std::fprintf(stderr, "usage: ops_bench PHOTO.bmp PAGE.bmp [RUNS]\n");
    return 2;
  }
  const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
  if (argc > 4) g_only = argv[4];
  RX_engine_start(0);
  RX_HIMAGE photo = 0, page = 0;
  if (RX_image_load_file(argv[1], &photo) != 0 || RX_image_load_file(argv[2], &page) != 0) {
    std::fprintf(stderr, "cannot load the pictures\n");
    return 1;
  }
  int32_t w = 0, h = 0;
  RX_image_dimensions_get(photo, &w, &h, nullptr);
  static const int32_t kCrop[4] = {1000, 1000, 1999, 1999};
  const RX_OCTREE_OPTIONS octree{0, 256, 0, nullptr};
  const RX_MEDIAN_CUT_OPTIONS median{1, 256};
  const RX_DIFFUSE_OPTIONS diffuse{1, 128, nullptr};
  time_case("resize_nearest_50", photo, runs, [&](RX_HIMAGE i) { return RX_IP_resize(i, w / 2, h / 2, 0); });
  time_case("resize_nearest_200", photo, runs, [&](RX_HIMAGE i) { return RX_IP_resize(i, w * 2, h * 2, 0); });
  time_case("resize_bilinear_50", photo, runs, [&](RX_HIMAGE i) { return RX_IP_resize(i, w / 2, h / 2, 2); });
  time_case("resize_bilinear_200", photo, runs, [&](RX_HIMAGE i) { return RX_IP_resize(i, w * 2, h * 2, 2); });
  time_case("rotate_90", photo, runs, [](RX_HIMAGE i) { return RX_IP_rotate(i, 1); });
  time_case("flip_left_right", photo, runs, [](RX_HIMAGE i) { return RX_IP_flip(i, 0); });
  time_case("flip_top_bottom", photo, runs, [](RX_HIMAGE i) { return RX_IP_flip(i, 1); });
  time_case("rotate_7.5", photo, runs, [](RX_HIMAGE i) { return RX_IP_rotate_any(i, 7.5, 0); });
  time_case("gray", photo, runs, [](RX_HIMAGE i) { return RX_IP_gray(i); });
  time_case("octree_256", photo, runs, [&](RX_HIMAGE i) { return RX_IP_octree_reduce(i, &octree); });
  time_case("median_cut_256", photo, runs, [&](RX_HIMAGE i) { return RX_IP_median_cut_reduce(i, &median); });
  time_case("diffuse_1bit", photo, runs, [&](RX_HIMAGE i) { return RX_IP_diffuse(i, &diffuse); });
  time_case("crop_1000", photo, runs, [](RX_HIMAGE i) { return RX_IP_crop(i, kCrop); });
  time_case("blur_box_3", photo, runs, [](RX_HIMAGE i) { return RX_IP_effect_blur(i, nullptr, 1); });
  time_case("blur_box_5", photo, runs, [](RX_HIMAGE i) { return RX_IP_effect_blur(i, nullptr, 2); });
  time_case("page_rotate_90", page, runs, [](RX_HIMAGE i) { return RX_IP_rotate(i, 1); });
  time_case("page_flip_left_right", page, runs, [](RX_HIMAGE i) { return RX_IP_flip(i, 0); });
  time_case("page_resize_nearest_50", page, runs, [](RX_HIMAGE i) { return RX_IP_resize(i, 1240, 1754, 0); });
  time_case("page_crop_1000", page, runs, [](RX_HIMAGE i) { return RX_IP_crop(i, kCrop); });
  RX_engine_stop();
  return 0;
}
