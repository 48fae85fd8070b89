// The vector row loops of colour conversion, shared by colour.cpp (SSE2),
// colour_ssse3.cpp (the same loop compiled for SSSE3, chosen at run time),
// colour_avx2.cpp and colour_avx512.cpp.
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

// The high half of a coefficient split as high * 65536 + low with low in
// int16; both loops below split their coefficients so.
inline int32_t HighHalf(int32_t coefficient) { return (coefficient + 32768) >> 16; }

// A coefficient as high * 65536 + low with both halves in int16, so that
// pmaddwd forms its products exactly in 32 bits.
struct Split {
  __m128i low, high;  // the pair (a, b) of two coefficients, four times
};

inline Split SplitPair(int32_t a, int32_t b) {
  const int32_t ah = HighHalf(a), bh = HighHalf(b);
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

// The 4:2:x loop below works in 16-bit lanes. A 32-bit term t is held as
// its Halves, t = high * 65536 + low with low in 0..65535, kept inverted
// (~low) where it is added to another term: (a + b) >> 16 is then
// a.high + b.high + 1 when a.low > ~b.low (unsigned), else + 0. The highs
// are formed modulo 65536; the true result lies in int16, so it is exact.

// A factor as high * 65536 + low with low in int16, so that the product of
// a 9-bit signed sample x is (mulhi(x, low) + x * high) * 65536 +
// mullo(x, low) with both halves in 16 bits.
template <class Ops>
typename Ops::Halves SplitFactor(int32_t factor) {
  const int32_t high = HighHalf(factor);
  return {Ops::Set(high), Ops::Set(factor - high * 65536)};
}

template <class Ops>
typename Ops::Halves Product(typename Ops::V x, const typename Ops::Halves& factor) {
  return {Ops::Add(Ops::MulHigh(x, factor.low), Ops::MulLow(x, factor.high)), Ops::MulLow(x, factor.low)};
}

// -1 in each lane where low + ~inverted (a low half and an inverted one)
// stays below 65536, 0 where it carries.
template <class Ops>
typename Ops::V NoCarry(typename Ops::V low, typename Ops::V inverted) {
  return Ops::Equal(Ops::SubUnsigned(low, inverted), Ops::Set(0));
}

// A chroma term with its low half inverted, ready to be added to luma terms.
template <class Ops>
typename Ops::Halves Inverted(const typename Ops::Halves& t) {
  return {t.high, Ops::Not(t.low)};
}

// Pixel pairs sharing a chroma sample (4:2:0 after up-sampling, 4:2:2):
// even and odd pixels are taken apart, so that each chroma term, formed
// once per sample, lines up with both without being widened; the Pack
// puts the pixels back in order as it writes them. Returns the first
// pixel left for the loops after it.
template <class Ops, class Pack>
int32_t ConvertRowPairs(const RowConversion& c, const uint8_t* luma, const uint8_t* cb,
                        const uint8_t* cr, uint8_t* out, int32_t width) {
  using V = typename Ops::V;
  using Halves = typename Ops::Halves;
  const Halves gain = SplitFactor<Ops>(c.gain);
  const Halves blue = SplitFactor<Ops>(c.cb_blue), red = SplitFactor<Ops>(c.cr_red);
  const Halves green_u = SplitFactor<Ops>(c.cb_green), green_v = SplitFactor<Ops>(c.cr_green);
  const V luma_offset = Ops::Set(c.offset), chroma_offset = Ops::Set(128), one = Ops::Set(1);
  int32_t j = 0;
  for (; j + Ops::kPixels <= width; j += Ops::kPixels) {
    const V y = Ops::LoadLuma(luma + j);
    const V u = Ops::Sub(Ops::LoadChroma(cb + j / 2), chroma_offset);
    const V v = Ops::Sub(Ops::LoadChroma(cr + j / 2), chroma_offset);
    // (Y - offset) x gain of the even and the odd pixels, high half + 1.
    Halves luma_term[2];
    for (int odd = 0; odd < 2; ++odd) {
      luma_term[odd] = Product<Ops>(Ops::Sub(odd ? Ops::Odd(y) : Ops::Even(y), luma_offset), gain);
      luma_term[odd].high = Ops::Add(luma_term[odd].high, one);
    }
    // Green's two products added with their carry.
    const Halves green_cb = Product<Ops>(u, green_u), green_cr = Product<Ops>(v, green_v);
    const Halves green = {
        Ops::Add(Ops::Add(green_cb.high, green_cr.high),
                 Ops::Add(one, NoCarry<Ops>(green_cb.low, Ops::Not(green_cr.low)))),
        Ops::Add(green_cb.low, green_cr.low)};
    const Halves chroma_terms[3] = {Inverted<Ops>(Product<Ops>(u, blue)), Inverted<Ops>(green),
                                       Inverted<Ops>(Product<Ops>(v, red))};
    V colours[3][2];  // blue, green, red of the even and the odd pixels, unclamped
    for (int k = 0; k < 3; ++k)
      for (int odd = 0; odd < 2; ++odd)
        colours[k][odd] = Ops::Add(Ops::Add(luma_term[odd].high, chroma_terms[k].high),
                                   NoCarry<Ops>(luma_term[odd].low, chroma_terms[k].low));
    Pack::Store(out + 3 * j, colours);
  }
  return j;
}

// The 16-bit lane operations of ConvertRowPairs in SSE2, sixteen pixels at
// a time.
struct Ops128 {
  using V = __m128i;
  struct Halves {
    V high, low;
  };
  static const int kPixels = 16;
  static V Set(int32_t value) { return _mm_set1_epi16(static_cast<int16_t>(value)); }
  static V Add(V a, V b) { return _mm_add_epi16(a, b); }
  static V Sub(V a, V b) { return _mm_sub_epi16(a, b); }
  static V MulHigh(V a, V b) { return _mm_mulhi_epi16(a, b); }
  static V MulLow(V a, V b) { return _mm_mullo_epi16(a, b); }
  static V SubUnsigned(V a, V b) { return _mm_subs_epu16(a, b); }
  static V Equal(V a, V b) { return _mm_cmpeq_epi16(a, b); }
  static V Not(V a) { return _mm_xor_si128(a, _mm_set1_epi32(-1)); }
  static V Even(V bytes) { return _mm_and_si128(bytes, _mm_set1_epi16(0xFF)); }
  static V Odd(V bytes) { return _mm_srli_epi16(bytes, 8); }
  static V LoadLuma(const uint8_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }
  static V LoadChroma(const uint8_t* p) {
    return _mm_unpacklo_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)), _mm_setzero_si128());
  }
};

