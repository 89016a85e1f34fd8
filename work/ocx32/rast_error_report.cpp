#include "rast_error_report.h"

#include <cstdio>

#include "platform/com.h"
#include "platform/kernel.h"
#include "rastrix/rastrix.h"
#include "rastrix/rpb.h"

namespace rast {
namespace {

ErrorReportShowHook g_show_hook = nullptr;

// The longest source path the stack can name, as the window's buffer holds.
constexpr uint32_t kFileBuffer = 260;

}  // namespace

void error_report_show_hook_set(ErrorReportShowHook hook) { g_show_hook = hook; }

bool error_report_hooked() { return g_show_hook != nullptr; }

// Each entry ends its message line with a line break, so that entries never
// run together and the block's closing break leaves one empty line.
std::string error_report_entry(int32_t index, const char* file, int32_t line, int32_t code,
                               int32_t ival, int32_t lval) {
  const char* message = RX_error_message_get(code);
  char head[kFileBuffer + 96];
  std::snprintf(head, sizeof head, "[%d] %s (%d) Code=%d (%d, %d)\r\n", index,
                file != nullptr ? file : "", line, code, ival, lval);
  std::string entry = head;
  entry += message != nullptr ? message : "Error Not Found";
  entry += "\r\n";
  return entry;
}

bool ErrorReport::show_stack(void* owner) {
  int32_t count = RPb_AF_error_check();
  if (count <= 0) return false;
  int32_t code0 = 0;
  RX_error_get(0, nullptr, 0, nullptr, &code0, nullptr, nullptr);
  // The user's own cancel is not worth a window.
  if (count == 1 && code0 == RXE_INTERRUPTED_BY_USER) return false;
  visible_ = true;
  for (int32_t i = 0; i < count; ++i) {
    char file[kFileBuffer] = {};
    int32_t line = 0, code = 0, ival = 0, lval = 0;
    if (RX_error_get(i, file, kFileBuffer, &line, &code, &ival, &lval) == 0) break;
    text_ += error_report_entry(i, file, line, code, ival, lval);
  }
  text_ += "\r\n";
  if (g_show_hook != nullptr) g_show_hook(owner, *this);
  return true;
}

bool ErrorReport::save_log(const char* path) const {
  if (path == nullptr || *path == '\0') return false;
  int32_t file = pk_file_open(path, PK_ACCESS_WRITE);
  if (file < 0) return false;
  bool ok = pk_file_seek(file, 0, PK_SEEK_END) >= 0;
  // The text ends with "\r\n"; written without its last character and then a
  // line feed, the file receives exactly the text.
  if (ok && !text_.empty()) {
    auto n = static_cast<int32_t>(text_.size() - 1);
    ok = pk_file_write(file, text_.data(), n) == n && pk_file_write(file, "\n", 1) == 1;
  }
  pk_file_close(file);
  return ok;
}

AboutTexts about_texts() {
  int32_t major = 0, minor = 0, update = 0;
  char date[32] = {};
  RX_engine_version_get(&major, &minor, &update, date, sizeof date);
  char buffer[64];
  AboutTexts t;
  std::snprintf(buffer, sizeof buffer, "Version %d.%02d.%03d", major, minor, update);
  t.version = buffer;
  std::snprintf(buffer, sizeof buffer, "Build date:  %s", date);
  t.build_date = buffer;
  // The path is shown as it is: on a case-sensitive file system a lowered
  // path would name another file.
  char path[4096] = {};
  if (com::com_module_path(reinterpret_cast<const void*>(&about_texts), path, sizeof path) ==
      com::S_OK)
    t.module_path = path;
  return t;
}

}  // namespace rast
