// (being written)
#include "LOAD/dfltldcb.h"

namespace rx {
void load_callbacks_install(IO_REC*) {}
}  // namespace rx
