// The float butterfly of idct_butterfly.h, eight lanes per AVX
// instruction (this file is built with -mavx; call it only where the
// processor has AVX). Nothing here is inline and shared with other files,
// so no AVX code can stand in for another file's.
#include <cstdint>

#include "mpeg/idct_butterfly.h"

bool inverse_dct_float_avx(int16_t block[64]);

#if defined(__AVX__) && !defined(_WIN64)
#include <immintrin.h>

namespace {

struct Lanes {
  __m256 v;
};
inline Lanes operator+(Lanes a, Lanes b) { return {_mm256_add_ps(a.v, b.v)}; }
inline Lanes operator-(Lanes a, Lanes b) { return {_mm256_sub_ps(a.v, b.v)}; }
inline Lanes operator*(Lanes a, float k) { return {_mm256_mul_ps(a.v, _mm256_set1_ps(k))}; }

// Rows become columns.
inline __attribute__((always_inline)) void Transpose(Lanes r[8]) {
  const __m256 t0 = _mm256_unpacklo_ps(r[0].v, r[1].v), t1 = _mm256_unpackhi_ps(r[0].v, r[1].v);
  const __m256 t2 = _mm256_unpacklo_ps(r[2].v, r[3].v), t3 = _mm256_unpackhi_ps(r[2].v, r[3].v);
  const __m256 t4 = _mm256_unpacklo_ps(r[4].v, r[5].v), t5 = _mm256_unpackhi_ps(r[4].v, r[5].v);
  const __m256 t6 = _mm256_unpacklo_ps(r[6].v, r[7].v), t7 = _mm256_unpackhi_ps(r[6].v, r[7].v);
  const __m256 s0 = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(1, 0, 1, 0));
  const __m256 s1 = _mm256_shuffle_ps(t0, t2, _MM_SHUFFLE(3, 2, 3, 2));
  const __m256 s2 = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(1, 0, 1, 0));
  const __m256 s3 = _mm256_shuffle_ps(t1, t3, _MM_SHUFFLE(3, 2, 3, 2));
  const __m256 s4 = _mm256_shuffle_ps(t4, t6, _MM_SHUFFLE(1, 0, 1, 0));
  const __m256 s5 = _mm256_shuffle_ps(t4, t6, _MM_SHUFFLE(3, 2, 3, 2));
  const __m256 s6 = _mm256_shuffle_ps(t5, t7, _MM_SHUFFLE(1, 0, 1, 0));
  const __m256 s7 = _mm256_shuffle_ps(t5, t7, _MM_SHUFFLE(3, 2, 3, 2));
  r[0].v = _mm256_permute2f128_ps(s0, s4, 0x20);
  r[1].v = _mm256_permute2f128_ps(s1, s5, 0x20);
  r[2].v = _mm256_permute2f128_ps(s2, s6, 0x20);
  r[3].v = _mm256_permute2f128_ps(s3, s7, 0x20);
  r[4].v = _mm256_permute2f128_ps(s0, s4, 0x31);
  r[5].v = _mm256_permute2f128_ps(s1, s5, 0x31);
  r[6].v = _mm256_permute2f128_ps(s2, s6, 0x31);
  r[7].v = _mm256_permute2f128_ps(s3, s7, 0x31);
}

__m256 LoadRow(const int16_t* row) {
  const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
  const __m128i low = _mm_cvtepi16_epi32(words);
  const __m128i high = _mm_cvtepi16_epi32(_mm_srli_si128(words, 8));
  return _mm256_cvtepi32_ps(_mm256_insertf128_si256(_mm256_castsi128_si256(low), high, 1));
}

// The sum of |coefficients| in every lane; exact, being integers below 2^22.
__m256 MagnitudeSum(const Lanes r[8]) {
  const __m256 no_sign = _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF));
  __m256 sum = _mm256_and_ps(r[0].v, no_sign);
  for (int i = 1; i < 8; ++i) sum = _mm256_add_ps(sum, _mm256_and_ps(r[i].v, no_sign));
  sum = _mm256_add_ps(sum, _mm256_permute2f128_ps(sum, sum, 0x01));
  sum = _mm256_hadd_ps(sum, sum);
  return _mm256_hadd_ps(sum, sum);
}

}  // namespace

bool inverse_dct_float_avx(int16_t block[64]) {
  Lanes r[8];
  for (int v = 0; v < 8; ++v) r[v].v = LoadRow(block + 8 * v);
  const __m256 error = _mm256_add_ps(_mm256_mul_ps(MagnitudeSum(r), _mm256_set1_ps(butterfly::kErrorPerMagnitude)),
                                     _mm256_set1_ps(butterfly::kErrorConstant));
  // floor(s + 0.5) is the integer nearest to s where s lies nearer to it
  // than 0.5 - error; s minus that integer is exact.
  const __m256 limit = _mm256_sub_ps(_mm256_set1_ps(0.5f), error);
  butterfly::InverseDct8(r);  // the columns
  Transpose(r);
  butterfly::InverseDct8(r);  // the rows, held as columns
  Transpose(r);
  const __m256 no_sign = _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF));
  __m256 uncertain = _mm256_setzero_ps();
  __m256 nearest[8];
  for (int y = 0; y < 8; ++y) {
    nearest[y] = _mm256_round_ps(r[y].v, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    const __m256 distance = _mm256_and_ps(_mm256_sub_ps(r[y].v, nearest[y]), no_sign);
    uncertain = _mm256_or_ps(uncertain, _mm256_cmp_ps(distance, limit, _CMP_GE_OQ));
  }
  if (_mm256_movemask_ps(uncertain)) return false;
  const __m128i low = _mm_set1_epi16(-256), high = _mm_set1_epi16(255);
  for (int y = 0; y < 8; ++y) {
    const __m256i whole = _mm256_cvttps_epi32(nearest[y]);
    const __m128i words = _mm_packs_epi32(_mm256_castsi256_si128(whole), _mm256_extractf128_si256(whole, 1));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(block + 8 * y), _mm_min_epi16(_mm_max_epi16(words, low), high));
  }
  return true;
}

#else

bool inverse_dct_float_avx(int16_t*) { return false; }

#endif
