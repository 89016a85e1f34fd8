// Forward DCT: a scaled Arai-Agui-Nakajima factorisation in 32-bit integers
// with 12 fraction bits. The flow graph below decides every rounding and
// therefore the output bytes of every file we write; change nothing in it
// without re-pinning the encoder's byte tests.
//
// The 1-D transform is split as y = B . M . A . x, and the 2-D one is
// (B (x) B) . (M (x) M) . (A (x) A): additions on rows and columns, one
// two-dimensional multiplication stage, additions on rows and columns
// again. Only the middle stage rounds, which keeps the error small.
//
// A (additions only), on d0..d7:
//   t0 = d0+d7  t7 = d0-d7  t1 = d1+d6  t6 = d1-d6
//   t2 = d2+d5  t5 = d2-d5  t3 = d3+d4  t4 = d3-d4
//   a = t0+t3   b = t0-t3   c = t1+t2   e = t1-t2
//   slot 0 = a+c, 1 = a-c, 2 = e+b, 3 = b, 4 = p = t4+t5, 5 = r = t6+t7,
//   6 = q = t5+t6, 7 = t7
// M, per slot: slots 0, 1, 3, 7 pass ("1"); slots 2 and 6 are multiplied
// by cos(pi/4) ("C"); slots 4 and 5 are rotated together ("R"):
//   z5 = m(p - r, S), p' = m(p, D) + z5, r' = m(r, E) + z5
// with m(x, c) = (x * c) >> 12 (arithmetic shift). The 2-D stage applies
// the product of the two slot kinds:
//   1 x 1: pass        1 x C: m(x, 2896)        C x C: x / 2 (truncating)
//   1 x R: rotate with S, D, E = 1567, 2216, 5351
//   C x R: rotate with S, D, E = 1108, 1567, 3784 (each times cos(pi/4))
//   R x R: on the 2 x 2 block a = (p,p), b = (p,r), c = (r,p), d = (r,r)
//          (vertical slot first):
//          (p,p) = (a+d)/2 + m((a-d) - (b+c), 1448)
//          (r,r) = (a+d)/2 - m((a-d) - (b+c), 1448)
//          (p,r) = (b-c)/2 + m((a-d) + (b+c), 1448)
//          (r,p) = m((a-d) + (b+c), 1448) - (b-c)/2
// B (additions only), on the slots after M:
//   o0 = s0  o4 = s1  o2 = s3 + s2  o6 = s3 - s2
//   z11 = s7 + s6  z13 = s7 - s6
//   o5 = z13 + s4  o3 = z13 - s4  o1 = z11 + s5  o7 = z11 - s5
// Input samples are doubled first; each output o(u, v) becomes
// ((P(u, v) * o) >> 12) / 2, truncating toward zero.
//
// The rotations' floors all lean the same way at (7, 7), which therefore
// reads a little high (a pure (7, 7) pattern of amplitude 100, exactly
// 399.7, comes out as 403). Against the exact transform the other
// coefficients stay within 1.5 nearly always; the few next to (7, 7), with
// the largest post-scale factors, reach about 2 at worst.
#include "filters/jpeg/jpeg_fdct.h"

#include <cstring>

#include "SUPPORT/error.h"
#include "filters/jpeg/jpeg_tables.h"

RX_SOURCE("source\\filters\\jpeg\\jpeg_fdct.cpp");

