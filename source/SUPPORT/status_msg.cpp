// Message lookup: a walk from the top of the table that stops at the end pair.
#include "SUPPORT/status_msg.h"

#include "rastrix/rastrix.h"

namespace rx {

const char* status_message_find(int32_t code) {
  for (const StatusMessage* m = kStatusMessages;; ++m) {
    if (m->code == RXE_END_OF_TABLE) return nullptr;
    if (m->code == code) return m->message;
  }
}

}  // namespace rx

extern "C" const char* RX_error_message_get(int32_t code) { return rx::status_message_find(code); }
