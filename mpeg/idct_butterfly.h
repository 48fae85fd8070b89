// The single-precision even-odd inverse DCT that the fast transform tries
// first, and the error bound that makes its results certain.
//
// The exact transform of a block rounds to the same integers as the
// binary64 reference wherever the exact value is far enough from a
// rounding boundary, so a quick float transform whose error is bounded
// decides every output where its value lies further than that bound from
// a boundary; the rest (rare, and all blocks of huge coefficients) go the
// reference's way. tests/mpeg/idct_test.cpp derives the bound from these
// very operations and checks the constants below against it.
#pragma once

#include <cstdint>

namespace butterfly {

// cos(k * pi / 16) / 2 rounded to float, k = 0..7.
constexpr float kHalfCos[8] = {
    0x1.000000p-1f, 0x1.f6297cp-2f, 0x1.d906bcp-2f, 0x1.a9b662p-2f,
    0x1.6a09e6p-2f, 0x1.1c73b4p-2f, 0x1.87de2ap-3f, 0x1.8f8b84p-4f,
};

// One 8-point inverse DCT: x[n] = sum over k of c[k][n] X[k], with the
// basis c[k][n] = alpha(k) cos((2n + 1) k pi / 16) / 2. V is a vector of
// lanes (or, in the test, the bound of one lane) with +, - and * float.
template <class V>
inline void InverseDct8(V x[8]) {
  const float* h = kHalfCos;
  const V e0 = (x[0] + x[4]) * h[4];
  const V e1 = (x[0] - x[4]) * h[4];
  const V a = x[2] * h[2] + x[6] * h[6];
  const V b = x[2] * h[6] - x[6] * h[2];
  const V even[4] = {e0 + a, e1 + b, e1 - b, e0 - a};
  const V odd[4] = {
      x[1] * h[1] + x[3] * h[3] + x[5] * h[5] + x[7] * h[7],
      x[1] * h[3] - x[3] * h[7] - x[5] * h[1] - x[7] * h[5],
      x[1] * h[5] - x[3] * h[1] + x[5] * h[7] + x[7] * h[3],
      x[1] * h[7] - x[3] * h[5] + x[5] * h[3] - x[7] * h[1],
  };
  for (int n = 0; n < 4; ++n) {
    x[n] = even[n] + odd[n];
    x[7 - n] = even[n] - odd[n];
  }
}

// A block's outputs are decided when each lies at least
// kErrorPerMagnitude * (sum of |coefficients|) + kErrorConstant from the
// nearest rounding boundary: that covers the float transform's error, the
// reference's, and the rounding of the test itself.
constexpr float kErrorPerMagnitude = 0x1.3p-20f;
constexpr float kErrorConstant = 0x1.0p-22f;

// How near an output may lie to its nearest integer to be decided, in
// every lane: 0.5 less the margin, for a block of this sum of |coefficients|
// and a transform of this error per unit of it.
template <class Ops>
typename Ops::Row Limit(typename Ops::Row magnitude, float error_per_magnitude = kErrorPerMagnitude) {
  return Ops::Splat(0.5f) - (magnitude * error_per_magnitude + Ops::Splat(kErrorConstant));
}

// The lanes of an Ops::Row: eight (one row), or sixteen (two rows) in
// the forms that only decide outputs.
template <class Ops>
constexpr int kLanes = static_cast<int>(sizeof(typename Ops::Row) / sizeof(float));

// Ops of one instruction set: Ops::Row (one row of eight lanes, with the
// operators InverseDct8 uses) and
//   Row Load(const int16_t* row);  Row Splat(float);
//   Row MagnitudeSum(const Row rows[8]);  the sum in every lane
//   void Transpose(Row rows[8]);
//   Mask Uncertain(Row s, Row limit, Words& nearest);  set in each lane
//       where s lies limit or further from its nearest integer
//   Mask Or(Mask, Mask);  bool Any(Mask);
//   void Store(int16_t* row, const Words& nearest);  clipped to 9 bits
// (Mask is any type; the eight-lane forms use Row.)
// floor(s + 0.5) is the integer nearest to s where s lies nearer to it
// than `limit`. True when every output of `s` was decided and stored in
// block; the block is untouched otherwise. s holds 64 / kLanes<Ops> Rows.
template <class Ops>
inline __attribute__((always_inline)) bool DecideOutputs(int16_t block[64], const typename Ops::Row s[],
                                                         typename Ops::Row limit) {
  constexpr int kRows = 64 / kLanes<Ops>;
  typename Ops::Words nearest[kRows];
  auto uncertain = Ops::Uncertain(s[0], limit, nearest[0]);
  for (int y = 1; y < kRows; ++y) uncertain = Ops::Or(uncertain, Ops::Uncertain(s[y], limit, nearest[y]));
  if (Ops::Any(uncertain)) return false;
  for (int y = 0; y < kRows; ++y) Ops::Store(block + kLanes<Ops> * y, nearest[y]);
  return true;
}

// The float step over a block.
template <class Ops>
bool DecideBlock(int16_t block[64]) {
  using Row = typename Ops::Row;
  Row r[8];
  for (int v = 0; v < 8; ++v) r[v] = Ops::Load(block + 8 * v);
  const Row limit = Limit<Ops>(Ops::MagnitudeSum(r));
  InverseDct8(r);  // the columns
  Ops::Transpose(r);
  InverseDct8(r);  // the rows, held as columns
  Ops::Transpose(r);
  return DecideOutputs<Ops>(block, r, limit);
}

}  // namespace butterfly
