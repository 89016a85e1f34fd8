// Kernel level: the platform layer keeps the one level the whole process
// follows; the engine reads and sets it here in its own terms.
#include "SUPPORT/kernels.h"

#include "platform/kernel.h"

namespace rx {

KernelLevel kernel_level_capped(const char* setting, KernelLevel supported) {
  return static_cast<KernelLevel>(pk_kernel_level_capped(setting, static_cast<int32_t>(supported)));
}

KernelLevel kernel_level() { return static_cast<KernelLevel>(pk_kernel_level()); }

KernelLevel kernel_level_supported() { return static_cast<KernelLevel>(pk_kernel_level_supported()); }

KernelLevel kernel_level_set(KernelLevel level) {
  return static_cast<KernelLevel>(pk_kernel_level_set(static_cast<int32_t>(level)));
}

}  // namespace rx
