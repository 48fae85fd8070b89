// The vector row loops of colour conversion, shared by colour.cpp (SSE2),
// colour_ssse3.cpp (the same loop compiled for SSSE3, chosen at run time)
// and colour_avx2.cpp.
// Everything here has internal linkage: each file gets its own copy, built
// for its own instruction set.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The conversion of one row: the ColourConversion's factors and how far
// the chroma index is shifted from the pixel's (1 for 4:2:x, 0 for 4:4:4).
struct RowConversion {
  int32_t offset, gain, cb_blue, cb_green, cr_green, cr_red;
  int chroma_shift;
};

#if defined(__SSE2__)
namespace {

// A coefficient as high * 65536 + low with both halves in int16, so that
// pmaddwd forms its products exactly in 32 bits.
struct Split {
  __m128i low, high;  // the pair (a, b) of two coefficients, four times
};

inline Split SplitPair(int32_t a, int32_t b) {
  const int32_t ah = (a + 32768) >> 16, bh = (b + 32768) >> 16;
  const int32_t al = a - ah * 65536, bl = b - bh * 65536;
  Split s;
  s.low = _mm_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(bl) << 16) | (al & 0xFFFF)));
  s.high = _mm_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(bh) << 16) | (ah & 0xFFFF)));
  return s;
}

// a * x + b * y for four pixels of interleaved 16-bit (x, y) pairs: the
// same integer the plain formula gives, which fits 32 bits.
inline __m128i Products(__m128i pairs, const Split& s) {
  return _mm_add_epi32(_mm_madd_epi16(pairs, s.low), _mm_slli_epi32(_mm_madd_epi16(pairs, s.high), 16));
}

// (sum >> 16) of eight pixels clamped to bytes, as the clamp table does.
inline __m128i ToBytes(__m128i low, __m128i high) {
  const __m128i words = _mm_packs_epi32(_mm_srai_epi32(low, 16), _mm_srai_epi32(high, 16));
  return _mm_packus_epi16(words, words);
}

// Four pixels held as B G R 0 in each 32-bit lane, packed into the low
// twelve bytes.
inline __m128i PackFourPixels(__m128i bgr0) {
  // In each 64-bit lane: the first pixel, and the second moved down a byte.
  const __m128i first_pixel = _mm_set_epi32(0, 0x00FFFFFF, 0, 0x00FFFFFF);
  const __m128i second_pixel = _mm_set_epi32(0xFFFF, static_cast<int32_t>(0xFF000000), 0xFFFF,
                                             static_cast<int32_t>(0xFF000000));
  const __m128i pairs = _mm_or_si128(_mm_and_si128(bgr0, first_pixel),
                                     _mm_and_si128(_mm_srli_epi64(bgr0, 8), second_pixel));
  // Bytes 0..5 stay; bytes 8..13 move down to 6..11.
  const __m128i low_six = _mm_set_epi32(0, 0, 0xFFFF, -1);
  const __m128i next_six = _mm_set_epi32(0, -1, static_cast<int32_t>(0xFFFF0000), 0);
  return _mm_or_si128(_mm_and_si128(pairs, low_six), _mm_and_si128(_mm_srli_si128(pairs, 2), next_six));
}

