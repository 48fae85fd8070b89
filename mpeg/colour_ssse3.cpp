// The 4:2:x colour conversion loop with one byte shuffle per four pixels,
// for processors with SSSE3 (this file is built with -mssse3).
#include "mpeg/colour_rows.h"

#if defined(__SSE2__)
#include <tmmintrin.h>

namespace {

// Four pixels held as B G R 0 in each 32-bit lane, packed into the low
// twelve bytes; the rest are zero.
struct PackSsse3 {
  static __m128i Four(__m128i bgr0) {
    const __m128i order = _mm_setr_epi8(0, 1, 2, 4, 5, 6, 8, 9, 10, 12, 13, 14, -1, -1, -1, -1);
    return _mm_shuffle_epi8(bgr0, order);
  }
};

}  // namespace

int32_t colour_row_pairs_ssse3(const RowConversion& c, const uint8_t* luma, const uint8_t* cb,
                               const uint8_t* cr, uint8_t* out, int32_t width) {
  return ConvertRowPairs<PackSsse3>(c, luma, cb, cr, out, width);
}
#endif
