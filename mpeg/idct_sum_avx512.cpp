// The basis-image sum of idct_sum.h, two rows per AVX-512 instruction (this
// file is built with -mavx512f; call it only where the processor has it).
// Each lane takes the same float operations in the same order as in the
// eight-lane forms, so the sums, and what they decide, are theirs. 64-bit
// builds only, as colour_avx512.cpp.
#include <cstdint>

#include "mpeg/idct_sum.h"

bool inverse_dct_sum_avx512(int16_t block[64], const uint8_t* coded, int count);

#if defined(__AVX512F__) && defined(__x86_64__) && !defined(_WIN64)
// GCC 12's headers make their undefined vectors from themselves, which its
// uninitialised-use warnings then name wherever they are inlined.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>
#pragma GCC diagnostic pop
#else
#include <immintrin.h>
#endif

namespace {

struct Lanes {
  __m512 v;  // rows y and y + 1
};
inline Lanes operator+(Lanes a, Lanes b) { return {_mm512_add_ps(a.v, b.v)}; }
inline Lanes operator-(Lanes a, Lanes b) { return {_mm512_sub_ps(a.v, b.v)}; }
inline Lanes operator*(Lanes a, float k) { return {_mm512_mul_ps(a.v, _mm512_set1_ps(k))}; }
inline Lanes operator*(Lanes a, Lanes b) { return {_mm512_mul_ps(a.v, b.v)}; }

struct Avx512 {
  using Row = Lanes;
  using Words = __m512;  // the nearest integers, as floats

  static Row Splat(float k) { return {_mm512_set1_ps(k)}; }
  static Row LoadImage(const float* rows) { return {_mm512_load_ps(rows)}; }
  static Row Abs(Row r) { return {_mm512_abs_ps(r.v)}; }

  // s minus its nearest integer is exact.
  static __mmask16 Uncertain(Row s, Row limit, Words& nearest) {
    nearest = _mm512_roundscale_ps(s.v, _MM_FROUND_TO_NEAREST_INT | _MM_FROUND_NO_EXC);
    const __m512 distance = _mm512_abs_ps(_mm512_sub_ps(s.v, nearest));
    return _mm512_cmp_ps_mask(distance, limit.v, _CMP_GE_OQ);
  }

  static __mmask16 Or(__mmask16 a, __mmask16 b) { return static_cast<__mmask16>(a | b); }
  static bool Any(__mmask16 mask) { return mask != 0; }

  // Clipped while still floats, so the narrowing cannot wrap.
  static void Store(int16_t* rows, const Words& nearest) {
    const __m512 clipped = _mm512_min_ps(_mm512_max_ps(nearest, _mm512_set1_ps(-256.0f)), _mm512_set1_ps(255.0f));
    const __m256i words = _mm512_cvtepi32_epi16(_mm512_cvttps_epi32(clipped));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(rows), words);
  }
};

}  // namespace

bool inverse_dct_sum_avx512(int16_t block[64], const uint8_t* coded, int count) {
  return basis_sum::DecideSum<Avx512>(block, coded, count);
}

#else

bool inverse_dct_sum_avx512(int16_t*, const uint8_t*, int) { return false; }

#endif
