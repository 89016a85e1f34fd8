// Engine start and stop: register the process, then create the per-process
// tables of every layer in a fixed order (error stack first, so later
// failures can be reported); stop destroys them in the same order and
// releases every block still held by any tag. This is the engine's top
// layer: the only place that knows every table.
#include <algorithm>
#include <cstring>

#include "DISPLAY/display_engine.h"
#include "DISPLAY/display_rec.h"
#include "IO/io_rec.h"
#include "LOAD/detect.h"
#include "LOAD/dfltldcb.h"
#include "SAVE/dfltsvcb.h"
#include "SUPPORT/engine_tables.h"
#include "SUPPORT/error.h"
#include "SUPPORT/instance.h"
#include "SUPPORT/mem_tag.h"
#include "gui/gui_start.h"
#include "gui/tool_classes.h"
#include "rastrix/rastrix.h"

RX_SOURCE("source\\ENGINE\\engine.cpp");

namespace rx {
namespace {

struct EngineTable {
  int32_t (*create)();
  void (*destroy)();
};

// The stream template, with the load and save pipelines' image callbacks
// installed, so that every stream copied from it can build and read images.
int32_t stream_template_create() {
  const int32_t code = io_template_create();
  if (code != 0) return code;
  IO_REC* io = io_template();
  load_callbacks_install(io);
  save_callbacks_install(io);
  return 0;
}

constexpr EngineTable kTables[] = {
    {error_stack_create, error_stack_destroy},
    {stream_template_create, io_template_destroy},
    {options_create, options_destroy},
    {display_record_create, display_record_destroy},
    {display_engine_create, display_engine_destroy},
    {detection_table_create, detection_table_destroy},
    {settings_create, settings_destroy},
    {extension_registry_create, extension_registry_destroy},
    // Before the image windows, so that trackings give the windows back
    // before their associations end.
    {tools_start, tools_stop},
    {gui_start, gui_stop},
};

}  // namespace

}  // namespace rx

using namespace rx;

extern "C" int32_t RX_engine_start(uintptr_t module) {
  if (instance_register(module) != kInstOk) return 0;
  for (const EngineTable& t : kTables) {
    int32_t code = t.create();
    if (code != 0) RX_ERR(code, 0, 0);
  }
  return 1;
}

extern "C" int32_t RX_engine_stop(void) {
  for (const EngineTable& t : kTables) t.destroy();
  instance_unregister();
  return mem_release_everything();
}

namespace {
constexpr int32_t kVersionMajor = 6;
constexpr int32_t kVersionMinor = 3;
constexpr int32_t kVersionUpdate = 1;
}  // namespace

// The build date is the compiler's "Mmm dd yyyy" (day padded with a space).
extern "C" int32_t RX_engine_version_get(int32_t* major, int32_t* minor, int32_t* update,
                                         char* build_date, uint32_t date_size) {
  if (major) *major = kVersionMajor;
  if (minor) *minor = kVersionMinor;
  if (update) *update = kVersionUpdate;
  if (build_date != nullptr && date_size > 0) {
    static constexpr char kDate[] = __DATE__;
    size_t n = std::min<size_t>(date_size - 1, sizeof kDate - 1);
    std::memcpy(build_date, kDate, n);
    build_date[n] = '\0';
  }
  return 0;
}
