// Inverse DCT: the reference transform's defining cases, agreement with an
// independent high-precision transform, and bit-identity of the fast form.
#include "mpeg/idct.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "mpeg/idct_butterfly.h"
#include "mpeg/idct_sum.h"

namespace {

// A small generator of our own, so every platform draws the same blocks.
struct Lcg {
  uint64_t state;
  uint32_t Next() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(state >> 33);
  }
  int Coefficient() { return static_cast<int>(Next() % 4096) - 2048; }
};

void DenseBlock(Lcg& random, int16_t block[64]) {
  for (int i = 0; i < 64; ++i) block[i] = static_cast<int16_t>(random.Coefficient());
}

// Like dequantised blocks: a few coefficients, mostly at low frequencies,
// often small.
void SparseBlock(Lcg& random, int16_t block[64]) {
  std::memset(block, 0, 64 * sizeof(int16_t));
  const int count = 1 + random.Next() % 6;
  for (int n = 0; n < count; ++n) {
    const int v = random.Next() % (1 + random.Next() % 8);
    const int u = random.Next() % (1 + random.Next() % 8);
    const int magnitude = (random.Next() & 1) ? 1 + random.Next() % 64 : 1 + random.Next() % 2048;
    block[8 * v + u] = static_cast<int16_t>((random.Next() & 1) ? -magnitude : magnitude);
  }
  if (block[63] < -2048) block[63] = -2048;
}

// The decoder's entry, told of the non-zero positions last first and of
// one zero among them, as a coded coefficient that dequantised to zero.
void Coded(int16_t block[64]) {
  uint8_t coded[64];
  int count = 0;
  for (int i = 63; i >= 0; --i)
    if (block[i] != 0) coded[count++] = static_cast<uint8_t>(i);
  for (int i = 0; i < 64 && count < 64; ++i)
    if (block[i] == 0) {
      coded[count++] = static_cast<uint8_t>(i);
      break;
    }
  inverse_dct_coded(block, coded, count);
}

// A basis-image sum alone, for blocks it may take; false where it does
// not decide (or may not be used).
template <bool (*sum)(int16_t*, const uint8_t*, int)>
bool SumStep(int16_t block[64]) {
  uint8_t coded[64];
  int count = 0;
  for (int i = 0; i < 64; ++i)
    if (block[i] != 0) coded[count++] = static_cast<uint8_t>(i);
  return count >= 1 && count <= basis_sum::kMostTerms && sum(block, coded, count);
}

template <bool (*sum)(int16_t*, const uint8_t*, int)>
void SumOrReference(int16_t block[64]) {
  if (!SumStep<sum>(block)) inverse_dct_reference(block);
}

// Each fast form the processor can run, and the ones the decoder picks.
void ExpectFastMatchesReference(const int16_t input[64], const std::string& name) {
  struct Form {
    const char* name;
    void (*transform)(int16_t*);
    bool runs;
  } forms[] = {
      {"fast", inverse_dct_fast, true},
      {"sse2", inverse_dct_sse2, true},
      {"avx", inverse_dct_avx, inverse_dct_avx_supported()},
      {"coded", Coded, true},
      {"sum sse2", SumOrReference<inverse_dct_sum_sse2>, true},
      {"sum avx", SumOrReference<inverse_dct_sum_avx>, inverse_dct_avx_supported()},
      {"sum avx512", SumOrReference<inverse_dct_sum_avx512>, inverse_dct_avx512_supported()},
  };
  int16_t reference[64];
  std::memcpy(reference, input, sizeof(reference));
  inverse_dct_reference(reference);
  for (const Form& form : forms) {
    if (!form.runs) continue;
    int16_t fast[64];
    std::memcpy(fast, input, sizeof(fast));
    form.transform(fast);
    if (std::memcmp(reference, fast, sizeof(fast)) != 0) {
      for (int i = 0; i < 64; ++i)
        ASSERT_EQ(reference[i], fast[i]) << name << ", " << form.name << ", position " << i;
    }
  }
}