// Eight pixels at a time into exactly their 24 bytes; returns the first
// pixel left for the plain loop.
inline int32_t ConvertRowSse2(const RowConversion& c, const uint8_t* luma, const uint8_t* cb,
                       const uint8_t* cr, uint8_t* out, int32_t width) {
  const Split blue = SplitPair(c.gain, c.cb_blue);     // (l, u)
  const Split red = SplitPair(c.gain, c.cr_red);       // (l, v)
  const Split green = SplitPair(c.gain, c.cb_green);   // (l, u)
  const Split green_v = SplitPair(c.cr_green, 0);      // (v, 0)
  const __m128i zero = _mm_setzero_si128();
  const __m128i luma_offset = _mm_set1_epi16(static_cast<int16_t>(c.offset));
  const __m128i chroma_offset = _mm_set1_epi16(128);
  int32_t j = 0;
  for (; j + 8 <= width; j += 8) {
    __m128i u8, v8;
    if (c.chroma_shift) {
      int32_t u4, v4;
      memcpy(&u4, cb + j / 2, 4);
      memcpy(&v4, cr + j / 2, 4);
      u8 = _mm_cvtsi32_si128(u4);
      v8 = _mm_cvtsi32_si128(v4);
      u8 = _mm_unpacklo_epi8(u8, u8);
      v8 = _mm_unpacklo_epi8(v8, v8);
    } else {
      u8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cb + j));
      v8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(cr + j));
    }
    const __m128i y8 = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(luma + j));
    const __m128i l = _mm_sub_epi16(_mm_unpacklo_epi8(y8, zero), luma_offset);
    const __m128i u = _mm_sub_epi16(_mm_unpacklo_epi8(u8, zero), chroma_offset);
    const __m128i v = _mm_sub_epi16(_mm_unpacklo_epi8(v8, zero), chroma_offset);
    const __m128i lu0 = _mm_unpacklo_epi16(l, u), lu1 = _mm_unpackhi_epi16(l, u);
    const __m128i lv0 = _mm_unpacklo_epi16(l, v), lv1 = _mm_unpackhi_epi16(l, v);
    const __m128i v0 = _mm_unpacklo_epi16(v, zero), v1 = _mm_unpackhi_epi16(v, zero);
    const __m128i b = ToBytes(Products(lu0, blue), Products(lu1, blue));
    const __m128i r = ToBytes(Products(lv0, red), Products(lv1, red));
    const __m128i g = ToBytes(_mm_add_epi32(Products(lu0, green), Products(v0, green_v)),
                              _mm_add_epi32(Products(lu1, green), Products(v1, green_v)));
    const __m128i bg = _mm_unpacklo_epi8(b, g);
    const __m128i r0 = _mm_unpacklo_epi8(r, zero);
    const __m128i first = PackFourPixels(_mm_unpacklo_epi16(bg, r0));
    const __m128i second = PackFourPixels(_mm_unpackhi_epi16(bg, r0));
    uint8_t* o = out + 3 * j;
    _mm_storeu_si128(reinterpret_cast<__m128i*>(o), _mm_or_si128(first, _mm_slli_si128(second, 12)));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(o + 16), _mm_srli_si128(second, 4));
  }
  return j;
}

// PackFourPixels as a packer for ConvertRowPairs.
struct PackSse2 {
  static __m128i Four(__m128i bgr0) { return PackFourPixels(bgr0); }
};

