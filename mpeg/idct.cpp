// Inverse DCT: reference order of operations, plain and vectorised.
//
// Exactness needs binary64 at every step: the build passes
// -ffp-contract=off everywhere (no fused multiply-add) and -msse2
// -mfpmath=sse on i686 (no 80-bit x87 intermediates).
#include "mpeg/idct.h"

#include <cmath>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

// cos(k * pi / 16) / 2 for k = 0..7, correctly rounded. They are stored
// rather than computed because libm cos() of a rounded multiple of pi is
// one unit off in the last place for k = 5, 6, 7 (and 1/sqrt(2) * 0.5
// for k = 4), and C runtimes differ in such places; stored constants give
// the same transform on every platform.
constexpr double kHalfCos[8] = {
    0x1.0000000000000p-1, 0x1.f6297cff75cb0p-2, 0x1.d906bcf328d46p-2,
    0x1.a9b66290ea1a3p-2, 0x1.6a09e667f3bcdp-2, 0x1.1c73b39ae68c8p-2,
    0x1.87de2a6aea963p-3, 0x1.8f8b83c69a60bp-4,
};

struct Basis {
  double c[8][8];  // c[u][x] = alpha(u) * cos((2x + 1) * u * pi / 16) / 2
};

constexpr Basis MakeBasis() {
  Basis basis = {};
  for (int u = 0; u < 8; ++u) {
    for (int x = 0; x < 8; ++x) {
      if (u == 0) {
        basis.c[0][x] = kHalfCos[4];  // (1 / sqrt 2) * 1 / 2 = cos(pi / 4) / 2
        continue;
      }
      int k = ((2 * x + 1) * u) % 32;  // angle in units of pi / 16
      double sign = 1.0;
      if (k > 16) k = 32 - k;
      if (k > 8) {
        k = 16 - k;
        sign = -1.0;
      }
      basis.c[u][x] = sign * kHalfCos[k];
    }
  }
  return basis;
}

constexpr Basis kBasis = MakeBasis();

int16_t RoundAndClip(double s) {
  double r = std::floor(s + 0.5);
  if (r < -256.0) return -256;
  if (r > 255.0) return 255;
  return static_cast<int16_t>(r);
}

}  // namespace

void inverse_dct_reference(int16_t block[64]) {
  double t[8][8];
  for (int v = 0; v < 8; ++v) {
    for (int x = 0; x < 8; ++x) {
      double sum = 0.0;
      for (int u = 0; u < 8; ++u) sum = sum + block[8 * v + u] * kBasis.c[u][x];
      t[v][x] = sum;
    }
  }
  for (int x = 0; x < 8; ++x) {
    for (int y = 0; y < 8; ++y) {
      double sum = 0.0;
      for (int v = 0; v < 8; ++v) sum = sum + kBasis.c[v][y] * t[v][x];
      block[8 * y + x] = RoundAndClip(sum);
    }
  }
}

#if defined(__SSE2__)

namespace {

bool OnlyDc(const int16_t block[64]) {
  int any = 0;
  for (int i = 1; i < 64; ++i) any |= block[i];
  return any == 0;
}

}  // namespace

void inverse_dct_fast(int16_t block[64]) {
  if (OnlyDc(block)) {
    // Every output is c[0][y] * (F * c[0][x]) with one constant c[0][*].
    const int16_t value = RoundAndClip(kBasis.c[0][0] * (block[0] * kBasis.c[0][0]));
    for (int i = 0; i < 64; ++i) block[i] = value;
    return;
  }
  // t[v] holds row v of the horizontal pass as four pairs of columns.
  __m128d t[8][4];
  int rows[8];
  int row_count = 0;
  for (int v = 0; v < 8; ++v) {
    const int16_t* f = block + 8 * v;
    if ((f[0] | f[1] | f[2] | f[3] | f[4] | f[5] | f[6] | f[7]) == 0) continue;
    // Zero coefficients are skipped: the sum starts at 0 and adding a zero
    // product changes nothing.
    for (int p = 0; p < 4; ++p) t[v][p] = _mm_setzero_pd();
    for (int u = 0; u < 8; ++u) {
      if (f[u] == 0) continue;
      const __m128d coefficient = _mm_set1_pd(f[u]);
      for (int p = 0; p < 4; ++p)
        t[v][p] = _mm_add_pd(t[v][p], _mm_mul_pd(coefficient, _mm_loadu_pd(&kBasis.c[u][2 * p])));
    }
    rows[row_count++] = v;
  }

  const __m128d half = _mm_set1_pd(0.5);
  const __m128d one = _mm_set1_pd(1.0);
  const __m128i low = _mm_set1_epi16(-256);
  const __m128i high = _mm_set1_epi16(255);
  for (int y = 0; y < 8; ++y) {
    __m128d s[4] = {_mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd(), _mm_setzero_pd()};
    for (int i = 0; i < row_count; ++i) {
      const int v = rows[i];
      const __m128d c = _mm_set1_pd(kBasis.c[v][y]);
      for (int p = 0; p < 4; ++p) s[p] = _mm_add_pd(s[p], _mm_mul_pd(c, t[v][p]));
    }
    // floor(s + 0.5): truncate, then step down where truncation went up.
    __m128i r[4];
    for (int p = 0; p < 4; ++p) {
      const __m128d a = _mm_add_pd(s[p], half);
      const __m128d truncated = _mm_cvtepi32_pd(_mm_cvttpd_epi32(a));
      const __m128d floored = _mm_sub_pd(truncated, _mm_and_pd(_mm_cmpgt_pd(truncated, a), one));
      r[p] = _mm_cvttpd_epi32(floored);  // two int32 in the low half
    }
    const __m128i left = _mm_unpacklo_epi64(r[0], r[1]);
    const __m128i right = _mm_unpacklo_epi64(r[2], r[3]);
    __m128i out = _mm_packs_epi32(left, right);
    out = _mm_min_epi16(_mm_max_epi16(out, low), high);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 8 * y), out);
  }
}

#else

// Without SSE2 the plain loops are as good as any reordering that keeps
// the results.
void inverse_dct_fast(int16_t block[64]) { inverse_dct_reference(block); }

#endif

void inverse_dct(int16_t block[64]) { inverse_dct_fast(block); }