TEST(InverseDct, DefiningCases) {
  struct Case {
    const char* name;
    int dc;
    int expected;
  } cases[] = {
      {"DC 8: 8 x 0.125 = 1", 8, 1},
      {"DC 4: floor(0.5000000000000001 + 0.5)", 4, 1},
      // The basis constant for u = 0 is sqrt(2) / 4 correctly rounded, a
      // hair above the real value, so the DC-only sum is -0.5000000000000001
      // and rounds down; exact arithmetic would give 0.
      {"DC -4: floor(-0.5000000000000001 + 0.5)", -4, -1},
      {"DC 2047: 255.875 clipped", 2047, 255},
      {"DC -2048: -256", -2048, -256},
      {"DC 0", 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    int16_t block[64] = {};
    block[0] = static_cast<int16_t>(c.dc);
    inverse_dct(block);
    for (int i = 0; i < 64; ++i) ASSERT_EQ(c.expected, block[i]) << "position " << i;
  }
}

TEST(InverseDct, LargeCoefficientsClipInsteadOfWrapping) {
  int16_t block[64] = {};
  block[0] = 2047;
  block[1] = 2047;
  block[8] = 2047;
  block[9] = 2047;
  inverse_dct_reference(block);
  EXPECT_EQ(255, block[0]);  // about 1000 before clipping
  int16_t negative[64] = {};
  negative[0] = -2048;
  negative[1] = -2048;
  negative[8] = -2048;
  negative[9] = -2048;
  inverse_dct_reference(negative);
  EXPECT_EQ(-256, negative[0]);
  for (int i = 0; i < 64; ++i) {
    EXPECT_GE(block[i], -256);
    EXPECT_LE(block[i], 255);
  }
}

// The exact transform computed independently in long double from cos():
// the reference must round it the same way except within a hair of a
// half, where the binary64 sum may fall either side.
TEST(InverseDct, ReferenceAgreesWithHighPrecisionTransform) {
  const long double pi = 3.141592653589793238462643383279502884L;
  long double c[8][8];
  for (int u = 0; u < 8; ++u)
    for (int x = 0; x < 8; ++x)
      c[u][x] = (u == 0 ? std::sqrt(0.5L) : 1.0L) * std::cos((2 * x + 1) * u * pi / 16) / 2;
  Lcg random = {7};
  for (int n = 0; n < 2000; ++n) {
    int16_t block[64];
    if (n % 2) DenseBlock(random, block); else SparseBlock(random, block);
    long double exact[64];
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 8; ++x) {
        long double s = 0;
        for (int v = 0; v < 8; ++v)
          for (int u = 0; u < 8; ++u) s += c[v][y] * c[u][x] * block[8 * v + u];
        exact[8 * y + x] = s;
      }
    inverse_dct_reference(block);
    for (int i = 0; i < 64; ++i) {
      const long double rounded = std::floor(exact[i] + 0.5L);
      const long double clipped = rounded < -256 ? -256 : (rounded > 255 ? 255 : rounded);
      const long double distance_to_half = std::fabs(exact[i] - std::floor(exact[i]) - 0.5L);
      if (distance_to_half < 1e-6L) continue;
      ASSERT_EQ(static_cast<int>(clipped), block[i]) << "block " << n << ", position " << i;
    }
  }
}

TEST(InverseDct, FastEqualsReferenceOnDenseBlocks) {
  Lcg random = {1};
  int16_t block[64];
  for (int n = 0; n < 200000; ++n) {
    DenseBlock(random, block);
    ExpectFastMatchesReference(block, "dense block " + std::to_string(n));
  }
}

TEST(InverseDct, FastEqualsReferenceOnSparseBlocks) {
  Lcg random = {2};
  int16_t block[64];
  for (int n = 0; n < 300000; ++n) {
    SparseBlock(random, block);
    ExpectFastMatchesReference(block, "sparse block " + std::to_string(n));
  }
}

TEST(InverseDct, FastEqualsReferenceOnEveryDcValue) {
  int16_t block[64] = {};
  for (int dc = -2048; dc <= 2047; ++dc) {
    block[0] = static_cast<int16_t>(dc);
    ExpectFastMatchesReference(block, "DC " + std::to_string(dc));
  }
}

