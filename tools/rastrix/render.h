// `rastrix render`: an image drawn by the display engine into a surface
// of a chosen display depth, saved as an image file.
#pragma once

#include "command_line.h"

namespace rxcli {

int run_render(const RenderRequest& request);

}  // namespace rxcli
