// The float butterfly of idct_butterfly.h with SSE2 only, for processors
// without AVX (the machines of Windows XP's time among them): each row is
// two vectors of four lanes.
#include <cstdint>

#include "mpeg/idct_butterfly.h"
#include "mpeg/idct_sum.h"

bool inverse_dct_float_sse2(int16_t block[64]);
bool inverse_dct_sum_sse2(int16_t block[64], const uint8_t* coded, int count);

#if defined(__SSE2__)
#include <emmintrin.h>

namespace {

struct Lanes {
  __m128 left, right;  // columns 0-3 and 4-7
};
inline Lanes operator+(Lanes a, Lanes b) { return {_mm_add_ps(a.left, b.left), _mm_add_ps(a.right, b.right)}; }
inline Lanes operator-(Lanes a, Lanes b) { return {_mm_sub_ps(a.left, b.left), _mm_sub_ps(a.right, b.right)}; }
inline Lanes operator*(Lanes a, float k) {
  const __m128 c = _mm_set1_ps(k);
  return {_mm_mul_ps(a.left, c), _mm_mul_ps(a.right, c)};
}
inline Lanes operator*(Lanes a, Lanes b) { return {_mm_mul_ps(a.left, b.left), _mm_mul_ps(a.right, b.right)}; }

// Rows become columns: four 4x4 transposes, the off-diagonal ones swapped.
inline void Transpose4(__m128& a, __m128& b, __m128& c, __m128& d) {
  const __m128 t0 = _mm_unpacklo_ps(a, b), t1 = _mm_unpackhi_ps(a, b);
  const __m128 t2 = _mm_unpacklo_ps(c, d), t3 = _mm_unpackhi_ps(c, d);
  a = _mm_movelh_ps(t0, t2);
  b = _mm_movehl_ps(t2, t0);
  c = _mm_movelh_ps(t1, t3);
  d = _mm_movehl_ps(t3, t1);
}

struct Sse2 {
  using Row = Lanes;
  using Words = __m128i;  // the nearest integers, saturated to 16 bits

  static Row Load(const int16_t* row) {
    const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(row));
    // Each word in the high half of a 32-bit lane, shifted down with its sign.
    return {_mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(words, words), 16)),
            _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpackhi_epi16(words, words), 16))};
  }

  static Row Splat(float k) { return {_mm_set1_ps(k), _mm_set1_ps(k)}; }
  static Row LoadImage(const float* row) { return {_mm_load_ps(row), _mm_load_ps(row + 4)}; }
  static Row Abs(Row r) { return {_mm_and_ps(r.left, NoSign()), _mm_and_ps(r.right, NoSign())}; }

  // Exact, being a sum of integers below 2^22.
  static Row MagnitudeSum(const Row r[8]) {
    const __m128 no_sign = NoSign();
    __m128 sum = _mm_setzero_ps();
    for (int i = 0; i < 8; ++i)
      sum = _mm_add_ps(sum, _mm_add_ps(_mm_and_ps(r[i].left, no_sign), _mm_and_ps(r[i].right, no_sign)));
    sum = _mm_add_ps(sum, _mm_shuffle_ps(sum, sum, _MM_SHUFFLE(1, 0, 3, 2)));
    sum = _mm_add_ps(sum, _mm_shuffle_ps(sum, sum, _MM_SHUFFLE(2, 3, 0, 1)));
    return {sum, sum};
  }

  static void Transpose(Row r[8]) {
    Transpose4(r[0].left, r[1].left, r[2].left, r[3].left);
    Transpose4(r[4].right, r[5].right, r[6].right, r[7].right);
    Transpose4(r[0].right, r[1].right, r[2].right, r[3].right);
    Transpose4(r[4].left, r[5].left, r[6].left, r[7].left);
    for (int i = 0; i < 4; ++i) {
      const __m128 upper_right = r[i].right;
      r[i].right = r[i + 4].left;
      r[i + 4].left = upper_right;
    }
  }

  // Any integer near s serves as the candidate: a wrong one only fails the
  // distance test. The conversion rounds as the control word says (to
  // nearest unless someone changed it); s minus a candidate within 0.5 is
  // exact, and an overflowed conversion lies far from s.
  static Row Uncertain(Row s, Row limit, Words& nearest) {
    const __m128i left = _mm_cvtps_epi32(s.left), right = _mm_cvtps_epi32(s.right);
    nearest = _mm_packs_epi32(left, right);
    return {Far(s.left, left, limit.left), Far(s.right, right, limit.right)};
  }

  static Row Or(Row a, Row b) { return {_mm_or_ps(a.left, b.left), _mm_or_ps(a.right, b.right)}; }
  static bool Any(Row mask) { return _mm_movemask_ps(_mm_or_ps(mask.left, mask.right)) != 0; }

  static void Store(int16_t* row, const Words& nearest) {
    const __m128i clipped = _mm_min_epi16(_mm_max_epi16(nearest, _mm_set1_epi16(-256)), _mm_set1_epi16(255));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(row), clipped);
  }

  static __m128 Far(__m128 s, __m128i whole, __m128 limit) {
    const __m128 distance = _mm_and_ps(_mm_sub_ps(s, _mm_cvtepi32_ps(whole)), NoSign());
    return _mm_cmpge_ps(distance, limit);
  }

  static __m128 NoSign() { return _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF)); }
};

}  // namespace

bool inverse_dct_float_sse2(int16_t block[64]) { return butterfly::DecideBlock<Sse2>(block); }

bool inverse_dct_sum_sse2(int16_t block[64], const uint8_t* coded, int count) {
  return basis_sum::DecideSum<Sse2>(block, coded, count);
}

#else

bool inverse_dct_float_sse2(int16_t*) { return false; }
bool inverse_dct_sum_sse2(int16_t*, const uint8_t*, int) { return false; }

#endif
