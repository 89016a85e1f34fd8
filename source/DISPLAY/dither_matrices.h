// The two 8 x 8 ordered-dither matrices of the display, indexed
// [row phase][column phase]. Matrix A (thresholds 0..31) dithers into the
// 3-3-2 colour cube, matrix B (4..252 in steps of 4) into the 1-bit and
// 16-colour devices.
#pragma once

#include <cstdint>

namespace rx {

inline constexpr uint8_t kDitherA[8][8] = {
    {0, 16, 4, 20, 1, 17, 5, 21},  {24, 8, 28, 12, 25, 9, 29, 13},
    {6, 22, 2, 18, 7, 23, 3, 19},  {30, 14, 26, 10, 31, 15, 27, 11},
    {1, 17, 5, 21, 0, 16, 4, 20},  {25, 9, 29, 13, 24, 8, 28, 12},
    {7, 23, 3, 19, 6, 22, 2, 18},  {31, 15, 27, 11, 30, 14, 26, 10}};

inline constexpr uint8_t kDitherB[8][8] = {
    {4, 128, 32, 160, 8, 136, 40, 168},      {192, 64, 224, 96, 200, 72, 232, 104},
    {48, 176, 16, 144, 56, 184, 24, 152},    {240, 112, 208, 80, 248, 120, 216, 88},
    {12, 140, 44, 172, 4, 132, 36, 164},     {204, 76, 236, 108, 196, 68, 228, 100},
    {60, 188, 28, 156, 52, 180, 20, 148},    {252, 124, 220, 92, 244, 116, 212, 84}};

}  // namespace rx
