// Colour conversion: matrix choice, chroma up-sampling, integer YCbCr to BGR.
#include "mpeg/colour.h"

#include <cstring>
#include <initializer_list>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

struct Matrix {
  int32_t cr_to_red, cb_to_green, cr_to_green, cb_to_blue;
};

// ITU-R BT.601 for codes 0, 2, 3, 5, 6; BT.709 (1), FCC (4), SMPTE 240M (7).
const Matrix kMatrices[8] = {
    {104597, -25675, -53279, 132201}, {117504, -13954, -34903, 138453},
    {104597, -25675, -53279, 132201}, {104597, -25675, -53279, 132201},
    {104448, -24759, -53109, 132798}, {104597, -25675, -53279, 132201},
    {104597, -25675, -53279, 132201}, {117579, -16907, -35559, 136230},
};

// Integer frame rates by frame_rate_code, for the pixel-rate test only.
const int32_t kIntegerFrameRate[16] = {0, 24, 24, 25, 30, 30, 50, 60, 60, 0, 0, 0, 0, 0, 0, 0};

// Clamp to 0..255 by one look-up, indexed -384..639; the coefficients
// above keep every result of the formulas inside that range.
constexpr int kClampZero = 384;
struct ClampTable {
  uint8_t value[1024];
};
constexpr ClampTable MakeClampTable() {
  ClampTable table = {};
  for (int i = 0; i < 1024; ++i) {
    const int v = i - kClampZero;
    table.value[i] = static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v));
  }
  return table;
}
constexpr ClampTable kClampTable = MakeClampTable();
const uint8_t* const kClamp = kClampTable.value + kClampZero;

// out[i] = (wa * a[i] + wb * b[i] + half) >> Shift: a weighted mean of
// bytes, always 0..255. Rows read from the left half of a chroma plane and
// written to its right half never overlap, which lets it vectorise.
template <int WeightA, int WeightB, int Shift>
void MixRows(const uint8_t* __restrict a, const uint8_t* __restrict b, uint8_t* __restrict out,
             int n) {
  for (int i = 0; i < n; ++i)
    out[i] = static_cast<uint8_t>((WeightA * a[i] + WeightB * b[i] + (1 << (Shift - 1))) >> Shift);
}

void CopyRow(const uint8_t* a, uint8_t* out, int n) { memcpy(out, a, static_cast<size_t>(n)); }

void UpsampleProgressive(uint8_t* plane, int stride, int height) {
  const int half = stride / 2;
  auto in = [&](int k) { return plane + k * stride; };
  auto out = [&](int r) { return plane + r * stride + half; };
  const int pairs = (height - 1) / 2;
  CopyRow(in(0), out(0), half);
  for (int k = 0; k < pairs; ++k) {
    MixRows<3, 1, 2>(in(k), in(k + 1), out(2 * k + 1), half);
    MixRows<1, 3, 2>(in(k), in(k + 1), out(2 * k + 2), half);
  }
  // An even height leaves its last row, which repeats the last input row.
  if (2 * pairs + 1 < height) CopyRow(in(pairs), out(2 * pairs + 1), half);
}

void UpsampleInterlaced(uint8_t* plane, int stride, int height) {
  const int half = stride / 2;
  auto in = [&](int k) { return plane + k * stride; };
  auto out = [&](int r) { return plane + r * stride + half; };
  auto copy_row = [&](int r, int k) {
    if (r < height) CopyRow(in(k), out(r), half);
  };
  copy_row(0, 0);
  copy_row(1, 1);
  const int groups = height > 4 ? (height - 1) / 4 : 0;
  for (int m = 0; m < groups; ++m) {
    MixRows<5, 3, 3>(in(2 * m), in(2 * m + 2), out(4 * m + 2), half);
    MixRows<7, 1, 3>(in(2 * m + 1), in(2 * m + 3), out(4 * m + 3), half);
    MixRows<1, 7, 3>(in(2 * m), in(2 * m + 2), out(4 * m + 4), half);
    MixRows<3, 5, 3>(in(2 * m + 1), in(2 * m + 3), out(4 * m + 5), half);
  }
  // The last two output rows repeat the next two input rows.
  copy_row(4 * groups + 2, 2 * groups);
  copy_row(4 * groups + 3, 2 * groups + 1);
}

}  // namespace

int colour_matrix_code(const ColourSequence& sequence) {
  if (sequence.colour_description) {
    const int code = sequence.matrix_coefficients;
    return code >= 0 && code <= 7 ? code : 0;
  }
  if (!sequence.mpeg2) return 0;
  // 64-bit: the product of the largest sizes and rates passes 2^31.
  const int32_t rate = kIntegerFrameRate[sequence.frame_rate_code & 15] *
                       (sequence.frame_rate_extension_n + 1) /
                       (sequence.frame_rate_extension_d + 1);
  const int64_t pixel_rate =
      int64_t{rate} * sequence.vertical_size * sequence.horizontal_size;
  return pixel_rate >= 12000000 ? 1 : 0;
}

int32_t bitmap_row_stride(int32_t width) { return (3 * width + 3) & ~3; }

