// The engine's one pseudo-random sequence, for everything that draws
// random numbers (the special effects' diffusion and twist, the display
// transitions' random cells and columns): 0..32767 like the C library's
// rand(), from the classic linear congruential generator
// (x = x * 1103515245 + 12345, bits 16..30 of x), so that a run repeats
// from its seed. The state is kept per thread, so work on two threads
// cannot race on it; each thread's sequence starts from seed 1.
#pragma once

#include <cstdint>

namespace rx {

// The next number 0..32767.
int32_t random15();
// Restarts the sequence from a seed.
void random_seed(uint32_t seed);

// Restarts the sequence from the time of day (milliseconds since
// midnight), as the display transitions do before each run; while a seed
// is pinned it restarts from that seed instead, so a test can repeat a
// run.
void random_seed_from_clock();
// Pins the seed random_seed_from_clock uses on this thread (null unpins).
void random_clock_seed_pin(const uint32_t* seed);

}  // namespace rx
