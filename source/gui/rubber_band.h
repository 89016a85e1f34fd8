// Rubber-band selection: one record per tracking, the property "SEL1" of
// the window, whose procedure is the tracker's until the release.
#pragma once

namespace rx {

// Engine stop: the tracking ends without its callback.
void selection_close(void* record);

}  // namespace rx
