// The form as designed, in twips, and its conversion to pixels.
#pragma once

namespace kavelo::layout {

inline constexpr int kTwipsPerPixel = 15;

// Rounds to the nearest pixel; designs only hold non-negative values.
constexpr int pixels(int twips) { return (twips + kTwipsPerPixel / 2) / kTwipsPerPixel; }

struct TwipsRect {
  const char* name;
  int left, top, width, height;
};

// Positions inside the client area, below the menu bar.
inline constexpr TwipsRect kControls[] = {
    {"Drive1", 240, 120, 2055, 300},    {"Dir1", 240, 480, 2055, 1350},
    {"File1", 2520, 480, 2055, 1350},   {"Label1", 2520, 240, 1455, 255},
    {"Command1", 240, 2040, 2055, 375}, {"Command2", 2520, 2040, 2055, 375},
    {"Slider1", 120, 2640, 4455, 255},  {"Rast1", 4320, 120, 255, 255},
};

inline constexpr int kClientWidth = 4755;
inline constexpr int kClientHeight = 3015;
// The form's height counts the menu bar but not the window manager's
// title bar, which the program does not draw. At rest the slider row lies
// below the visible area; while converting it shows.
inline constexpr int kRestHeight = 3200;
inline constexpr int kConvertingHeight = 3600;

static_assert(pixels(kClientWidth) == 317 && pixels(kRestHeight) == 213 &&
              pixels(kConvertingHeight) == 240);

}  // namespace kavelo::layout
