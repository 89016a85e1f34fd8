// The menu entries that are one property write each, as a table: the View
// menu's choices (fit, anti-aliasing, dithering) and the Tools
// menu's switches. The main window builds its menus from it.
#pragma once

#include <cstdint>

#include "platform/com.h"

namespace rastview {

// One of several values of one property: the entries of a group are
// exclusive, and the one checked at start matches the control's default.
struct Choice {
  const char* menu;     // the submenu of View it stands in
  const char* text;
  com::DISPID id;
  int32_t value;
  bool checked;
};

// A switch: `on` while checked, `off` when not.
struct Toggle {
  const char* text;
  const char* shortcut;
  com::DISPID id;
  int32_t on;
  int32_t off;
};

const Choice* viewChoices(int* count);
const Toggle* toolToggles(int* count);

// The transition effects of the Effects menu, by their number.
inline constexpr int kEffectCount = 11;
const char* effectName(int effect);

// The zoom levels the zoom steps go through, in percent.
// Zoom in from `percent` gives the next larger level, zoom out the next
// smaller one; a level off the table steps to its nearest neighbour, and
// one past either end stays where it is.
int32_t zoomStep(int32_t percent, int direction);

}  // namespace rastview
