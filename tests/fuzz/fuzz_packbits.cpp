// The PackBits decoder on any bytes, cut into pieces of input and output
// chosen by the input itself: every cutting must give what one call gives,
// and no call may take more than it is given. The coder's output of the
// same bytes must decode back to them within its bound.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "filters/codecs/packbits.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t in_piece = 1 + data[0] % 17, out_piece = 1 + data[1] % 23;
  const uint8_t* in = data + 2;
  const size_t n = size - 2;
  const size_t out_size = n * 4 + 7;
  std::vector<uint8_t> whole(out_size), pieces(out_size);
  rx::PACKBITS_STATE s;
  const rx::PackBitsStep one = rx::packbits_decode(&s, in, n, whole.data(), out_size);
  if (one.consumed > n || one.produced > out_size) abort();
  rx::PACKBITS_STATE t;
  size_t i = 0, o = 0;
  // A repeat packet whose value has been read goes on without input.
  while (o < out_size) {
    const size_t a = in_piece < n - i ? in_piece : n - i;
    const size_t b = out_piece < out_size - o ? out_piece : out_size - o;
    const rx::PackBitsStep step = rx::packbits_decode(&t, in + i, a, pieces.data() + o, b);
    if (step.consumed > a || step.produced > b) abort();
    if (step.consumed == 0 && step.produced == 0) break;
    i += step.consumed;
    o += step.produced;
  }
  if (o != one.produced) abort();
  for (size_t k = 0; k < o; ++k)
    if (pieces[k] != whole[k]) abort();
  std::vector<uint8_t> coded(rx::packbits_bound(n) + 1, 0xA5);
  const size_t c = rx::packbits_encode(in, n, coded.data());
  if (c > rx::packbits_bound(n) || coded[rx::packbits_bound(n)] != 0xA5) abort();
  std::vector<uint8_t> back(n + 1);
  rx::PACKBITS_STATE u;
  const rx::PackBitsStep r = rx::packbits_decode(&u, coded.data(), c, back.data(), n + 1);
  if (r.produced != n || r.consumed != c) abort();
  for (size_t k = 0; k < n; ++k)
    if (back[k] != in[k]) abort();
  return 0;
}
