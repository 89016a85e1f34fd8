// Loads each input as an icon file from memory, every page of it (up to
// a few), through the whole load path; images the writer takes are saved
// as icons again and must reload with the same pixels.
#include "fuzz/fuzz_fmt_common.h"

namespace {

constexpr int32_t kMaxPages = 8;

bool claims_ico(const uint8_t* d, size_t n) { return n >= 4 && d[0] == 0 && d[1] == 0 && d[2] == 1 && d[3] == 0; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RX_engine_start(0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0x7FFFFFFF || !claims_ico(data, size)) return 0;
  int32_t pages = 0;
  if (RX_memory_page_count_get(data, static_cast<int32_t>(size), &pages) != 0) return 0;
  for (int32_t page = 1; page <= pages && page <= kMaxPages; ++page) {
    const RX_HIMAGE image = fuzzfmt::load_page(data, size, page);
    if (image == 0) continue;
    fuzzfmt::round_trip(image, RX_FORMAT_ICO, 0, true);
    RX_image_delete(image);
  }
  return 0;
}
