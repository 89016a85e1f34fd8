// The one kernel switch: what the environment setting leaves of the
// processor's offer, and tests setting a level within it.
#include <gtest/gtest.h>

#include "SUPPORT/kernels.h"

namespace {

using rx::KernelLevel;

TEST(KernelLevel, TheEnvironmentCapsButNeverRaises) {
  EXPECT_EQ(rx::kernel_level_capped("reference", KernelLevel::kAvx2), KernelLevel::kReference);
  EXPECT_EQ(rx::kernel_level_capped("sse2", KernelLevel::kAvx2), KernelLevel::kSse2);
  EXPECT_EQ(rx::kernel_level_capped(nullptr, KernelLevel::kAvx2), KernelLevel::kAvx2);
  EXPECT_EQ(rx::kernel_level_capped("fast", KernelLevel::kSse2), KernelLevel::kSse2);
  EXPECT_EQ(rx::kernel_level_capped("avx2", KernelLevel::kReference), KernelLevel::kReference);
  EXPECT_EQ(rx::kernel_level_capped("REFERENCE", KernelLevel::kAvx2), KernelLevel::kAvx2)
      << "the setting is spelt exactly";
}

TEST(KernelLevel, ASetLevelStaysWithinTheProcessorsAndComesBack) {
  const KernelLevel before = rx::kernel_level();
  {
    rx::KernelLevelScope scope(KernelLevel::kAvx2);
    EXPECT_LE(rx::kernel_level(), rx::kernel_level_supported());
    rx::kernel_level_set(KernelLevel::kReference);
    EXPECT_FALSE(rx::kernels_fast());
  }
  EXPECT_EQ(rx::kernel_level(), before);
}

}  // namespace