namespace rx::jpeg::enc {
namespace {

constexpr int32_t m(int32_t x, int32_t c) { return (x * c) >> 12; }

// Post-scale and halve one output.
constexpr int32_t post(int32_t value, int32_t scale) { return ((scale * value) >> 12) / 2; }

// ---- Reference: the flow graph written out one stage at a time -----------

enum Kind : uint8_t { kPass, kCos, kRot };
constexpr Kind kSlotKind[8] = {kPass, kPass, kCos, kPass, kRot, kRot, kCos, kPass};

void stage_a(const int32_t d[8], int32_t s[8]) {
  const int32_t t0 = d[0] + d[7], t7 = d[0] - d[7], t1 = d[1] + d[6], t6 = d[1] - d[6];
  const int32_t t2 = d[2] + d[5], t5 = d[2] - d[5], t3 = d[3] + d[4], t4 = d[3] - d[4];
  const int32_t a = t0 + t3, b = t0 - t3, c = t1 + t2, e = t1 - t2;
  s[0] = a + c;
  s[1] = a - c;
  s[2] = e + b;
  s[3] = b;
  s[4] = t4 + t5;
  s[5] = t6 + t7;
  s[6] = t5 + t6;
  s[7] = t7;
}

void stage_b(const int32_t s[8], int32_t o[8]) {
  const int32_t z11 = s[7] + s[6], z13 = s[7] - s[6];
  o[0] = s[0];
  o[4] = s[1];
  o[2] = s[3] + s[2];
  o[6] = s[3] - s[2];
  o[5] = z13 + s[4];
  o[3] = z13 - s[4];
  o[1] = z11 + s[5];
  o[7] = z11 - s[5];
}

struct Rotation {
  int32_t s, d, e;
};
constexpr Rotation kRotPass = {kS8, kCmS8, kCpS8};
constexpr Rotation kRotCos = {kS8C4, kS8, kC8};

void rotate(int32_t p, int32_t r, Rotation k, int32_t* p_out, int32_t* r_out) {
  const int32_t z5 = m(p - r, k.s);
  *p_out = m(p, k.d) + z5;
  *r_out = m(r, k.e) + z5;
}

// w[k][j]: vertical slot k, horizontal slot j.
void stage_m(const int32_t w[8][8], int32_t x[8][8]) {
  for (int k = 0; k < 8; ++k) {
    for (int j = 0; j < 8; ++j) {
      const Kind a = kSlotKind[k], b = kSlotKind[j];
      if (a == kCos && b == kCos) x[k][j] = w[k][j] / 2;
      else if ((a == kCos && b == kPass) || (a == kPass && b == kCos)) x[k][j] = m(w[k][j], kC4);
      else x[k][j] = w[k][j];
    }
  }
  for (int i = 0; i < 8; ++i) {
    if (kSlotKind[i] == kRot) continue;
    const Rotation k = kSlotKind[i] == kCos ? kRotCos : kRotPass;
    rotate(w[i][4], w[i][5], k, &x[i][4], &x[i][5]);
    rotate(w[4][i], w[5][i], k, &x[4][i], &x[5][i]);
  }
  const int32_t a = w[4][4], b = w[4][5], c = w[5][4], d = w[5][5];
  const int32_t minus = m((a - d) - (b + c), kC4Half);
  const int32_t plus = m((a - d) + (b + c), kC4Half);
  x[4][4] = (a + d) / 2 + minus;
  x[5][5] = (a + d) / 2 - minus;
  x[4][5] = (b - c) / 2 + plus;
  x[5][4] = plus - (b - c) / 2;
}

// ---- Fast: the same graph on rows of eight lanes --------------------------
// Each row of eight is two four-lane vectors, so a stage over the vertical
// direction is whole-row additions; the horizontal direction is reached by
// transposing. Only the multiplication stage works lane by lane.

using V4 = int32_t __attribute__((vector_size(16)));

struct Row {
  V4 lo, hi;
  friend Row operator+(Row a, Row b) { return {a.lo + b.lo, a.hi + b.hi}; }
  friend Row operator-(Row a, Row b) { return {a.lo - b.lo, a.hi - b.hi}; }
};
using Rows = Row[8];

inline void lanes_a(Rows v) {
  const Row t0 = v[0] + v[7], t7 = v[0] - v[7], t1 = v[1] + v[6], t6 = v[1] - v[6];
  const Row t2 = v[2] + v[5], t5 = v[2] - v[5], t3 = v[3] + v[4], t4 = v[3] - v[4];
  const Row a = t0 + t3, b = t0 - t3, c = t1 + t2, e = t1 - t2;
  v[0] = a + c;
  v[1] = a - c;
  v[2] = e + b;
  v[3] = b;
  v[4] = t4 + t5;
  v[5] = t6 + t7;
  v[6] = t5 + t6;
  v[7] = t7;
}

inline void lanes_b(Rows v) {
  const Row s2 = v[2], s3 = v[3], s4 = v[4], s5 = v[5];
  const Row z11 = v[7] + v[6], z13 = v[7] - v[6];
  v[4] = v[1];
  v[2] = s3 + s2;
  v[6] = s3 - s2;
  v[5] = z13 + s4;
  v[3] = z13 - s4;
  v[1] = z11 + s5;
  v[7] = z11 - s5;
}

inline void transpose4(V4& a, V4& b, V4& c, V4& d) {
  const V4 t0 = __builtin_shufflevector(a, b, 0, 4, 1, 5);
  const V4 t1 = __builtin_shufflevector(a, b, 2, 6, 3, 7);
  const V4 t2 = __builtin_shufflevector(c, d, 0, 4, 1, 5);
  const V4 t3 = __builtin_shufflevector(c, d, 2, 6, 3, 7);
  a = __builtin_shufflevector(t0, t2, 0, 1, 4, 5);
  b = __builtin_shufflevector(t0, t2, 2, 3, 6, 7);
  c = __builtin_shufflevector(t1, t3, 0, 1, 4, 5);
  d = __builtin_shufflevector(t1, t3, 2, 3, 6, 7);
}

inline void transpose(Rows v) {
  transpose4(v[0].lo, v[1].lo, v[2].lo, v[3].lo);
  transpose4(v[4].hi, v[5].hi, v[6].hi, v[7].hi);
  transpose4(v[0].hi, v[1].hi, v[2].hi, v[3].hi);
  transpose4(v[4].lo, v[5].lo, v[6].lo, v[7].lo);
  for (int i = 0; i < 4; ++i) {
    const V4 t = v[i].hi;
    v[i].hi = v[i + 4].lo;
    v[i + 4].lo = t;
  }
}

inline void rotate_fast(int32_t& p, int32_t& r, int32_t s, int32_t d, int32_t e) {
  const int32_t z5 = m(p - r, s);
  const int32_t p2 = m(p, d) + z5;
  r = m(r, e) + z5;
  p = p2;
}

// Rows j of kind "1" (0, 1, 3, 7): the C columns are multiplied, the R
// columns (4, 5) rotate vertically.
inline void m_row_pass(int32_t* row) {
  row[2] = m(row[2], kC4);
  row[6] = m(row[6], kC4);
  rotate_fast(row[4], row[5], kS8, kCmS8, kCpS8);
}

// Rows j of kind "C" (2, 6): "1" columns multiplied, C columns halved, R
// columns rotated with the constants times cos(pi/4).
inline void m_row_cos(int32_t* row) {
  row[0] = m(row[0], kC4);
  row[1] = m(row[1], kC4);
  row[3] = m(row[3], kC4);
  row[7] = m(row[7], kC4);
  row[2] /= 2;
  row[6] /= 2;
  rotate_fast(row[4], row[5], kS8C4, kS8, kC8);
}

// u[j][k] holds w[k][j] (horizontal slot first), and so does the result.
// Written out in full: the index loops of the plain version cost more than
// the arithmetic here.
inline void stage_m_transposed(int32_t u[8][8]) {
  m_row_pass(u[0]);
  m_row_pass(u[1]);
  m_row_pass(u[3]);
  m_row_pass(u[7]);
  m_row_cos(u[2]);
  m_row_cos(u[6]);
  // Rows 4 and 5 (horizontal R) rotate together, lane by lane, except the
  // R x R corner.
  rotate_fast(u[4][0], u[5][0], kS8, kCmS8, kCpS8);
  rotate_fast(u[4][1], u[5][1], kS8, kCmS8, kCpS8);
  rotate_fast(u[4][3], u[5][3], kS8, kCmS8, kCpS8);
  rotate_fast(u[4][7], u[5][7], kS8, kCmS8, kCpS8);
  rotate_fast(u[4][2], u[5][2], kS8C4, kS8, kC8);
  rotate_fast(u[4][6], u[5][6], kS8C4, kS8, kC8);
  const int32_t a = u[4][4], b = u[5][4], c = u[4][5], d = u[5][5];
  const int32_t minus = m((a - d) - (b + c), kC4Half);
  const int32_t plus = m((a - d) + (b + c), kC4Half);
  u[4][4] = (a + d) / 2 + minus;
  u[5][5] = (a + d) / 2 - minus;
  u[5][4] = (b - c) / 2 + plus;
  u[4][5] = plus - (b - c) / 2;
}

// Eight samples, sign-extended and doubled. Pairing each byte with itself
// and shifting right sign-extends without a per-byte step.
inline Row load_row(const int8_t* p) {
  using C16 = int8_t __attribute__((vector_size(16)));
  using S8 = int16_t __attribute__((vector_size(16)));
  C16 c{};
  std::memcpy(&c, p, 8);
  const S8 s = (S8)__builtin_shufflevector(c, c, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7) >> 8;
  const S8 lo = __builtin_shufflevector(s, s, 0, 0, 1, 1, 2, 2, 3, 3);
  const S8 hi = __builtin_shufflevector(s, s, 4, 4, 5, 5, 6, 6, 7, 7);
  return {((V4)lo >> 16) * 2, ((V4)hi >> 16) * 2};
}

// ((P x) >> 12) / 2, truncating: adding the sign bit before the shift
// rounds a negative half toward zero.
inline V4 post4(V4 x, const int32_t* scale) {
  V4 p;
  std::memcpy(&p, scale, sizeof p);
  const V4 y = (p * x) >> 12;
  return (y - (y >> 31)) >> 1;
}

}  // namespace

void fdct_reference(const int8_t* src, int32_t stride, int32_t out[64]) {
  int32_t rows[8][8], w[8][8], x[8][8], h[8][8];
  for (int i = 0; i < 8; ++i) {
    int32_t d[8];
    for (int j = 0; j < 8; ++j) d[j] = 2 * src[i * stride + j];
    stage_a(d, rows[i]);
  }
  for (int j = 0; j < 8; ++j) {
    int32_t col[8], s[8];
    for (int i = 0; i < 8; ++i) col[i] = rows[i][j];
    stage_a(col, s);
    for (int k = 0; k < 8; ++k) w[k][j] = s[k];
  }
  stage_m(w, x);
  for (int k = 0; k < 8; ++k) stage_b(x[k], h[k]);
  for (int v = 0; v < 8; ++v) {
    int32_t col[8], o[8];
    for (int k = 0; k < 8; ++k) col[k] = h[k][v];
    stage_b(col, o);
    for (int u = 0; u < 8; ++u) out[u * 8 + v] = post(o[u], kPostScale[u * 8 + v]);
  }
}

void fdct_fast(const int8_t* src, int32_t stride, int32_t out[64]) {
  Rows v;
  for (int i = 0; i < 8; ++i) v[i] = load_row(src + i * stride);
  lanes_a(v);    // vertical: v[k][column]
  transpose(v);  // v[column][k]
  lanes_a(v);    // horizontal: v[j][k] = w[k][j]
  int32_t u[8][8];
  std::memcpy(u, v, sizeof u);
  stage_m_transposed(u);
  std::memcpy(v, u, sizeof u);
  lanes_b(v);    // horizontal: v[v][k]
  transpose(v);  // v[k][v]
  lanes_b(v);    // vertical: v[u][v], natural order
  for (int i = 0; i < 8; ++i) {
    const V4 lo = post4(v[i].lo, &kPostScale[i * 8]), hi = post4(v[i].hi, &kPostScale[i * 8 + 4]);
    std::memcpy(out + i * 8, &lo, sizeof lo);
    std::memcpy(out + i * 8 + 4, &hi, sizeof hi);
  }
}

}  // namespace rx::jpeg::enc
