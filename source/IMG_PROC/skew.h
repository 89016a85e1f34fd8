// The skew of a bi-level page, shared by the measurement and the deskew.
#pragma once

#include "SUPPORT/image_rec.h"

namespace rx::ip {

// Measures the skew of the 1-bit image in degrees (the angle that
// RX_IP_rotate_any takes to undo it). Pushes RXE_INVALID_BIT_COUNT for
// other depths and returns false. When memory for the blobs runs out it
// pushes RXE_GLOBAL_MEMORY_DEPLETED and gives an angle of 0.
bool skew_measure(IMAGE_REC* record, double* angle);

}  // namespace rx::ip