// Single coefficients everywhere, and blocks whose zero rows interleave
// with full ones, so that every skipping path meets extreme values.
TEST(InverseDct, FastEqualsReferenceOnSingleCoefficientsAndZeroRows) {
  const int values[] = {-2048, -2047, -1024, -5, -1, 1, 3, 4, 1000, 2047};
  for (int position = 0; position < 64; ++position)
    for (int value : values) {
      int16_t block[64] = {};
      block[position] = static_cast<int16_t>(value);
      ExpectFastMatchesReference(
          block, "value " + std::to_string(value) + " at " + std::to_string(position));
    }
  Lcg random = {3};
  for (int mask = 0; mask < 256; ++mask) {
    int16_t block[64] = {};
    for (int v = 0; v < 8; ++v)
      if (mask & (1 << v))
        for (int u = 0; u < 8; ++u) block[8 * v + u] = static_cast<int16_t>(random.Coefficient());
    ExpectFastMatchesReference(block, "row mask " + std::to_string(mask));
  }
}

// Blocks coded only in the first row or only in the first column, which
// have their own paths, with every subset of the row or column coded.
TEST(InverseDct, FastEqualsReferenceOnFirstRowAndFirstColumnBlocks) {
  Lcg random = {4};
  for (int column = 0; column < 2; ++column)
    for (int mask = 1; mask < 256; ++mask)
      for (int n = 0; n < 40; ++n) {
        int16_t block[64] = {};
        for (int k = 0; k < 8; ++k)
          if (mask & (1 << k)) {
            const int value = n % 2 ? random.Coefficient() : static_cast<int>(random.Next() % 65) - 32;
            block[column ? 8 * k : k] = static_cast<int16_t>(value == 0 ? 1 : value);
          }
        ExpectFastMatchesReference(block, (column ? "column mask " : "row mask ") +
                                              std::to_string(mask) + ", block " + std::to_string(n));
      }
}

// The same blocks give the same checksum in the native and in the Windows
// build; a build that lets the compiler fuse or widen a step fails here.
TEST(InverseDct, ChecksumIsTheSameOnEveryBuild) {
  Lcg random = {2026};
  uint32_t reference_hash = 2166136261u;
  uint32_t decoder_hash = 2166136261u;
  auto add = [](uint32_t& hash, const int16_t block[64]) {
    for (int i = 0; i < 64; ++i) {
      hash = (hash ^ static_cast<uint16_t>(block[i])) * 16777619u;
    }
  };
  for (int n = 0; n < 20000; ++n) {
    int16_t block[64];
    if (n % 2) DenseBlock(random, block); else SparseBlock(random, block);
    int16_t copy[64];
    std::memcpy(copy, block, sizeof(copy));
    inverse_dct_reference(block);
    inverse_dct(copy);
    add(reference_hash, block);
    add(decoder_hash, copy);
  }
  EXPECT_EQ(0xb1f0ad71u, reference_hash) << std::hex << reference_hash;
  EXPECT_EQ(reference_hash, decoder_hash);
}

// What one computed value of a linear transform may be: the exact linear
// form of the 64 coefficients it stands for (L), and a bound on how far
// rounding took it from that form, in units of unit * sum |coefficients|
// (e). Every + - * below rounds once to nearest with relative error at
// most unit, so these rules bound the error of any sequence of them.
struct Bound {
  static long double unit;
  long double L[64];
  long double e;

  long double Largest() const {
    long double m = 0;
    for (long double l : L) m = std::max(m, std::fabs(l));
    return m;
  }
};
long double Bound::unit = 0;

Bound Combine(const Bound& a, const Bound& b, long double sign) {
  Bound c;
  for (int i = 0; i < 64; ++i) c.L[i] = a.L[i] + sign * b.L[i];
  c.e = (a.e + b.e) * (1 + Bound::unit) + c.Largest();
  return c;
}
Bound operator+(const Bound& a, const Bound& b) { return Combine(a, b, 1); }
Bound operator-(const Bound& a, const Bound& b) { return Combine(a, b, -1); }
Bound operator*(const Bound& a, long double k) {
  Bound c;
  for (int i = 0; i < 64; ++i) c.L[i] = k * a.L[i];
  c.e = std::fabs(k) * (a.e * (1 + Bound::unit) + a.Largest());
  return c;
}
Bound Coefficient(int i) {
  Bound b = {};
  b.L[i] = 1;
  return b;
}

