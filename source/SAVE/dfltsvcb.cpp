// (being written)
#include "SAVE/dfltsvcb.h"

namespace rx {
void save_callbacks_install(IO_REC*) {}
}  // namespace rx
