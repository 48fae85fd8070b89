// The 4:2:x colour conversion loop of colour_rows.h, thirty-two pixels at
// a time: each 128-bit lane does what the SSSE3 loop does for sixteen
// (this file is built with -mavx2; call it only where the processor has it).
#include "mpeg/colour_rows.h"

#if defined(__AVX2__) && !defined(_WIN64)
#include <immintrin.h>

namespace {

struct Split2 {
  __m256i low, high;
};

Split2 SplitPair2(int32_t a, int32_t b) {
  const Split s = SplitPair(a, b);
  return {_mm256_broadcastsi128_si256(s.low), _mm256_broadcastsi128_si256(s.high)};
}

inline __m256i Products2(__m256i pairs, const Split2& s) {
  return _mm256_add_epi32(_mm256_madd_epi16(pairs, s.low), _mm256_slli_epi32(_mm256_madd_epi16(pairs, s.high), 16));
}

// Four pixels held as B G R 0 in each 32-bit lane, packed into the low
// twelve bytes of each 128-bit lane.
inline __m256i PackFour2(__m256i bgr0) {
  const __m256i order = _mm256_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1,
                                         0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
  return _mm256_shuffle_epi8(bgr0, order);
}

}  // namespace

int32_t colour_row_pairs_avx2(const RowConversion& c, const uint8_t* luma, const uint8_t* cb,
                              const uint8_t* cr, uint8_t* out, int32_t width) {
  const Split2 blue = SplitPair2(c.cb_blue, 0);  // (u, v)
  const Split2 green = SplitPair2(c.cb_green, c.cr_green);
  const Split2 red = SplitPair2(0, c.cr_red);
  const int32_t gain_high = (c.gain + 32768) >> 16;
  const __m256i gain_low = _mm256_set1_epi16(static_cast<int16_t>(c.gain - gain_high * 65536));
  const __m256i gain_high16 = _mm256_set1_epi16(static_cast<int16_t>(gain_high));
  const __m256i zero = _mm256_setzero_si256();
  const __m256i luma_offset = _mm256_set1_epi16(static_cast<int16_t>(c.offset));
  const __m256i chroma_offset = _mm256_set1_epi16(128);
  int32_t j = 0;
  for (; j + 32 <= width; j += 32) {
    // Lane 0 holds pixels 0-15 and their chroma samples 0-7, lane 1 the rest.
    const __m256i y32 = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(luma + j));
    __m256i luma_terms[4];
    for (int h = 0; h < 2; ++h) {
      const __m256i l = _mm256_sub_epi16(h ? _mm256_unpackhi_epi8(y32, zero) : _mm256_unpacklo_epi8(y32, zero),
                                         luma_offset);
      const __m256i low = _mm256_mullo_epi16(l, gain_low);
      const __m256i high = _mm256_add_epi16(_mm256_mulhi_epi16(l, gain_low), _mm256_mullo_epi16(l, gain_high16));
      luma_terms[2 * h] = _mm256_unpacklo_epi16(low, high);
      luma_terms[2 * h + 1] = _mm256_unpackhi_epi16(low, high);
    }
    const __m256i u = _mm256_sub_epi16(
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cb + j / 2))), chroma_offset);
    const __m256i v = _mm256_sub_epi16(
        _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(cr + j / 2))), chroma_offset);
    const __m256i uv0 = _mm256_unpacklo_epi16(u, v), uv1 = _mm256_unpackhi_epi16(u, v);
    auto colour = [&](const Split2& s) {
      const __m256i c0 = Products2(uv0, s), c1 = Products2(uv1, s);
      const __m256i t0 = _mm256_add_epi32(luma_terms[0], _mm256_unpacklo_epi32(c0, c0));
      const __m256i t1 = _mm256_add_epi32(luma_terms[1], _mm256_unpackhi_epi32(c0, c0));
      const __m256i t2 = _mm256_add_epi32(luma_terms[2], _mm256_unpacklo_epi32(c1, c1));
      const __m256i t3 = _mm256_add_epi32(luma_terms[3], _mm256_unpackhi_epi32(c1, c1));
      const __m256i w0 = _mm256_packs_epi32(_mm256_srai_epi32(t0, 16), _mm256_srai_epi32(t1, 16));
      const __m256i w1 = _mm256_packs_epi32(_mm256_srai_epi32(t2, 16), _mm256_srai_epi32(t3, 16));
      return _mm256_packus_epi16(w0, w1);
    };
    const __m256i b = colour(blue), g = colour(green), r = colour(red);
    const __m256i bg0 = _mm256_unpacklo_epi8(b, g), bg1 = _mm256_unpackhi_epi8(b, g);
    const __m256i r0 = _mm256_unpacklo_epi8(r, zero), r1 = _mm256_unpackhi_epi8(r, zero);
    const __m256i p0 = PackFour2(_mm256_unpacklo_epi16(bg0, r0));
    const __m256i p1 = PackFour2(_mm256_unpackhi_epi16(bg0, r0));
    const __m256i p2 = PackFour2(_mm256_unpacklo_epi16(bg1, r1));
    const __m256i p3 = PackFour2(_mm256_unpackhi_epi16(bg1, r1));
    // Each lane's 48 bytes, then the lanes in pixel order.
    const __m256i o0 = _mm256_or_si256(p0, _mm256_slli_si256(p1, 12));
    const __m256i o1 = _mm256_or_si256(_mm256_srli_si256(p1, 4), _mm256_slli_si256(p2, 8));
    const __m256i o2 = _mm256_or_si256(_mm256_srli_si256(p2, 8), _mm256_slli_si256(p3, 4));
    __m256i* o = reinterpret_cast<__m256i*>(out + 3 * j);
    _mm256_storeu_si256(o, _mm256_permute2x128_si256(o0, o1, 0x20));
    _mm256_storeu_si256(o + 1, _mm256_permute2x128_si256(o2, o0, 0x30));
    _mm256_storeu_si256(o + 2, _mm256_permute2x128_si256(o1, o2, 0x31));
  }
  return j;
}

#elif defined(__SSE2__)

int32_t colour_row_pairs_avx2(const RowConversion&, const uint8_t*, const uint8_t*, const uint8_t*, uint8_t*,
                              int32_t) {
  return 0;
}

#endif
