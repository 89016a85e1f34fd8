// The quarter turns shared by the rotations.
#pragma once

#include <cstdint>

#include "IMG_PROC/new_dib.h"

namespace rx::ip {

enum QuarterTurn : int32_t { kTurn90 = 1, kTurn180 = 2, kTurn270 = 3 };

// Turns the image by a quarter-turn code, replacing its DIB; the image is
// unchanged when this fails (after pushing the reason).
bool quarter_turn(IMAGE_REC* record, int32_t code);

// Fills the new DIB with a 1-bit image (plain or runs) turned by `code`.
// The status callback hears of each source row as it is done.
bool turn_bilevel(IMAGE_REC* record, NewDib& out, int32_t code);

// Reports `count` more source rows done of `rows` to the status callback;
// false once it asked to stop (pushed). `done` counts the rows so far.
bool rows_reported(const Progress& progress, int32_t* done, int32_t count, int32_t rows);

}  // namespace rx::ip