struct OutputBound {
  long double per_magnitude;  // times sum |coefficients|
  long double constant;
};

long double ExactBasis(int k, int n) {
  const long double pi = 3.141592653589793238462643383279502884L;
  return (k == 0 ? std::sqrt(0.5L) : 1.0L) * std::cos((2 * n + 1) * k * pi / 16) / 2;
}

// How far a computed value s + 0.5, from o and then one more rounded
// addition of 0.5, may lie from the exact output + 0.5, given how far o's
// form lies from the exact one.
long double TotalOf(const Bound& o, long double form) {
  return Bound::unit * (o.e + (o.Largest() + o.e * Bound::unit)) + form;
}

OutputBound BoundOf(const Bound outputs[64]) {
  OutputBound worst = {0, 0.5L * Bound::unit};
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      const Bound& o = outputs[8 * y + x];
      long double form = 0;  // the form's distance from the exact transform
      for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u)
          form = std::max(form, std::fabs(o.L[8 * v + u] - ExactBasis(v, y) * ExactBasis(u, x)));
      worst.per_magnitude = std::max(worst.per_magnitude, TotalOf(o, form));
    }
  return worst;
}

// The basis-image sum, one output at a time. Its worst list adds the
// output's largest images first, so that every later addition rounds a sum
// as large as any list can make it, and the error of each product is as
// large as can be; shorter lists round less.
OutputBound BasisSumBound() {
  Bound::unit = std::ldexp(1.0L, -24);
  OutputBound worst = {0, 0.5L * Bound::unit};
  for (int i = 0; i < 64; ++i) {
    const auto image = [i](int p) { return static_cast<long double>(basis_sum::kImages.image[p][i]); };
    int order[64];
    long double form = 0;
    for (int p = 0; p < 64; ++p) {
      order[p] = p;
      form = std::max(form, std::fabs(image(p) - ExactBasis(p >> 3, i >> 3) * ExactBasis(p & 7, i & 7)));
    }
    std::sort(order, order + 64, [&](int a, int b) { return std::fabs(image(a)) > std::fabs(image(b)); });
    Bound sum = Coefficient(order[0]) * image(order[0]);
    for (int k = 1; k < basis_sum::kMostTerms; ++k) sum = sum + Coefficient(order[k]) * image(order[k]);
    worst.per_magnitude = std::max(worst.per_magnitude, TotalOf(sum, form));
  }
  return worst;
}

// The float butterfly, both passes, one lane at a time.
OutputBound FloatTransformBound() {
  Bound::unit = std::ldexp(1.0L, -24);
  Bound b[64];
  for (int i = 0; i < 64; ++i) b[i] = Coefficient(i);
  for (int pass = 0; pass < 2; ++pass) {
    Bound t[64];
    for (int lane = 0; lane < 8; ++lane) {
      Bound column[8];
      for (int k = 0; k < 8; ++k) column[k] = b[8 * k + lane];
      butterfly::InverseDct8(column);
      for (int k = 0; k < 8; ++k) t[8 * lane + k] = column[k];  // transposed
    }
    std::copy(t, t + 64, b);
  }
  return BoundOf(b);
}

// The binary64 reference: its products and sums in its order, with its
// constants (correctly rounded; their own error is in the form's distance).
OutputBound ReferenceBound() {
  Bound::unit = std::ldexp(1.0L, -53);
  Bound t[64], s[64];
  for (int v = 0; v < 8; ++v)
    for (int x = 0; x < 8; ++x) {
      Bound sum = {};
      for (int u = 0; u < 8; ++u) sum = sum + Coefficient(8 * v + u) * static_cast<double>(ExactBasis(u, x));
      t[8 * v + x] = sum;
    }
  for (int y = 0; y < 8; ++y)
    for (int x = 0; x < 8; ++x) {
      Bound sum = {};
      for (int v = 0; v < 8; ++v) sum = sum + t[8 * v + x] * static_cast<double>(ExactBasis(v, y));
      s[8 * y + x] = sum;
    }
  return BoundOf(s);
}