// Sixteen pixels' colours, even and odd apart, clamped and written in
// order with PackFourPixels.
struct PackSse2 {
  static void Store(uint8_t* out, const __m128i (&colours)[3][2]) {
    __m128i bytes[3];
    for (int k = 0; k < 3; ++k)
      bytes[k] = _mm_packus_epi16(_mm_unpacklo_epi16(colours[k][0], colours[k][1]),
                                  _mm_unpackhi_epi16(colours[k][0], colours[k][1]));
    const __m128i zero = _mm_setzero_si128();
    const __m128i bg0 = _mm_unpacklo_epi8(bytes[0], bytes[1]), bg1 = _mm_unpackhi_epi8(bytes[0], bytes[1]);
    const __m128i r0 = _mm_unpacklo_epi8(bytes[2], zero), r1 = _mm_unpackhi_epi8(bytes[2], zero);
    const __m128i p0 = PackFourPixels(_mm_unpacklo_epi16(bg0, r0));
    const __m128i p1 = PackFourPixels(_mm_unpackhi_epi16(bg0, r0));
    const __m128i p2 = PackFourPixels(_mm_unpacklo_epi16(bg1, r1));
    const __m128i p3 = PackFourPixels(_mm_unpackhi_epi16(bg1, r1));
    __m128i* o = reinterpret_cast<__m128i*>(out);
    _mm_storeu_si128(o, _mm_or_si128(p0, _mm_slli_si128(p1, 12)));
    _mm_storeu_si128(o + 1, _mm_or_si128(_mm_srli_si128(p1, 4), _mm_slli_si128(p2, 8)));
    _mm_storeu_si128(o + 2, _mm_or_si128(_mm_srli_si128(p2, 8), _mm_slli_si128(p3, 4)));
  }
};

