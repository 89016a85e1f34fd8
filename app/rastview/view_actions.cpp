#include "view_actions.h"

#include <algorithm>
#include <array>
#include <iterator>

#include "view_control.h"

namespace rastview {
namespace {

constexpr Choice kChoices[] = {
    {"&Fit", "&Whole image", dispid::FitMethod, 0, true},
    {"&Fit", "Fit &width", dispid::FitMethod, 1, false},
    {"&Fit", "Fit &height", dispid::FitMethod, 2, false},
    {"&Fit", "&Actual size", dispid::FitMethod, 3, false},
    {"&Anti-alias", "&Off", dispid::AliasMode, 0, true},
    {"&Anti-alias", "&Keep black", dispid::AliasMode, 1, false},
    {"&Anti-alias", "&Grey levels", dispid::AliasMode, 2, false},
    {"&Anti-alias", "Keep black, &ink variant", dispid::AliasMode, 3, false},
    {"&Anti-alias", "Grey levels, i&nk variant", dispid::AliasMode, 4, false},
    {"&Dither", "&Ordered", dispid::DitherMode, 0, true},
    {"&Dither", "&Colour cube", dispid::DitherMode, 1, false},
    {"&Dither", "Ordered, &palettes too", dispid::DitherMode, 2, false},
};

constexpr Toggle kToggles[] = {
    {"&Magnifier", "Ctrl+M", dispid::MagnifyWindow, 1, 0},
    {"&Pan window", "Ctrl+P", dispid::PanWindow, -1, 0},  // TRUE is -1
    {"&Hand panning", "Ctrl+H", dispid::HandPanning, -1, 0},
    {"&Select and zoom", "Ctrl+E", dispid::SelectEvent, 2, 0},
};

constexpr std::array<const char*, kEffectCount> kEffects = {
    "Strips from the &left",  "Strips from the &right", "&Random cells",
    "&Diagonals",             "&Clock hand",            "&Growing sector",
    "&Two hands",             "Slide from l&eft",       "Slide from ri&ght",
    "&Falling blocks",        "Dri&ps",
};

constexpr int32_t kZooms[] = {10, 25, 50, 75, 100, 150, 200, 300, 400, 600, 800, 1600};

}  // namespace

const Choice* viewChoices(int* count) {
  *count = static_cast<int>(std::size(kChoices));
  return kChoices;
}

const Toggle* toolToggles(int* count) {
  *count = static_cast<int>(std::size(kToggles));
  return kToggles;
}

const char* effectName(int effect) {
  return effect >= 0 && effect < kEffectCount ? kEffects[static_cast<size_t>(effect)] : "";
}

int32_t zoomStep(int32_t percent, int direction) {
  if (direction > 0) {
    for (int32_t z : kZooms)
      if (z > percent) return z;
    return std::max(percent, kZooms[std::size(kZooms) - 1]);
  }
  for (auto it = std::rbegin(kZooms); it != std::rend(kZooms); ++it)
    if (*it < percent) return *it;
  return std::min(percent, kZooms[0]);
}

}  // namespace rastview
