// Runs every input through detection, where the formats without a reader
// yet have only their detection tests: each test sees hostile heads of any
// length. A format that is detected but has no reader must refuse the load
// and leave no image.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "rastrix/rastrix.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  RX_engine_start(0);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Short heads are what detection sees; longer inputs add nothing here and
  // would spend the time in the readers other targets cover.
  if (size > 4096) return 0;
  const auto n = static_cast<int32_t>(size);
  int32_t format = 0;
  RX_BITMAPINFOHEADER h{};
  if (RX_memory_info_get(data, n, 1, &format, nullptr, &h) == 0) return 0;  // a real reader took it
  RX_HIMAGE image = 0;
  if (RX_image_load_memory(data, n, 1, 1, &image) == 0) {
    RX_image_delete(image);
    return 0;
  }
  if (image != 0) abort();  // a failed load leaves no image
  return 0;
}
