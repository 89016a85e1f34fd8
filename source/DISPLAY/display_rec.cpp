// The per-process display record. It holds only its tag until the display
// engine gives it its screen defaults.
#include "DISPLAY/display_rec.h"

#include "SUPPORT/engine_tables.h"
#include "SUPPORT/instance.h"

namespace rx {
namespace {

struct DISPLAY_REC {
  uint32_t tag;
  int32_t reserved[7];
};

}  // namespace

int32_t display_record_create() { return table_create(kKeyDisplay, sizeof(DISPLAY_REC), nullptr); }

void display_record_destroy() { table_destroy(kKeyDisplay); }

}  // namespace rx