ColourConversion build_colour_conversion(const ColourSequence& sequence) {
  const Matrix& matrix = kMatrices[colour_matrix_code(sequence)];
  ColourConversion conversion = {};
  conversion.width = sequence.horizontal_size;
  conversion.height = sequence.vertical_size;
  conversion.source_stride = sequence.stride;
  conversion.output_stride = bitmap_row_stride(sequence.horizontal_size);
  // Up-sampled 4:2:0 chroma sits at half the stride; that equals half the
  // horizontal size whenever the size is a multiple of 16, and is the
  // right place for every other size too.
  const bool quarter_chroma = !sequence.mpeg2 || sequence.chroma_format == 1;
  conversion.chroma_offset = quarter_chroma ? sequence.stride / 2 : 0;
  conversion.luma_offset = 16;
  conversion.luma_gain = 76309;
  conversion.cb_to_blue = matrix.cb_to_blue;
  conversion.cb_to_green = matrix.cb_to_green;
  conversion.cr_to_green = matrix.cr_to_green;
  conversion.cr_to_red = matrix.cr_to_red;
  return conversion;
}

void upsample_chroma(const YuvPlanes& picture, int progressive) {
  if (picture.chroma_format != 1) return;
  for (uint8_t* plane : {picture.cb, picture.cr}) {
    if (progressive)
      UpsampleProgressive(plane, picture.width, picture.height);
    else
      UpsampleInterlaced(plane, picture.width, picture.height);
  }
}

namespace {

struct RowConversion {
  int32_t offset, gain, cb_blue, cb_green, cr_green, cr_red;
  int chroma_shift;
};

// Pixels [from, to) of one row, one at a time.
void ConvertRowPlain(const RowConversion& c, const uint8_t* luma, const uint8_t* cb,
                     const uint8_t* cr, uint8_t* out, int32_t from, int32_t to) {
  for (int32_t j = from; j < to; ++j) {
    const int32_t u = cb[j >> c.chroma_shift] - 128;
    const int32_t v = cr[j >> c.chroma_shift] - 128;
    const int32_t l = (luma[j] - c.offset) * c.gain;
    out[3 * j + 0] = kClamp[(l + u * c.cb_blue) >> 16];
    out[3 * j + 1] = kClamp[(l + u * c.cb_green + v * c.cr_green) >> 16];
    out[3 * j + 2] = kClamp[(l + v * c.cr_red) >> 16];
  }
}

#if defined(__SSE2__)

// A coefficient as high * 65536 + low with both halves in int16, so that
// pmaddwd forms its products exactly in 32 bits.
struct Split {
  __m128i low, high;  // the pair (a, b) of two coefficients, four times
};

Split SplitPair(int32_t a, int32_t b) {
  const int32_t ah = (a + 32768) >> 16, bh = (b + 32768) >> 16;
  const int32_t al = a - ah * 65536, bl = b - bh * 65536;
  Split s;
  s.low = _mm_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(bl) << 16) | (al & 0xFFFF)));
  s.high = _mm_set1_epi32(static_cast<int32_t>((static_cast<uint32_t>(bh) << 16) | (ah & 0xFFFF)));
  return s;
}

// a * x + b * y for four pixels of interleaved 16-bit (x, y) pairs: the
// same integer the plain formula gives, which fits 32 bits.
__m128i Products(__m128i pairs, const Split& s) {
  return _mm_add_epi32(_mm_madd_epi16(pairs, s.low), _mm_slli_epi32(_mm_madd_epi16(pairs, s.high), 16));
}

// (sum >> 16) of eight pixels clamped to bytes, as the clamp table does.
__m128i ToBytes(__m128i low, __m128i high) {
  const __m128i words = _mm_packs_epi32(_mm_srai_epi32(low, 16), _mm_srai_epi32(high, 16));
  return _mm_packus_epi16(words, words);
}

// Four pixels held as B G R 0 in each 32-bit lane, packed into the low
// twelve bytes.
__m128i PackFourPixels(__m128i bgr0) {
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
int32_t ConvertRowSse2(const RowConversion& c, const uint8_t* luma, const uint8_t* cb,
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

#endif

}  // namespace

void convert_to_bgr(const YuvPlanes& picture, const ColourConversion& conversion,
                    uint8_t* pixels) {
  const bool full_chroma = picture.chroma_format == 3;
  const RowConversion c = {conversion.luma_offset, conversion.luma_gain, conversion.cb_to_blue,
                           conversion.cb_to_green, conversion.cr_to_green, conversion.cr_to_red,
                           full_chroma ? 0 : 1};
  const int chroma_offset = full_chroma ? 0 : conversion.chroma_offset;
  for (int32_t i = 0; i < conversion.height; ++i) {
    const uint8_t* luma = picture.y + i * conversion.source_stride;
    const uint8_t* cb = picture.cb + i * conversion.source_stride + chroma_offset;
    const uint8_t* cr = picture.cr + i * conversion.source_stride + chroma_offset;
    uint8_t* out = pixels + i * conversion.output_stride;
    int32_t done = 0;
#if defined(__SSE2__)
    done = ConvertRowSse2(c, luma, cb, cr, out, conversion.width);
#endif
    ConvertRowPlain(c, luma, cb, cr, out, done, conversion.width);
  }
}
