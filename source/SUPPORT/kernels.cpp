// Kernel level: the processor's offer, the environment's cap, and the
// level tests set.
#include "SUPPORT/kernels.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace rx {
namespace {

#if defined(__x86_64__)
// LZCNT: extended leaf 0x80000001, ECX bit 5. Asked of the processor
// directly, as not every compiler's __builtin_cpu_supports knows it.
bool has_lzcnt() {
  unsigned int a = 0, b = 0, c = 0, d = 0;
  return __get_cpuid(0x80000001u, &a, &b, &c, &d) != 0 && (c & (1u << 5)) != 0;
}
#endif

KernelLevel detect() {
#if defined(__x86_64__)
  __builtin_cpu_init();
  // The AVX2 kernels also use the bit instructions that came with it.
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
      __builtin_cpu_supports("bmi2") && has_lzcnt())
    return KernelLevel::kAvx2;
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
