// The process error stack: reporters push one entry per detected failure and
// public functions return the number of entries.
#pragma once

#include <cstdint>

#include "rastrix/rpb.h"

namespace rx {

// The stack keeps the first 29 failures since the last clear.
inline constexpr int32_t kErrorStackDepth = 29;
// Entry file names keep at most 13 characters.
inline constexpr int kErrorFileChars = 13;
// Returned by a push when the stack is not registered.
inline constexpr int32_t kErrorStackMissing = -101;

struct ERROR_ENTRY {
  int32_t line;
  int32_t code;
  int32_t iVal;
  int32_t lVal;
  char file[16];
};
static_assert(sizeof(ERROR_ENTRY) == 32);

struct ERROR_STACK {
  uint32_t tag;
  int32_t count;
  ERROR_ENTRY entries[kErrorStackDepth];
};

inline int32_t error_count() { return RPb_AF_error_check(); }
inline void error_clear() { RPb_AF_error_clear(); }

}  // namespace rx

// Every engine source file names itself by its path in the engine's tree:
//   RX_SOURCE("source\\SUPPORT\\rxh_util.cpp");
// and reports with RX_ERR(code, iVal, lVal), which returns the code.
#define RX_SOURCE(path) [[maybe_unused]] static constexpr const char kRxSource[] = path
#define RX_ERR(code, ival, lval)                                                       \
  RPb_AF_error_set(kRxSource, __LINE__, static_cast<int32_t>(code),                    \
                   static_cast<int32_t>(ival), static_cast<int32_t>(lval))
