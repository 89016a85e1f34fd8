// The code-to-message table of the status codes.
#pragma once

#include <cstdint>

namespace rx {

struct StatusMessage {
  int32_t code;
  const char* message;
};

// Ends with the pair (RXE_END_OF_TABLE, "").
extern const StatusMessage kStatusMessages[];
extern const int kStatusMessageCount;

// Walks the table from the top; null when the end pair is reached first.
const char* status_message_find(int32_t code);

}  // namespace rx
