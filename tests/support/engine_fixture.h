// A test fixture that starts the engine before each test and stops it
// after, checking that the stop leaves no tagged block behind.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "rastrix/rastrix.h"
#include "rastrix/rpb.h"

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

// One error-stack entry, for comparisons in tests.
struct ErrorEntry {
  std::string file;
  int32_t line = 0, code = 0, iVal = 0, lVal = 0;
};
std::vector<ErrorEntry> error_entries();
// The codes on the error stack, in order.
std::vector<int32_t> error_codes();
