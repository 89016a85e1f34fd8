// Detection: read the head, refuse common non-image files, then ask each
// enabled filter's test in detection order; the first claim wins. The
// stream goes back to where it was on every path.
#include "LOAD/detect.h"

#include <cstring>

#include "LOAD/filter_table.h"
#include "SUPPORT/engine_tables.h"
#include "SUPPORT/error.h"
#include "SUPPORT/ext.h"
#include "SUPPORT/instance.h"
#include "rastrix/rastrix.h"

RX_SOURCE("source\\LOAD\\detect.cpp");

namespace rx {
namespace {

struct DETECT_SWITCHES {
  uint32_t tag;
  int32_t count;
  int32_t on[kBuiltinFilterCount];
};

DETECT_SWITCHES* switches() { return instance_table<DETECT_SWITCHES>(kKeyDetection); }

// Pushes the codes of a system file the engine refuses outright; true when
// the head is one.
bool refuse_system_file(const uint8_t* h) {
  int32_t code = 0;
  if (h[0] == 'M' && h[1] == 'Z') code = RXE_SYSTEM_FILE_EXECUTABLE;
  else if (h[0] == 'P' && h[1] == 'K') code = RXE_SYSTEM_FILE_ZIP;
  else if (h[0] == '?' && h[1] == '_' && h[2] == 3 && h[3] == 0) code = RXE_SYSTEM_FILE_HELP;
  // A PDF document carries no raster image the engine could load.
  else if (std::memcmp(h, "%PDF", 4) == 0) code = RXE_NO_RASTER_IMAGE;
  if (code == 0) return false;
  RX_ERR(code, 0, 0);
  RX_ERR(RXE_SYSTEM_FILE, 0, 0);
  return true;
}

bool switch_on(int32_t index) {
  if (index >= kBuiltinFilterCount) {
    const int32_t* on = extension_detect_switch(index);
    return on != nullptr && *on != 0;
  }
  return detection_switch_get(index) != 0;
}

}  // namespace

int32_t detection_switch_get(int32_t index) {
  const DETECT_SWITCHES* s = switches();
  if (s == nullptr || index < 0 || index >= kBuiltinFilterCount) return 1;
  return s->on[index];
}

int32_t detection_table_create() {
  void* table = nullptr;
  int32_t code = table_create(kKeyDetection, sizeof(DETECT_SWITCHES), &table);
  if (code != 0) return code;
  auto* s = static_cast<DETECT_SWITCHES*>(table);
  s->count = kBuiltinFilterCount;
  for (int32_t& on : s->on) on = 1;
  // Nearly any file passes the text test, so text is off until asked for.
  s->on[filter_search(RX_FORMAT_TEXT)] = 0;
  return 0;
}

void detection_table_destroy() { table_destroy(kKeyDetection); }

int32_t detect(IO_REC* io, int32_t* filter_index) {
  if (filter_index) *filter_index = -1;
  const int32_t start = RPb_IO_tell(io);
  uint8_t head[kHeadBytes] = {};
  const int32_t got = RPb_IO_read(io, head, kHeadBytes);
  int32_t found = -1, last = -1;
  if (got <= 0) {
    RX_ERR(RXE_CANT_READ_FILE, 0, kHeadBytes);
  } else if (got < 5 || !refuse_system_file(head)) {
    for (int32_t i = filter_first(); i >= 0; i = filter_next(i)) {
      RX_DETECT_FN test = filter_detect(i);
      if (test == nullptr || !switch_on(i)) continue;
      last = i;
      // The built-in tests that read past the head seek to absolute
      // offsets; a registered filter's test may expect the stream at the
      // head, wherever an earlier test left it.
      if (i >= kBuiltinFilterCount) RPb_IO_seek(io, start, RX_SEEK_SET);
      if (test(io, head, got) != 0) {
        found = i;
        break;
      }
    }
  }
  if (found >= 0 && RPb_AF_error_check() == 0) {
    RPb_IO_seek(io, start, RX_SEEK_SET);
    if (filter_index) *filter_index = found;
    return 0;
  }
  RX_ERR(RXE_DETECT_FAILED, RPb_AF_error_check(), last);
  RPb_IO_seek(io, start, RX_SEEK_SET);
  return RPb_AF_error_check();
}

}  // namespace rx

using namespace rx;

extern "C" int32_t RPb_RPr_filter_detect(IO_REC* io, int32_t* filter_index) {
  return detect(io, filter_index);
}

extern "C" int32_t RX_detection_switch_set(int32_t format_code, int32_t on) {
  RPb_AF_error_clear();
  bool matched = false;
  for (int32_t i = filter_first(); i >= 0 && !matched; i = filter_next(i)) {
    if (filter_format_code(i) != format_code) continue;
    matched = true;
    if (i >= kBuiltinFilterCount) {
      if (int32_t* s = extension_detect_switch(i)) *s = on ? 1 : 0;
    } else if (DETECT_SWITCHES* s = switches()) {
      s->on[i] = on ? 1 : 0;
    }
  }
  if (!matched) RX_ERR(RXE_INVALID_IMAGE_FORMAT, format_code, 0);
  return RPb_AF_error_check();
}
