// Peer programs the tests check against. The build finds them (RX_PEER_*,
// "" when it found none). Without one, a test that needs it skips on a
// developer machine; a build with RX_REQUIRE_PEERS (CI) fails that test
// instead, so nothing is left out without notice.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#ifndef RX_REQUIRE_PEERS
#define RX_REQUIRE_PEERS 0
#endif

namespace rxtest {

inline constexpr bool kPeersRequired = RX_REQUIRE_PEERS != 0;

// The build's choice of a program is still there and can be run.
inline bool runnable(const char* path) { return path[0] != '\0' && access(path, X_OK) == 0; }

}  // namespace rxtest

// Skips (or, when peers are required, fails) the current test unless
// AVAILABLE; WHAT names the peer in the message.
#define RX_NEED_PEER(available, what)                                                \
  do {                                                                               \
    if (!(available)) {                                                              \
      if (rxtest::kPeersRequired) GTEST_FAIL() << what << " is missing (required)";  \
      GTEST_SKIP() << what << " is not installed";                                   \
    }                                                                                \
  } while (0)
