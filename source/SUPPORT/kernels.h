// The one place where the engine chooses between its fast kernels and the
// plain reference kernels beside them (the level itself is kept by the
// platform layer, whose drawing kernels follow it too). Both give identical bytes; the
// reference path exists to prove it and to rule the fast one out when
// something looks wrong.
//
// The level is what the processor offers (SSE2 is the floor on x86-64;
// other machines run the reference path). Setting RASTRIX_KERNELS in the
// environment to "reference" forces the plain path for the whole process,
// as CI does for one run of the codec tests; "sse2" caps the level. The
// environment is read once, on first use.
#pragma once

#include <cstdint>

namespace rx {

enum class KernelLevel : int32_t {
  kReference = 0,  // plain C++
  kSse2 = 1,
  kAvx2 = 2,  // with BMI1, BMI2 and LZCNT, as every processor with AVX2 has them
};

// The level every kernel choice follows.
KernelLevel kernel_level();

// True when the fast kernels are in use (any level above the reference).
inline bool kernels_fast() { return kernel_level() != KernelLevel::kReference; }

// What the processor offers, whatever the environment says.
KernelLevel kernel_level_supported();

// The level a value of RASTRIX_KERNELS (null when unset) leaves of what the
// processor offers: "reference" and "sse2" cap it, anything else does not.
KernelLevel kernel_level_capped(const char* setting, KernelLevel supported);

// Sets the level for the calls that follow, capped at what the processor
// offers, and returns the previous one. For tests that compare the paths.
KernelLevel kernel_level_set(KernelLevel level);

// Restores the level a scope found, on every way out.
class KernelLevelScope {
 public:
  explicit KernelLevelScope(KernelLevel level) : previous_(kernel_level_set(level)) {}
  ~KernelLevelScope() { kernel_level_set(previous_); }
  KernelLevelScope(const KernelLevelScope&) = delete;
  KernelLevelScope& operator=(const KernelLevelScope&) = delete;

 private:
  KernelLevel previous_;
};

}  // namespace rx
