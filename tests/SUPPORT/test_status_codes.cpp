// Every status code the engine's sources push either has a message in the
// status table or is on the documented list of codes without one. The list
// of pushed codes is read from the sources at build time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "SUPPORT/status_msg.h"
#include "rastrix/rastrix.h"

namespace {

struct PushedCode {
  int32_t code;
  const char* name;
};

constexpr PushedCode kPushed[] = {
#define X(name) {name, #name},
#include "pushed_codes.inc"
#undef X
};

bool without_message(int32_t code) {
  const int32_t* end = rx::kCodesWithoutMessage + rx::kCodesWithoutMessageCount;
  return std::find(rx::kCodesWithoutMessage, end, code) != end;
}

TEST(StatusCodes, EveryPushedCodeHasAMessageOrIsListedWithout) {
  // The sources push dozens of codes; a handful means the scan broke.
  ASSERT_GT(std::size(kPushed), 30u);
  for (const PushedCode& p : kPushed) {
    const bool message = RX_error_message_get(p.code) != nullptr;
    EXPECT_TRUE(message || without_message(p.code)) << p.name << " has no message";
  }
}

TEST(StatusCodes, TheCodesWithoutMessageReallyHaveNone) {
  for (int i = 0; i < rx::kCodesWithoutMessageCount; ++i)
    EXPECT_EQ(RX_error_message_get(rx::kCodesWithoutMessage[i]), nullptr)
        << rx::kCodesWithoutMessage[i];
}

}  // namespace
