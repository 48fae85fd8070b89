// The 4:2:x colour conversion loop with byte shuffles to order the output,
// for processors with SSSE3 (this file is built with -mssse3).
#include "mpeg/colour_rows.h"

#if defined(__SSE2__)
#include <tmmintrin.h>

namespace {

// Sixteen pixels' colours, even and odd apart, clamped to bytes and
// shuffled into their 48 output bytes, three shuffles to each sixteen.
struct PackSsse3 {
  static void Store(uint8_t* out, const __m128i (&colours)[3][2]) {
    __m128i bytes[3];
    for (int k = 0; k < 3; ++k) bytes[k] = _mm_packus_epi16(colours[k][0], colours[k][1]);
    for (int third = 0; third < 3; ++third) {
      const __m128i* order = reinterpret_cast<const __m128i*>(kPackOrder.index[third]);
      const __m128i v = _mm_or_si128(_mm_or_si128(_mm_shuffle_epi8(bytes[0], order[0]),
                                                  _mm_shuffle_epi8(bytes[1], order[1])),
                                     _mm_shuffle_epi8(bytes[2], order[2]));
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out) + third, v);
    }
  }
};

struct MixOps128 : Ops128 {
  static V InterleaveLow(V a, V b) { return _mm_unpacklo_epi8(a, b); }
  static V InterleaveHigh(V a, V b) { return _mm_unpackhi_epi8(a, b); }
  static V MultiplyAdd(V pairs, V weights) { return _mm_maddubs_epi16(pairs, weights); }
  static V ShiftRight(V a, __m128i count) { return _mm_srl_epi16(a, count); }
  static V PackBytes(V a, V b) { return _mm_packus_epi16(a, b); }
  static void Store(uint8_t* p, V a) { _mm_storeu_si128(reinterpret_cast<__m128i*>(p), a); }
};

}  // namespace

int32_t mix_rows_ssse3(const uint8_t* a, const uint8_t* b, uint8_t* out, int32_t n, int wa, int wb,
                       int shift) {
  return MixRowsVector<MixOps128>(a, b, out, n, wa, wb, shift);
}

int32_t colour_row_pairs_ssse3(const RowConversion& c, const uint8_t* luma, const uint8_t* cb,
                               const uint8_t* cr, uint8_t* out, int32_t width) {
  return ConvertRowPairs<Ops128, PackSsse3>(c, luma, cb, cr, out, width);
}
#endif
