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

// The codes the engine pushes without a message, by design (the second
// list in rx_status.h). Every other code it pushes is in the table.
extern const int32_t kCodesWithoutMessage[];
extern const int kCodesWithoutMessageCount;

// Walks the table from the top; null when the end pair is reached first.
const char* status_message_find(int32_t code);

}  // namespace rx
