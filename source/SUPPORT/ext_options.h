// Option delegation to extension filters: the options block asks here for
// option ids the built-in table does not know. Kept apart from ext.h so the
// options block need not see the filter record (which sees the options).
#pragma once

#include <cstdint>

namespace rx {

// Offers an option id that the built-in table does not know to the loaded
// extension filters; 1 when one of them took it, 0 when none did.
int32_t extension_option_set(uint32_t option_id, uintptr_t value);
int32_t extension_option_get(uint32_t option_id, void* value);

}  // namespace rx
