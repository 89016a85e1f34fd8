// The kernel level: what the processor offers, the environment's cap, and
// the level tests set.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "platform/kernel.h"

#if defined(__x86_64__)
#include <cpuid.h>
#endif

namespace {

#if defined(__x86_64__)
// LZCNT: extended leaf 0x80000001, ECX bit 5. Asked of the processor
// directly, as not every compiler's __builtin_cpu_supports knows it.
bool has_lzcnt() {
  unsigned int a = 0, b = 0, c = 0, d = 0;
  return __get_cpuid(0x80000001u, &a, &b, &c, &d) != 0 && (c & (1u << 5)) != 0;
}
#endif

int32_t detect() {
#if defined(__x86_64__)
  __builtin_cpu_init();
  // The AVX2 kernels also use the bit instructions that came with it.
  if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi") &&
      __builtin_cpu_supports("bmi2") && has_lzcnt())
    return PK_KERNELS_AVX2;
  return PK_KERNELS_SSE2;
#else
  return PK_KERNELS_REFERENCE;
#endif
}

int32_t& current() {
  static int32_t level = pk_kernel_level_capped(std::getenv("RASTRIX_KERNELS"), pk_kernel_level_supported());
  return level;
}

}  // namespace

extern "C" int32_t pk_kernel_level_capped(const char* setting, int32_t supported) {
  int32_t cap = PK_KERNELS_AVX2;
  if (setting != nullptr && std::strcmp(setting, "reference") == 0) cap = PK_KERNELS_REFERENCE;
  if (setting != nullptr && std::strcmp(setting, "sse2") == 0) cap = PK_KERNELS_SSE2;
  return std::min(cap, supported);
}

extern "C" int32_t pk_kernel_level(void) { return current(); }

extern "C" int32_t pk_kernel_level_supported(void) {
  static const int32_t supported = detect();
  return supported;
}

extern "C" int32_t pk_kernel_level_set(int32_t level) {
  const int32_t previous = current();
  current() = std::clamp(level, int32_t{PK_KERNELS_REFERENCE}, pk_kernel_level_supported());
  return previous;
}
