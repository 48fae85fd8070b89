// The float butterfly of idct_butterfly.h, eight lanes per AVX
// instruction (this file is built with -mavx; call it only where the
// processor has AVX). Nothing here is inline and shared with other files,
// so no AVX code can stand in for another file's.
#include <cstdint>

#include "mpeg/idct_butterfly.h"
#include "mpeg/idct_sum.h"

bool inverse_dct_float_avx(int16_t block[64]);
bool inverse_dct_sum_avx(int16_t block[64], const uint8_t* coded, int count);

#if defined(__AVX__) && !defined(_WIN64)
#include <immintrin.h>

namespace {

struct Lanes {
  __m256 v;
};
inline Lanes operator+(Lanes a, Lanes b) { return {_mm256_add_ps(a.v, b.v)}; }
inline Lanes operator-(Lanes a, Lanes b) { return {_mm256_sub_ps(a.v, b.v)}; }
inline Lanes operator*(Lanes a, float k) { return {_mm256_mul_ps(a.v, _mm256_set1_ps(k))}; }
inline Lanes operator*(Lanes a, Lanes b) { return {_mm256_mul_ps(a.v, b.v)}; }

struct Avx {
  using Row = Lanes;
  using Words = __m256;  // the nearest integers, as floats

  static Row Load(const int16_t* row) {
    const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
    const __m128i low = _mm_cvtepi16_epi32(words);
    const __m128i high = _mm_cvtepi16_epi32(_mm_srli_si128(words, 8));
    return {_mm256_cvtepi32_ps(_mm256_insertf128_si256(_mm256_castsi128_si256(low), high, 1))};
  }

  static Row Splat(float k) { return {_mm256_set1_ps(k)}; }
  static Row LoadImage(const float* row) { return {_mm256_load_ps(row)}; }
  static Row Abs(Row r) { return {_mm256_and_ps(r.v, NoSign())}; }

  // Exact, being a sum of integers below 2^22.
  static Row MagnitudeSum(const Row r[8]) {
    const __m256 no_sign = NoSign();
    __m256 sum = _mm256_and_ps(r[0].v, no_sign);
    for (int i = 1; i < 8; ++i) sum = _mm256_add_ps(sum, _mm256_and_ps(r[i].v, no_sign));
    sum = _mm256_add_ps(sum, _mm256_permute2f128_ps(sum, sum, 0x01));
    sum = _mm256_hadd_ps(sum, sum);
    return {_mm256_hadd_ps(sum, sum)};
  }

  static inline __attribute__((always_inline)) void Transpose(Row r[8]) {
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

  // s minus its nearest integer is exact.
  static Row Uncertain(Row s, Row limit, Words& nearest) {
    nearest = _mm256_round_ps(s.v, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    const __m256 distance = _mm256_and_ps(_mm256_sub_ps(s.v, nearest), NoSign());
    return {_mm256_cmp_ps(distance, limit.v, _CMP_GE_OQ)};
  }

  static Row Or(Row a, Row b) { return {_mm256_or_ps(a.v, b.v)}; }
  static bool Any(Row mask) { return _mm256_movemask_ps(mask.v) != 0; }

  static void Store(int16_t* row, const Words& nearest) {
    const __m256i whole = _mm256_cvttps_epi32(nearest);
    const __m128i words = _mm_packs_epi32(_mm256_castsi256_si128(whole), _mm256_extractf128_si256(whole, 1));
    const __m128i clipped = _mm_min_epi16(_mm_max_epi16(words, _mm_set1_epi16(-256)), _mm_set1_epi16(255));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row), clipped);
  }

  static __m256 NoSign() { return _mm256_castsi256_ps(_mm256_set1_epi32(0x7FFFFFFF)); }
};

}  // namespace

bool inverse_dct_float_avx(int16_t block[64]) { return butterfly::DecideBlock<Avx>(block); }

bool inverse_dct_sum_avx(int16_t block[64], const uint8_t* coded, int count) {
  return basis_sum::DecideSum<Avx>(block, coded, count);
}

#else

bool inverse_dct_float_avx(int16_t*) { return false; }
bool inverse_dct_sum_avx(int16_t*, const uint8_t*, int) { return false; }

#endif
