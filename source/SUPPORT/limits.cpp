// Load limits: stored in the settings record, applied by the load
// pipeline around every reader and by the readers before they allocate.
#include "SUPPORT/limits.h"

#include <algorithm>

#include "SUPPORT/error.h"
#include "SUPPORT/mem_tag.h"
#include "SUPPORT/settings.h"
#include "rastrix/rastrix.h"

RX_SOURCE("source\\SUPPORT\\limits.cpp");

namespace rx {
namespace {

// The engine's own limit for both: no image, and so no block a load needs,
// is larger than the largest DIB.
constexpr uint64_t kEngineLimit = kMaxDibBytes;

uint64_t or_engine(uint64_t v) { return v == 0 ? kEngineLimit : std::min(v, kEngineLimit); }

}  // namespace

LoadLimits load_limits() {
  const ENGINE_SETTINGS* s = settings_record();
  return LoadLimits{or_engine(s ? s->max_pixels : 0), or_engine(s ? s->max_allocation : 0)};
}

bool load_limits_allow(int64_t width, int64_t height, const DibGeometry& g) {
  const LoadLimits l = load_limits();
  const uint64_t pixels = static_cast<uint64_t>(width) * static_cast<uint64_t>(height);
  return pixels <= l.max_pixels && g.total <= l.max_allocation;
}

void load_limits_store(const LoadLimits& limits) {
  if (ENGINE_SETTINGS* s = settings_record()) {
    s->max_pixels = limits.max_pixels;
    s->max_allocation = limits.max_allocation;
  }
}

LoadAllocationScope::LoadAllocationScope()
    : previous_(mem_alloc_limit_set(static_cast<size_t>(load_limits().max_allocation))) {}

LoadAllocationScope::~LoadAllocationScope() { mem_alloc_limit_set(previous_); }

}  // namespace rx

using namespace rx;

extern "C" int32_t RX_load_limits_set(uint64_t max_pixels, uint64_t max_allocation) {
  RPb_AF_error_clear();
  load_limits_store(LoadLimits{max_pixels, max_allocation});
  return RPb_AF_error_check();
}

extern "C" int32_t RX_load_limits_get(uint64_t* max_pixels, uint64_t* max_allocation) {
  const LoadLimits l = load_limits();
  if (max_pixels != nullptr) *max_pixels = l.max_pixels;
  if (max_allocation != nullptr) *max_allocation = l.max_allocation;
  return 0;
}