// For byte shuffles: where output byte i of each 16-byte third of sixteen
// pixels' 48 comes from, per colour, when each colour's bytes hold the even
// pixels then the odd ones; -128 (a zero byte) where another colour's is.
struct PackOrder {
  alignas(16) int8_t index[3][3][16];  // [third][colour][byte]
};
constexpr PackOrder MakePackOrder() {
  PackOrder order = {};
  for (int n = 0; n < 48; ++n)
    for (int colour = 0; colour < 3; ++colour) {
      const int pixel = n / 3;
      const int from = pixel & 1 ? 8 + pixel / 2 : pixel / 2;
      order.index[n / 16][colour][n % 16] = static_cast<int8_t>(n % 3 == colour ? from : -128);
    }
  return order;
}
constexpr PackOrder kPackOrder = MakePackOrder();

// out[i] = (wa a[i] + wb b[i] + 2^(shift - 1)) >> shift, the up-sampling
// filters' mix, for weights of 0..7: one multiply-add of unsigned bytes
// by signed ones forms both products and their sum exactly in 16 bits, and
// interleaving and packing within each 128-bit lane keep the samples in
// order. Ops adds to the conversion's Ops
//   V InterleaveLow(V, V), InterleaveHigh(V, V);  bytes of a and b in turn
//   V MultiplyAdd(V pairs, V weights);  pmaddubsw
//   V ShiftRight(V, __m128i count);  V PackBytes(V, V);  void Store(uint8_t*, V)
// Returns the first sample left for the plain loop.
template <class Ops>
int32_t MixRowsVector(const uint8_t* a, const uint8_t* b, uint8_t* out, int32_t n, int wa, int wb,
                      int shift) {
  using V = typename Ops::V;
  const V weights = Ops::Set(wb << 8 | wa);
  const V half = Ops::Set(1 << (shift - 1));
  const __m128i count = _mm_cvtsi32_si128(shift);
  const auto mix = [&](V pairs) {
    return Ops::ShiftRight(Ops::Add(Ops::MultiplyAdd(pairs, weights), half), count);
  };
  int32_t i = 0;
  for (; i + Ops::kPixels <= n; i += Ops::kPixels) {
    const V x = Ops::LoadLuma(a + i), y = Ops::LoadLuma(b + i);
    Ops::Store(out + i, Ops::PackBytes(mix(Ops::InterleaveLow(x, y)), mix(Ops::InterleaveHigh(x, y))));
  }
  return i;
}

}  // namespace

// ConvertRowPairs with byte shuffles, in colour_ssse3.cpp (built for
// SSSE3; call it only where the processor has it).
int32_t colour_row_pairs_ssse3(const RowConversion& c, const uint8_t* luma, const uint8_t* cb,
                               const uint8_t* cr, uint8_t* out, int32_t width);
// Thirty-two pixels at a time, in colour_avx2.cpp (built for AVX2; call it
// only where the processor has it). Converts nothing in builds without it.
int32_t colour_row_pairs_avx2(const RowConversion& c, const uint8_t* luma, const uint8_t* cb,
                              const uint8_t* cr, uint8_t* out, int32_t width);
// MixRowsVector sixteen samples at a time (SSSE3) and thirty-two (AVX2), on
// the same terms; the AVX2 one mixes nothing in builds without it.
int32_t mix_rows_ssse3(const uint8_t* a, const uint8_t* b, uint8_t* out, int32_t n, int wa, int wb,
                       int shift);
int32_t mix_rows_avx2(const uint8_t* a, const uint8_t* b, uint8_t* out, int32_t n, int wa, int wb,
                      int shift);
// Both again sixty-four at a time, in colour_avx512.cpp (built for
// AVX-512BW; call them only where the processor has it).
int32_t colour_row_pairs_avx512(const RowConversion& c, const uint8_t* luma, const uint8_t* cb,
                                const uint8_t* cr, uint8_t* out, int32_t width);
int32_t mix_rows_avx512(const uint8_t* a, const uint8_t* b, uint8_t* out, int32_t n, int wa, int wb,
                        int shift);
#endif
