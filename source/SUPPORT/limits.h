// The engine's limits against hostile files, and how a load applies them.
//
// A file's header may claim an image of any size. Before a reader builds
// or allocates anything for it, the size goes through dib_geometry
// (dib_size.h: no DIB above kMaxDibBytes) and then through the load limits
// a caller set with RX_load_limits_set: the largest image in pixels and the
// largest single block a load may allocate. Left at 0 they are the DIB
// limit itself, the largest image the engine can hold.
#pragma once

#include <cstddef>
#include <cstdint>

#include "SUPPORT/dib_size.h"

namespace rx {

struct LoadLimits {
  uint64_t max_pixels;      // width x height
  uint64_t max_allocation;  // bytes of one block
};

// The limits in force, with the engine's own in place of 0.
LoadLimits load_limits();
// Stores the limits a caller set (0: the engine's own).
void load_limits_store(const LoadLimits& limits);

// Checks an image a file describes against the load limits: true when it
// may be built. `g` is the image's checked geometry. A caller that gets
// false reports RXE_LOAD_LIMIT_EXCEEDED with the width and height.
bool load_limits_allow(int64_t width, int64_t height, const DibGeometry& g);

// While a load runs, no single block of tagged memory may exceed the load's
// allocation limit: a larger request fails as if the memory were not
// there. The scope sets the limit and puts back the one it found.
class LoadAllocationScope {
 public:
  LoadAllocationScope();
  ~LoadAllocationScope();
  LoadAllocationScope(const LoadAllocationScope&) = delete;
  LoadAllocationScope& operator=(const LoadAllocationScope&) = delete;

 private:
  size_t previous_;
};

}  // namespace rx
