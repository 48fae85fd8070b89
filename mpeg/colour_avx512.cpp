// The 4:2:x colour conversion and up-sampling loops of colour_rows.h,
// sixty-four pixels at a time: each 128-bit lane does what the SSSE3 loops
// do for sixteen (this file is built with -mavx512bw; call it only where
// the processor has it). 64-bit builds only: with eight vector registers
// the 32-bit loops would spill, and no emulator here runs AVX-512 to test
// them.
#include "mpeg/colour_rows.h"

#if defined(__AVX512BW__) && defined(__x86_64__) && !defined(_WIN64)
#include <immintrin.h>

namespace {

// Lane k holds pixels 16k..16k+15 and their chroma samples 8k..8k+7.
struct Ops512 {
  using V = __m512i;
  struct Halves {
    V high, low;
  };
  static const int kPixels = 64;
  static V Set(int32_t value) { return _mm512_set1_epi16(static_cast<int16_t>(value)); }
  static V Add(V a, V b) { return _mm512_add_epi16(a, b); }
  static V Sub(V a, V b) { return _mm512_sub_epi16(a, b); }
  static V MulHigh(V a, V b) { return _mm512_mulhi_epi16(a, b); }
  static V MulLow(V a, V b) { return _mm512_mullo_epi16(a, b); }
  static V SubUnsigned(V a, V b) { return _mm512_subs_epu16(a, b); }
  static V Equal(V a, V b) { return _mm512_movm_epi16(_mm512_cmpeq_epi16_mask(a, b)); }
  static V Not(V a) { return _mm512_ternarylogic_epi32(a, a, a, 0x55); }
  static V Even(V bytes) { return _mm512_and_si512(bytes, _mm512_set1_epi16(0xFF)); }
  static V Odd(V bytes) { return _mm512_srli_epi16(bytes, 8); }
  static V LoadLuma(const uint8_t* p) { return _mm512_loadu_si512(p); }
  static V LoadChroma(const uint8_t* p) {
    return _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
  }
};

// kPackOrder's shuffles in each of the four lanes.
struct WidePackOrder {
  alignas(64) int8_t index[3][3][64];  // [third][colour][byte]
};
constexpr WidePackOrder MakeWidePackOrder() {
  WidePackOrder order = {};
  for (int third = 0; third < 3; ++third)
    for (int colour = 0; colour < 3; ++colour)
      for (int n = 0; n < 64; ++n) order.index[third][colour][n] = kPackOrder.index[third][colour][n % 16];
  return order;
}
constexpr WidePackOrder kWidePackOrder = MakeWidePackOrder();

// Each lane's 48 bytes as PackSsse3 forms them, then the twelve 16-byte
// pieces in pixel order: piece 3k + t is lane k of third t.
struct PackAvx512 {
  static void Store(uint8_t* out, const __m512i (&colours)[3][2]) {
    __m512i bytes[3], thirds[3];
    for (int k = 0; k < 3; ++k) bytes[k] = _mm512_packus_epi16(colours[k][0], colours[k][1]);
    for (int third = 0; third < 3; ++third) {
      const auto shuffled = [&](int colour) {
        return _mm512_shuffle_epi8(bytes[colour], _mm512_load_si512(kWidePackOrder.index[third][colour]));
      };
      thirds[third] = _mm512_ternarylogic_epi32(shuffled(0), shuffled(1), shuffled(2), 0xFE);  // a | b | c
    }
    // Quadwords 2k, 2k + 1 are lane k; 8 and up name the second source.
    const auto pick = [](__m512i a, __m512i b, __m512i c, __m512i from_ab, __m512i from_c) {
      return _mm512_permutex2var_epi64(_mm512_permutex2var_epi64(a, from_ab, b), from_c, c);
    };
    __m512i* o = reinterpret_cast<__m512i*>(out);
    _mm512_storeu_si512(o, pick(thirds[0], thirds[1], thirds[2], _mm512_set_epi64(3, 2, 0, 0, 9, 8, 1, 0),
                                _mm512_set_epi64(7, 6, 9, 8, 3, 2, 1, 0)));
    _mm512_storeu_si512(o + 1, pick(thirds[1], thirds[0], thirds[2], _mm512_set_epi64(5, 4, 13, 12, 0, 0, 3, 2),
                                    _mm512_set_epi64(7, 6, 5, 4, 11, 10, 1, 0)));
    _mm512_storeu_si512(o + 2, pick(thirds[2], thirds[0], thirds[1], _mm512_set_epi64(7, 6, 0, 0, 15, 14, 5, 4),
                                    _mm512_set_epi64(7, 6, 15, 14, 3, 2, 1, 0)));
  }
};

struct MixOps512 : Ops512 {
  static V InterleaveLow(V a, V b) { return _mm512_unpacklo_epi8(a, b); }
  static V InterleaveHigh(V a, V b) { return _mm512_unpackhi_epi8(a, b); }
  static V MultiplyAdd(V pairs, V weights) { return _mm512_maddubs_epi16(pairs, weights); }
  static V ShiftRight(V a, __m128i count) { return _mm512_srl_epi16(a, count); }
  static V PackBytes(V a, V b) { return _mm512_packus_epi16(a, b); }
  static void Store(uint8_t* p, V a) { _mm512_storeu_si512(p, a); }
};

}  // namespace

int32_t mix_rows_avx512(const uint8_t* a, const uint8_t* b, uint8_t* out, int32_t n, int wa, int wb,
                        int shift) {
  return MixRowsVector<MixOps512>(a, b, out, n, wa, wb, shift);
}

int32_t colour_row_pairs_avx512(const RowConversion& c, const uint8_t* luma, const uint8_t* cb,
                                const uint8_t* cr, uint8_t* out, int32_t width) {
  return ConvertRowPairs<Ops512, PackAvx512>(c, luma, cb, cr, out, width);
}

#elif defined(__SSE2__)

int32_t colour_row_pairs_avx512(const RowConversion&, const uint8_t*, const uint8_t*, const uint8_t*,
                                uint8_t*, int32_t) {
  return 0;
}

int32_t mix_rows_avx512(const uint8_t*, const uint8_t*, uint8_t*, int32_t, int, int, int) { return 0; }

#endif