// Sixteen pixels sharing eight chroma samples (4:2:0 after up-sampling,
// 4:2:2): each chroma term is formed once per sample and the luma term once
// per pixel for all three colours, then added in 32 bits as the plain
// formula adds them. Returns the first pixel left for the loops after it.
template <class Pack>
int32_t ConvertRowPairs(const RowConversion& c, const uint8_t* luma, const uint8_t* cb,
                            const uint8_t* cr, uint8_t* out, int32_t width) {
  const Split blue = SplitPair(c.cb_blue, 0);           // (u, v)
  const Split green = SplitPair(c.cb_green, c.cr_green);
  const Split red = SplitPair(0, c.cr_red);
  // gain = gain_high * 65536 + gain_low, gain_low in int16.
  const int32_t gain_high = (c.gain + 32768) >> 16;
  const __m128i gain_low = _mm_set1_epi16(static_cast<int16_t>(c.gain - gain_high * 65536));
  const __m128i gain_high16 = _mm_set1_epi16(static_cast<int16_t>(gain_high));
  const __m128i zero = _mm_setzero_si128();
  const __m128i luma_offset = _mm_set1_epi16(static_cast<int16_t>(c.offset));
  const __m128i chroma_offset = _mm_set1_epi16(128);
  int32_t j = 0;
  for (; j + 16 <= width; j += 16) {
    const __m128i y16 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(luma + j));
    __m128i luma_terms[4];  // (Y - offset) x gain of pixels 0-3, 4-7, 8-11, 12-15
    for (int h = 0; h < 2; ++h) {
      const __m128i l = _mm_sub_epi16(h ? _mm_unpackhi_epi8(y16, zero) : _mm_unpacklo_epi8(y16, zero),
                                      luma_offset);
      // The 32-bit product from its 16-bit halves: l x gain_low, then
      // l x gain_high added to the high half.
      const __m128i low = _mm_mullo_epi16(l, gain_low);
      const __m128i high = _mm_add_epi16(_mm_mulhi_epi16(l, gain_low), _mm_mullo_epi16(l, gain_high16));
      luma_terms[2 * h] = _mm_unpacklo_epi16(low, high);
      luma_terms[2 * h + 1] = _mm_unpackhi_epi16(low, high);
    }
    const __m128i u = _mm_sub_epi16(
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cb + j / 2)), zero), chroma_offset);
    const __m128i v = _mm_sub_epi16(
        _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(cr + j / 2)), zero), chroma_offset);
    const __m128i uv0 = _mm_unpacklo_epi16(u, v), uv1 = _mm_unpackhi_epi16(u, v);
    auto colour = [&](const Split& s) {
      const __m128i c0 = Products(uv0, s), c1 = Products(uv1, s);
      const __m128i t0 = _mm_add_epi32(luma_terms[0], _mm_unpacklo_epi32(c0, c0));
      const __m128i t1 = _mm_add_epi32(luma_terms[1], _mm_unpackhi_epi32(c0, c0));
      const __m128i t2 = _mm_add_epi32(luma_terms[2], _mm_unpacklo_epi32(c1, c1));
      const __m128i t3 = _mm_add_epi32(luma_terms[3], _mm_unpackhi_epi32(c1, c1));
      const __m128i w0 = _mm_packs_epi32(_mm_srai_epi32(t0, 16), _mm_srai_epi32(t1, 16));
      const __m128i w1 = _mm_packs_epi32(_mm_srai_epi32(t2, 16), _mm_srai_epi32(t3, 16));
      return _mm_packus_epi16(w0, w1);
    };
    const __m128i b = colour(blue), g = colour(green), r = colour(red);
    const __m128i bg0 = _mm_unpacklo_epi8(b, g), bg1 = _mm_unpackhi_epi8(b, g);
    const __m128i r0 = _mm_unpacklo_epi8(r, zero), r1 = _mm_unpackhi_epi8(r, zero);
    const __m128i p0 = Pack::Four(_mm_unpacklo_epi16(bg0, r0));
    const __m128i p1 = Pack::Four(_mm_unpackhi_epi16(bg0, r0));
    const __m128i p2 = Pack::Four(_mm_unpacklo_epi16(bg1, r1));
    const __m128i p3 = Pack::Four(_mm_unpackhi_epi16(bg1, r1));
    __m128i* o = reinterpret_cast<__m128i*>(out + 3 * j);
    _mm_storeu_si128(o, _mm_or_si128(p0, _mm_slli_si128(p1, 12)));
    _mm_storeu_si128(o + 1, _mm_or_si128(_mm_srli_si128(p1, 4), _mm_slli_si128(p2, 8)));
    _mm_storeu_si128(o + 2, _mm_or_si128(_mm_srli_si128(p2, 8), _mm_slli_si128(p3, 4)));
  }
  return j;
}

}  // namespace

// ConvertRowPairs with the SSSE3 packer, in colour_ssse3.cpp (built for
// SSSE3; call it only where the processor has it).
int32_t colour_row_pairs_ssse3(const RowConversion& c, const uint8_t* luma, const uint8_t* cb,
                               const uint8_t* cr, uint8_t* out, int32_t width);
// Thirty-two pixels at a time, in colour_avx2.cpp (built for AVX2; call it
// only where the processor has it). Converts nothing in builds without it.
int32_t colour_row_pairs_avx2(const RowConversion& c, const uint8_t* luma, const uint8_t* cb,
                              const uint8_t* cr, uint8_t* out, int32_t width);
#endif
