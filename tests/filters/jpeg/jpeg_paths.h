// The ways a JPEG can be written and read: every kernel level this
// processor has, with the bands done one after the other or split with a
// helper thread (which small pictures get only when the threshold is
// lowered). Every path must give the same bytes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "SUPPORT/kernels.h"
#include "filters/jpeg/jpeg_bands.h"
#include "filters/jpeg/jpeg_read.h"

namespace jpegpath {

struct Path {
  rx::KernelLevel level;
  bool helper;
};

inline std::vector<Path> every_path() {
  std::vector<Path> out;
  for (rx::KernelLevel l : {rx::KernelLevel::kReference, rx::KernelLevel::kSse2, rx::KernelLevel::kAvx2}) {
    if (l > rx::kernel_level_supported()) continue;
    out.push_back({l, false});
    if (l != rx::KernelLevel::kReference) out.push_back({l, true});
  }
  return out;
}

// Sets a path for the saves and loads of a scope, and the defaults back
// after.
class PathScope {
 public:
  explicit PathScope(Path p) : level_(p.level) { thresholds_set(p.helper ? 0 : INT64_MAX); }
  ~PathScope() { thresholds_set(kDefaultThreshold); }

 private:
  static constexpr int64_t kDefaultThreshold = int64_t{1} << 18;
  static void thresholds_set(int64_t pixels) {
    rx::jpeg::enc::scan_helper_threshold_set(pixels);
    rx::jpeg::scan_read_helper_threshold_set(pixels);
  }
  rx::KernelLevelScope level_;
};

// What `f` gives on the plain path: the reference kernels, no helper.
template <class F>
auto on_plain_path(F f) {
  PathScope scope({rx::KernelLevel::kReference, false});
  return f();
}

inline std::string describe(Path p) {
  return "level " + std::to_string(int(p.level)) + (p.helper ? " with helper" : "");
}

// Runs `f` once on every path, each failure naming the path.
template <class F>
void on_every_path(F f) {
  for (const Path& p : every_path()) {
    PathScope scope(p);
    SCOPED_TRACE(describe(p));
    f();
  }
}

}  // namespace jpegpath
