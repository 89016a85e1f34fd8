#include "rast_error_hold.h"

#include "rastrix/rastrix.h"
#include "rastrix/rpb.h"

namespace rast {

void ErrorHold::begin() {
  if (depth_++ > 0) return;
  failed_ = false;
  reported_ = false;
  entries_.clear();
}

void ErrorHold::end() {
  if (depth_ == 0 || --depth_ > 0 || !failed_) return;
  // Put the failing step's entries back as they were, whatever came after.
  RPb_AF_error_clear();
  for (const Entry& e : entries_)
    RPb_AF_error_set(e.file.c_str(), e.line, e.code, e.ival, e.lval);
}

bool ErrorHold::take(int32_t count) {
  if (failed_) return false;
  if (count <= 0 || depth_ == 0) return true;
  failed_ = true;
  char file[16];
  for (int32_t i = 0; i < count; ++i) {
    Entry e{};
    if (RX_error_get(i, file, sizeof file, &e.line, &e.code, &e.ival, &e.lval) == 0) break;
    e.file = file;
    entries_.push_back(e);
  }
  return true;
}

bool ErrorHold::report_due() {
  if (failed_ && reported_) return false;
  reported_ = failed_;
  return true;
}

}  // namespace rast
