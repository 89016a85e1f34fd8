// Loads each input as a PSD file from memory through the whole load path
// (colour files through the temporary file); what loaded is saved as a
// PSD again and must reload with the same pixels.
#include "fuzz/fuzz_fmt_common.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RX_engine_start(0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 0x7FFFFFFF || size < 4 || data[0] != '8' || data[1] != 'B' || data[2] != 'P' || data[3] != 'S')
    return 0;
  const RX_HIMAGE image = fuzzfmt::load_page(data, size, 1);
  if (image == 0) return 0;
  fuzzfmt::round_trip(image, RX_FORMAT_PSD, 0, true);
  RX_image_delete(image);
  return 0;
}
