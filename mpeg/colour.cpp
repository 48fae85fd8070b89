// Colour conversion: matrix choice, chroma up-sampling, integer YCbCr to BGR.
#include "mpeg/colour.h"

#include <initializer_list>

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

void UpsampleProgressive(uint8_t* plane, int stride, int height) {
  const int half = stride / 2;
  auto in = [&](int k) { return plane + k * stride; };
  auto out = [&](int r) { return plane + r * stride + half; };
  const int pairs = (height - 1) / 2;
  for (int i = 0; i < half; ++i) out(0)[i] = in(0)[i];
  for (int k = 0; k < pairs; ++k) {
    const uint8_t* c0 = in(k);
    const uint8_t* c1 = in(k + 1);
    uint8_t* upper = out(2 * k + 1);
    uint8_t* lower = out(2 * k + 2);
    for (int i = 0; i < half; ++i) {
      // Weighted means of bytes: always 0..255, no clamp needed.
      upper[i] = static_cast<uint8_t>((3 * c0[i] + c1[i] + 2) >> 2);
      lower[i] = static_cast<uint8_t>((c0[i] + 3 * c1[i] + 2) >> 2);
    }
  }
  // An even height leaves its last row, which repeats the last input row.
  if (2 * pairs + 1 < height)
    for (int i = 0; i < half; ++i) out(2 * pairs + 1)[i] = in(pairs)[i];
}

void UpsampleInterlaced(uint8_t* plane, int stride, int height) {
  const int half = stride / 2;
  auto in = [&](int k) { return plane + k * stride; };
  auto out = [&](int r) { return plane + r * stride + half; };
  auto copy_row = [&](int r, int k) {
    if (r < height)
      for (int i = 0; i < half; ++i) out(r)[i] = in(k)[i];
  };
  copy_row(0, 0);
  copy_row(1, 1);
  const int groups = height > 4 ? (height - 1) / 4 : 0;
  for (int m = 0; m < groups; ++m) {
    const uint8_t* t0 = in(2 * m);
    const uint8_t* b0 = in(2 * m + 1);
    const uint8_t* t1 = in(2 * m + 2);
    const uint8_t* b1 = in(2 * m + 3);
    uint8_t* o2 = out(4 * m + 2);
    uint8_t* o3 = out(4 * m + 3);
    uint8_t* o4 = out(4 * m + 4);
    uint8_t* o5 = out(4 * m + 5);
    for (int i = 0; i < half; ++i) {
      o2[i] = static_cast<uint8_t>((5 * t0[i] + 3 * t1[i] + 4) >> 3);
      o3[i] = static_cast<uint8_t>((7 * b0[i] + b1[i] + 4) >> 3);
      o4[i] = static_cast<uint8_t>((t0[i] + 7 * t1[i] + 4) >> 3);
      o5[i] = static_cast<uint8_t>((3 * b0[i] + 5 * b1[i] + 4) >> 3);
    }
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

void convert_to_bgr(const YuvPlanes& picture, const ColourConversion& conversion,
                    uint8_t* pixels) {
  const int32_t gain = conversion.luma_gain;
  const int32_t cb_blue = conversion.cb_to_blue;
  const int32_t cb_green = conversion.cb_to_green;
  const int32_t cr_green = conversion.cr_to_green;
  const int32_t cr_red = conversion.cr_to_red;
  const bool full_chroma = picture.chroma_format == 3;
  const int chroma_shift = full_chroma ? 0 : 1;
  const int chroma_offset = full_chroma ? 0 : conversion.chroma_offset;

  for (int32_t i = 0; i < conversion.height; ++i) {
    const uint8_t* luma = picture.y + i * conversion.source_stride;
    const uint8_t* cb = picture.cb + i * conversion.source_stride + chroma_offset;
    const uint8_t* cr = picture.cr + i * conversion.source_stride + chroma_offset;
    uint8_t* out = pixels + i * conversion.output_stride;
    for (int32_t j = 0; j < conversion.width; ++j) {
      const int32_t u = cb[j >> chroma_shift] - 128;
      const int32_t v = cr[j >> chroma_shift] - 128;
      const int32_t l = (luma[j] - conversion.luma_offset) * gain;
      out[3 * j + 0] = kClamp[(l + u * cb_blue) >> 16];
      out[3 * j + 1] = kClamp[(l + u * cb_green + v * cr_green) >> 16];
      out[3 * j + 2] = kClamp[(l + v * cr_red) >> 16];
    }
  }
}
