// The 4:2:x colour conversion loop of colour_rows.h, thirty-two pixels at
// a time: each 128-bit lane does what the SSSE3 loop does for sixteen
// (this file is built with -mavx2; call it only where the processor has it).
#include "mpeg/colour_rows.h"

#if defined(__AVX2__) && !defined(_WIN64)
#include <immintrin.h>

namespace {

// Lane 0 holds pixels 0-15 and their chroma samples 0-7, lane 1 the rest.
struct Ops256 {
  using V = __m256i;
  struct Halves {
    V high, low;
  };
  static const int kPixels = 32;
  static V Set(int32_t value) { return _mm256_set1_epi16(static_cast<int16_t>(value)); }
  static V Add(V a, V b) { return _mm256_add_epi16(a, b); }
  static V Sub(V a, V b) { return _mm256_sub_epi16(a, b); }
  static V MulHigh(V a, V b) { return _mm256_mulhi_epi16(a, b); }
  static V MulLow(V a, V b) { return _mm256_mullo_epi16(a, b); }
  static V SubUnsigned(V a, V b) { return _mm256_subs_epu16(a, b); }
  static V Equal(V a, V b) { return _mm256_cmpeq_epi16(a, b); }
  static V Not(V a) { return _mm256_xor_si256(a, _mm256_set1_epi32(-1)); }
  static V Even(V bytes) { return _mm256_and_si256(bytes, _mm256_set1_epi16(0xFF)); }
  static V Odd(V bytes) { return _mm256_srli_epi16(bytes, 8); }
  static V LoadLuma(const uint8_t* p) { return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)); }
  static V LoadChroma(const uint8_t* p) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
  }
};

// Each lane's 48 bytes as PackSsse3 forms them, then the lanes in pixel
// order.
struct PackAvx2 {
  static void Store(uint8_t* out, const __m256i (&colours)[3][2]) {
    __m256i bytes[3], thirds[3];
    for (int k = 0; k < 3; ++k) bytes[k] = _mm256_packus_epi16(colours[k][0], colours[k][1]);
    for (int third = 0; third < 3; ++third) {
      const __m128i* order = reinterpret_cast<const __m128i*>(kPackOrder.index[third]);
      thirds[third] = _mm256_or_si256(
          _mm256_or_si256(_mm256_shuffle_epi8(bytes[0], _mm256_broadcastsi128_si256(order[0])),
                          _mm256_shuffle_epi8(bytes[1], _mm256_broadcastsi128_si256(order[1]))),
          _mm256_shuffle_epi8(bytes[2], _mm256_broadcastsi128_si256(order[2])));
    }
    __m256i* o = reinterpret_cast<__m256i*>(out);
    _mm256_storeu_si256(o, _mm256_permute2x128_si256(thirds[0], thirds[1], 0x20));
    _mm256_storeu_si256(o + 1, _mm256_permute2x128_si256(thirds[2], thirds[0], 0x30));
    _mm256_storeu_si256(o + 2, _mm256_permute2x128_si256(thirds[1], thirds[2], 0x31));
  }
};

struct MixOps256 : Ops256 {
  static V InterleaveLow(V a, V b) { return _mm256_unpacklo_epi8(a, b); }
  static V InterleaveHigh(V a, V b) { return _mm256_unpackhi_epi8(a, b); }
  static V MultiplyAdd(V pairs, V weights) { return _mm256_maddubs_epi16(pairs, weights); }
  static V ShiftRight(V a, __m128i count) { return _mm256_srl_epi16(a, count); }
  static V PackBytes(V a, V b) { return _mm256_packus_epi16(a, b); }
  static void Store(uint8_t* p, V a) { _mm256_storeu_si256(reinterpret_cast<__m256i*>(p), a); }
};

}  // namespace

int32_t mix_rows_avx2(const uint8_t* a, const uint8_t* b, uint8_t* out, int32_t n, int wa, int wb,
                      int shift) {
  return MixRowsVector<MixOps256>(a, b, out, n, wa, wb, shift);
}

int32_t colour_row_pairs_avx2(const RowConversion& c, const uint8_t* luma, const uint8_t* cb,
                              const uint8_t* cr, uint8_t* out, int32_t width) {
  return ConvertRowPairs<Ops256, PackAvx2>(c, luma, cb, cr, out, width);
}

#elif defined(__SSE2__)

int32_t colour_row_pairs_avx2(const RowConversion&, const uint8_t*, const uint8_t*, const uint8_t*, uint8_t*,
                              int32_t) {
  return 0;
}

int32_t mix_rows_avx2(const uint8_t*, const uint8_t*, uint8_t*, int32_t, int, int, int) { return 0; }

#endif
