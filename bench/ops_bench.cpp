// Times the image operations on the benchmark photo and page, in-process:
// each run works on a fresh copy of the loaded image (the copy is not
// timed) and the best of the runs is printed as "case wall_ms cpu_ms", the
// wall-clock time and the time the thread spent on the processor.
//
//   ops_bench PHOTO.bmp PAGE.bmp [RUNS [CASE]]   (CASE: only that one)
#include <cstdio>
#include <cstdlib>

#include "rastrix/rastrix.h"
#include "support/op_timer.h"

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: ops_bench PHOTO.bmp PAGE.bmp [RUNS]\n");
    return 2;
  }
  const int runs = argc > 3 ? std::atoi(argv[3]) : 5;
  const bench::OpTimer time_case{runs, argc > 4 ? argv[4] : nullptr};
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
  time_case("resize_nearest_50", photo, [&](RX_HIMAGE i) { return RX_IP_resize(i, w / 2, h / 2, 0); });
  time_case("resize_nearest_200", photo, [&](RX_HIMAGE i) { return RX_IP_resize(i, w * 2, h * 2, 0); });
  time_case("resize_bilinear_50", photo, [&](RX_HIMAGE i) { return RX_IP_resize(i, w / 2, h / 2, 2); });
  time_case("resize_bilinear_200", photo, [&](RX_HIMAGE i) { return RX_IP_resize(i, w * 2, h * 2, 2); });
  time_case("rotate_90", photo, [](RX_HIMAGE i) { return RX_IP_rotate(i, 1); });
  time_case("flip_left_right", photo, [](RX_HIMAGE i) { return RX_IP_flip(i, 0); });
  time_case("flip_top_bottom", photo, [](RX_HIMAGE i) { return RX_IP_flip(i, 1); });
  time_case("rotate_7.5", photo, [](RX_HIMAGE i) { return RX_IP_rotate_any(i, 7.5, 0); });
  time_case("gray", photo, [](RX_HIMAGE i) { return RX_IP_gray(i); });
  time_case("octree_256", photo, [&](RX_HIMAGE i) { return RX_IP_octree_reduce(i, &octree); });
  time_case("median_cut_256", photo, [&](RX_HIMAGE i) { return RX_IP_median_cut_reduce(i, &median); });
  time_case("diffuse_1bit", photo, [&](RX_HIMAGE i) { return RX_IP_diffuse(i, &diffuse); });
  time_case("crop_1000", photo, [](RX_HIMAGE i) { return RX_IP_crop(i, kCrop); });
  time_case("blur_box_3", photo, [](RX_HIMAGE i) { return RX_IP_effect_blur(i, nullptr, 1); });
  time_case("blur_box_5", photo, [](RX_HIMAGE i) { return RX_IP_effect_blur(i, nullptr, 2); });
  time_case("page_rotate_90", page, [](RX_HIMAGE i) { return RX_IP_rotate(i, 1); });
  time_case("page_flip_left_right", page, [](RX_HIMAGE i) { return RX_IP_flip(i, 0); });
  time_case("page_resize_nearest_50", page, [](RX_HIMAGE i) { return RX_IP_resize(i, 1240, 1754, 0); });
  time_case("page_crop_1000", page, [](RX_HIMAGE i) { return RX_IP_crop(i, kCrop); });
  RX_engine_stop();
  return 0;
}
