// Loads each input as an SGI file from memory through the whole load
// path; what loaded is saved as SGI again, plain and run-length coded, and
// must reload with the same pixels.
#include "fuzz/fuzz_fmt_common.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RX_engine_start(0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0x7FFFFFFF || size < 2 || data[0] != 1 || data[1] != 218) return 0;
  const RX_HIMAGE image = fuzzfmt::load_page(data, size, 1);
  if (image == 0) return 0;
  fuzzfmt::round_trip(image, RX_FORMAT_SGI, 0, true);
  fuzzfmt::round_trip(image, RX_FORMAT_SGI, 1, true);
  RX_image_delete(image);
  return 0;
}
