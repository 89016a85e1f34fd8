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

// The cap RASTRIX_KERNELS asks for; an unknown value asks for nothing.
KernelLevel environment_cap() {
  const char* v = std::getenv("RASTRIX_KERNELS");
  if (v == nullptr) return KernelLevel::kAvx2;
  if (std::strcmp(v, "reference") == 0) return KernelLevel::kReference;
  if (std::strcmp(v, "sse2") == 0) return KernelLevel::kSse2;
  return KernelLevel::kAvx2;
}

KernelLevel& current() {
  static KernelLevel level = std::min(detect(), environment_cap());
  return level;
}

}  // namespace

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
