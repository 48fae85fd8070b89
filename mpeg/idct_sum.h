// The inverse DCT of a block with few coded coefficients as the sum of
// their basis images in float, decided as the butterfly's outputs are
// (idct_butterfly.h). Its error grows with the number of terms, not with
// the transform's size, so for sparse blocks it is both cheaper and more
// accurate than the butterfly; tests/mpeg/idct_test.cpp derives its bound.
#pragma once

#include <cstdint>

#include "mpeg/idct_butterfly.h"

namespace basis_sum {

// Blocks of more coded coefficients take the butterfly.
constexpr int kMostTerms = 24;
// Its margin per unit of the sum of |coefficients|, with butterfly's
// kErrorConstant: smaller than the butterfly's, so it decides more.
constexpr float kErrorPerMagnitude = 0x1.5p-21f;

// image[8v + u][8y + x] = c[v][y] * c[u][x], the binary64 product of the
// reference transform's constants, rounded to float.
struct Images {
  alignas(64) float image[64][64];
};
extern const Images kImages;

// With the Ops of idct_butterfly.h, and Row * Row and
//   Row LoadImage(const float* rows);  a Row's floats, aligned
//   Row Abs(Row);
// `coded` lists the positions of the block's coefficients, each once (all
// others are zero), count >= 1. True when every output was decided and
// stored.
template <class Ops>
bool DecideSum(int16_t block[64], const uint8_t* coded, int count) {
  using Row = typename Ops::Row;
  constexpr int kLanes = butterfly::kLanes<Ops>, kRows = 64 / kLanes;
  // The sum of |coefficients| in every lane, exact in float (below 2^16).
  Row magnitude = Ops::Splat(0.0f);
  const auto coefficient = [&](int i) {
    const Row f = Ops::Splat(static_cast<float>(block[coded[i]]));
    magnitude = magnitude + Ops::Abs(f);
    return f;
  };
  Row sum[kRows];
  const Row first = coefficient(0);
  for (int y = 0; y < kRows; ++y) sum[y] = first * Ops::LoadImage(kImages.image[coded[0]] + kLanes * y);
  for (int i = 1; i < count; ++i) {
    const Row f = coefficient(i);
    for (int y = 0; y < kRows; ++y) sum[y] = sum[y] + f * Ops::LoadImage(kImages.image[coded[i]] + kLanes * y);
  }
  const Row limit = butterfly::Limit<Ops>(magnitude, kErrorPerMagnitude);
  return butterfly::DecideOutputs<Ops>(block, sum, limit);
}

}  // namespace basis_sum