// The float step may decide an output only where its margin covers both
// transforms' errors, the rounding of the margin's own float arithmetic
// (two roundings of the margin, one of 0.5 - margin) included.
// The same for the basis-image sum, with its own margin per magnitude.
TEST(InverseDct, FloatStepMarginCoversBothTransformsErrors) {
  const OutputBound r = ReferenceBound();
  const struct {
    const char* name;
    OutputBound bound;
    float per_magnitude;
  } steps[] = {{"butterfly", FloatTransformBound(), butterfly::kErrorPerMagnitude},
               {"basis sum", BasisSumBound(), basis_sum::kErrorPerMagnitude}};
  const long double shrink = 1 - std::ldexp(1.0L, -22);
  for (const auto& step : steps) {
    SCOPED_TRACE(step.name);
    const OutputBound& f = step.bound;
    EXPECT_GE(step.per_magnitude * shrink, f.per_magnitude + r.per_magnitude)
        << "float " << static_cast<double>(f.per_magnitude) << ", reference " << static_cast<double>(r.per_magnitude);
    EXPECT_GE(butterfly::kErrorConstant * shrink, f.constant + r.constant + std::ldexp(1.0L, -25));
    // The margin should not waste decisions either.
    EXPECT_LE(step.per_magnitude, 2 * (f.per_magnitude + r.per_magnitude));
  }
}

// Outputs that are exact halves (coefficients whose basis products are
// rational, or cancel to rationals) are the ones the float step must leave
// to the reference; elsewhere it should decide blocks of small
// coefficients, and what it decides must be the reference's.
TEST(InverseDct, FloatStepLeavesExactHalvesAndDecidesSmallBlocks) {
  Lcg random = {5};
  const int rational[] = {0, 4, 32, 36, 18, 54};  // (0,0) (0,4) (4,0) (4,4) (2,2) (6,6)
  for (int n = 0; n < 20000; ++n) {
    int16_t block[64] = {};
    for (int position : rational) block[position] = static_cast<int16_t>(static_cast<int>(random.Next() % 33) - 16);
    if (n % 2) block[54] = block[18];  // c2 c2 + c6 c6 is rational at the corners
    ExpectFastMatchesReference(block, "rational block " + std::to_string(n));
  }
#if defined(__SSE2__)
  struct Form {
    const char* name;
    bool (*step)(int16_t*);
    bool runs;
  } forms[] = {{"sse2", inverse_dct_float_sse2, true},
               {"avx", inverse_dct_float_avx, inverse_dct_avx_supported()},
               {"sum sse2", SumStep<inverse_dct_sum_sse2>, true},
               {"sum avx", SumStep<inverse_dct_sum_avx>, inverse_dct_avx_supported()},
               {"sum avx512", SumStep<inverse_dct_sum_avx512>, inverse_dct_avx512_supported()}};
  for (const Form& form : forms) {
    if (!form.runs) continue;
    SCOPED_TRACE(form.name);
    Lcg draws = {6};
    int decided = 0;
    const int blocks = 20000;
    for (int n = 0; n < blocks; ++n) {
      int16_t block[64] = {};
      for (int k = 0, count = 2 + draws.Next() % 5; k < count; ++k)
        block[draws.Next() % 64] = static_cast<int16_t>(static_cast<int>(draws.Next() % 129) - 64);
      int16_t reference[64];
      std::memcpy(reference, block, sizeof(reference));
      inverse_dct_reference(reference);
      if (!form.step(block)) continue;
      ++decided;
      ASSERT_EQ(0, std::memcmp(reference, block, sizeof(block))) << "block " << n;
    }
    EXPECT_GT(decided, blocks * 9 / 10);
  }
#endif
}

}  // namespace
