// Whether the extension that brings 16-bit display is loaded.
#include "DISPLAY/extension_48.h"

#include "SUPPORT/ext.h"
#include "rastrix/rx_codes.h"

namespace rx {
namespace {

int32_t g_assumed = -1;

}  // namespace

bool display_extension_loaded() {
  if (g_assumed >= 0) return g_assumed != 0;
  return extension_filter_by_index(kDisplayExtensionNumber + RX_EXTENSION_FILTER_BASE) != nullptr;
}

int32_t display_extension_assume(int32_t state) {
  const int32_t previous = g_assumed;
  g_assumed = state < 0 ? -1 : (state != 0 ? 1 : 0);
  return previous;
}

}  // namespace rx
