// Kernel level: the processor's offer, the environment's cap, and the
// level tests set.
#include "SUPPORT/kernels.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace rx {
namespace {

KernelLevel detect() {
#if defined(__x86_64__)
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx2")) return KernelLevel::kAvx2;
  return KernelLevel::kSse2;
#else
  return KernelLevel::kReference;
#endif
}

KernelLevel& current() {
  static KernelLevel level =
      kernel_level_capped(std::getenv("RASTRIX_KERNELS"), kernel_level_supported());
  return level;
}

}  // namespace

KernelLevel kernel_level_capped(const char* setting, KernelLevel supported) {
  KernelLevel cap = KernelLevel::kAvx2;
  if (setting != nullptr && std::strcmp(setting, "reference") == 0) cap = KernelLevel::kReference;
  if (setting != nullptr && std::strcmp(setting, "sse2") == 0) cap = KernelLevel::kSse2;
  return std::min(cap, supported);
}

KernelLevel kernel_level() { return current(); }

KernelLevel kernel_level_supported() {
  static const KernelLevel supported = detect();
  return supported;
}

KernelLevel kernel_level_set(KernelLevel level) {
  const KernelLevel previous = current();
  current() = std::min(level, kernel_level_supported());
  return previous;
}

}  // namespace rx
