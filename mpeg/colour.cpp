// Colour conversion: matrix choice, chroma up-sampling, integer YCbCr to BGR.
#include "mpeg/colour.h"

#include <cstring>
#include <initializer_list>

#include "mpeg/colour_rows.h"

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

int BestRowLoops() {
#if defined(__SSE2__) && (defined(__i386__) || defined(__x86_64__))
  __builtin_cpu_init();
#if !defined(_WIN64)  // whose compilers cannot realign the stack for 32-byte spills
#if defined(__x86_64__)  // see colour_avx512.cpp
  if (__builtin_cpu_supports("avx512bw")) return kColourLoopsAvx512;
#endif
  if (__builtin_cpu_supports("avx2")) return kColourLoopsAvx2;
#endif
  return __builtin_cpu_supports("ssse3") ? kColourLoopsSsse3 : kColourLoopsSse2;
#else
  return kColourLoopsPlain;
#endif
}

int g_row_loops = -1;  // not chosen yet

// The loops in use, chosen on first use.
int RowLoops() { return g_row_loops >= 0 ? g_row_loops : colour_row_loops(-1); }

// out[i] = (wa * a[i] + wb * b[i] + half) >> Shift: a weighted mean of
// bytes, always 0..255. Rows read from the left half of a chroma plane and
// written to its right half never overlap, which lets it vectorise.
template <int WeightA, int WeightB, int Shift>
void MixRows(const uint8_t* __restrict a, const uint8_t* __restrict b, uint8_t* __restrict out,
             int n) {
  int i = 0;
#if defined(__SSE2__)
  const int loops = RowLoops();
  if (loops >= kColourLoopsAvx512) i = mix_rows_avx512(a, b, out, n, WeightA, WeightB, Shift);
  if (loops >= kColourLoopsAvx2) i += mix_rows_avx2(a + i, b + i, out + i, n - i, WeightA, WeightB, Shift);
  if (loops >= kColourLoopsSsse3) i += mix_rows_ssse3(a + i, b + i, out + i, n - i, WeightA, WeightB, Shift);
#endif
  for (; i < n; ++i)
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
    // A height of 4n + 1 ends its last group a row early.
    if (4 * m + 5 < height) MixRows<3, 5, 3>(in(2 * m + 1), in(2 * m + 3), out(4 * m + 5), half);
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

}  // namespace

int colour_row_loops(int loops) {
  const int best = BestRowLoops();
  if (loops >= 0) g_row_loops = loops < best ? loops : best;
  if (g_row_loops < 0) g_row_loops = best;
  return g_row_loops;
}

void convert_to_bgr(const YuvPlanes& picture, const ColourConversion& conversion,
                    uint8_t* pixels) {
  const bool full_chroma = picture.chroma_format == 3;
  const RowConversion c = {conversion.luma_offset, conversion.luma_gain, conversion.cb_to_blue,
                           conversion.cb_to_green, conversion.cr_to_green, conversion.cr_to_red,
                           full_chroma ? 0 : 1};
  const int chroma_offset = full_chroma ? 0 : conversion.chroma_offset;
  const int loops = RowLoops();
  for (int32_t i = 0; i < conversion.height; ++i) {
    const uint8_t* luma = picture.y + i * conversion.source_stride;
    const uint8_t* cb = picture.cb + i * conversion.source_stride + chroma_offset;
    const uint8_t* cr = picture.cr + i * conversion.source_stride + chroma_offset;
    uint8_t* out = pixels + i * conversion.output_stride;
    int32_t done = 0;
#if defined(__SSE2__)
    if (loops != kColourLoopsPlain) {
      if (c.chroma_shift) {
        if (loops >= kColourLoopsAvx512) done = colour_row_pairs_avx512(c, luma, cb, cr, out, conversion.width);
        if (loops >= kColourLoopsAvx2)
          done += colour_row_pairs_avx2(c, luma + done, cb + done / 2, cr + done / 2, out + 3 * done,
                                        conversion.width - done);
        const int32_t half = done >> 1;
        done += loops >= kColourLoopsSsse3
                    ? colour_row_pairs_ssse3(c, luma + done, cb + half, cr + half, out + 3 * done,
                                             conversion.width - done)
                    : ConvertRowPairs<Ops128, PackSse2>(c, luma + done, cb + half, cr + half, out + 3 * done,
                                                conversion.width - done);
      }
      const int32_t k = done >> c.chroma_shift;
      done += ConvertRowSse2(c, luma + done, cb + k, cr + k, out + 3 * done, conversion.width - done);
    }
#endif
    ConvertRowPlain(c, luma, cb, cr, out, done, conversion.width);
  }
}
