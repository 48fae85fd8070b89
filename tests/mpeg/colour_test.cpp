// Colour conversion: matrix choice, the integer formulas on known colours,
// chroma addressing per format, and both chroma up-sampling filters.
#include "mpeg/colour.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

ColourSequence Mpeg2Sequence(int width, int height, int frame_rate_code, int n = 0, int d = 0) {
  ColourSequence s = {};
  s.horizontal_size = width;
  s.vertical_size = height;
  s.stride = (width + 15) & ~15;
  s.mpeg2 = 1;
  s.chroma_format = 1;
  s.frame_rate_code = frame_rate_code;
  s.frame_rate_extension_n = n;
  s.frame_rate_extension_d = d;
  return s;
}

TEST(ColourMatrix, ChosenByColourDescriptionThenPixelRate) {
  struct Case {
    const char* name;
    ColourSequence sequence;
    int expected;
  };
  ColourSequence described = Mpeg2Sequence(1920, 1080, 4);
  described.colour_description = 1;
  described.matrix_coefficients = 4;
  ColourSequence reserved = described;
  reserved.matrix_coefficients = 9;
  ColourSequence mpeg1 = Mpeg2Sequence(1920, 1080, 4);
  mpeg1.mpeg2 = 0;
  const Case cases[] = {
      {"720x480 at 29.97 without description", Mpeg2Sequence(720, 480, 4), 0},
      {"1920x1080 at 29.97 without description", Mpeg2Sequence(1920, 1080, 4), 1},
      {"colour description wins", described, 4},
      {"reserved matrix code counts as 0", reserved, 0},
      {"MPEG-1 is always 0", mpeg1, 0},
      // 30 x (1 + 1) / (1 + 1) = 30 per second: 400000 x 30 reaches 12e6.
      {"code 4 with extension 1/1 is 30 per second", Mpeg2Sequence(800, 500, 4, 1, 1), 1},
      {"just below the pixel rate", Mpeg2Sequence(800, 499, 4, 1, 1), 0},
      {"frame rate code 8 (60)", Mpeg2Sequence(640, 320, 8), 1},
      {"reserved frame rate code", Mpeg2Sequence(1920, 1080, 9), 0},
      // 60 x 4 per second x 16383 x 16383 passes 2^31; still code 1.
      {"huge pixel rate", Mpeg2Sequence(16383, 16383, 8, 3, 0), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(c.expected, colour_matrix_code(c.sequence));
  }
}

TEST(ColourConversionRecord, FieldsFromTheSequence) {
  ColourSequence s = Mpeg2Sequence(718, 477, 4);
  ColourConversion r = build_colour_conversion(s);
  EXPECT_EQ(718, r.width);
  EXPECT_EQ(477, r.height);
  EXPECT_EQ(720, r.source_stride);
  EXPECT_EQ(2156, r.output_stride);  // 3 x 718 = 2154 rounded up
  EXPECT_EQ(360, r.chroma_offset);   // where up-sampling writes: stride / 2
  EXPECT_EQ(16, r.luma_offset);
  EXPECT_EQ(76309, r.luma_gain);
  EXPECT_EQ(132201, r.cb_to_blue);
  EXPECT_EQ(-25675, r.cb_to_green);
  EXPECT_EQ(-53279, r.cr_to_green);
  EXPECT_EQ(104597, r.cr_to_red);
  s.chroma_format = 2;
  EXPECT_EQ(0, build_colour_conversion(s).chroma_offset);
  EXPECT_EQ(12, bitmap_row_stride(4));
  EXPECT_EQ(4, bitmap_row_stride(1));
  EXPECT_EQ(8, bitmap_row_stride(2));
}

// A 4:4:4 picture of one row makes every pixel's samples explicit.
std::vector<uint8_t> ConvertPixels(const std::vector<uint8_t>& y, const std::vector<uint8_t>& cb,
                                   const std::vector<uint8_t>& cr, int matrix = 0) {
  const int width = static_cast<int>(y.size());
  std::vector<uint8_t> ly(16, 0), lcb(16, 0), lcr(16, 0);
  for (int i = 0; i < width; ++i) {
    ly[i] = y[i];
    lcb[i] = cb[i];
    lcr[i] = cr[i];
  }
  const YuvPlanes picture = {ly.data(), lcb.data(), lcr.data(), 16, 1, 3};
  ColourSequence s = Mpeg2Sequence(width, 1, 4);
  s.chroma_format = 3;
  s.colour_description = 1;
  s.matrix_coefficients = matrix;
  const ColourConversion r = build_colour_conversion(s);
  std::vector<uint8_t> pixels(r.output_stride, 0xEE);
  convert_to_bgr(picture, r, pixels.data());
  return pixels;
}

TEST(ConvertToBgr, KnownColours) {
  struct Case {
    const char* name;
    uint8_t y, cb, cr;
    uint8_t blue, green, red;
  } cases[] = {
      {"black", 16, 128, 128, 0, 0, 0},
      {"Y 235 is just below white", 235, 128, 128, 254, 254, 254},
      {"Y 236 is white", 236, 128, 128, 255, 255, 255},
      {"Y 255 clamps", 255, 128, 128, 255, 255, 255},
      {"Y 0 clamps", 0, 128, 128, 0, 0, 0},
      // (65 x 76309 + 112 x 104597) >> 16 = 254; green and blue fall below 0.
      {"BT.601 red", 81, 90, 240, 0, 0, 254},
      {"BT.601 blue", 41, 240, 110, 255, 0, 0},
      // (239 x 76309 - 128 x 104597) >> 16 = 73 for red.
      {"extreme chroma stays inside the clamp table", 255, 255, 0, 255, 255, 73},
      // (-16 x 76309 + 127 x 104597) >> 16 = 184 for red.
      {"extreme chroma, other corner", 0, 0, 255, 0, 0, 184},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<uint8_t> p = ConvertPixels({c.y}, {c.cb}, {c.cr});
    EXPECT_EQ(c.blue, p[0]);
    EXPECT_EQ(c.green, p[1]);
    EXPECT_EQ(c.red, p[2]);
    EXPECT_EQ(0xEE, p[3]);  // row padding left alone
  }
}

TEST(ConvertToBgr, MatrixChangesTheChromaTerms) {
  // BT.709 (code 1): red = (65 x 76309 + 112 x 117504) >> 16 = 276 -> 255.
  const std::vector<uint8_t> p = ConvertPixels({81}, {128}, {240}, 1);
  EXPECT_EQ(255, p[2]);
  // (65 x 76309 + 112 x -34903) >> 16 = 16 for green.
  EXPECT_EQ(16, p[1]);
}

// Chroma addressing: 4:2:0 reads the up-sampled right half, 4:2:2 the left
// half, both one chroma sample per two pixels; rows follow the luma row.
TEST(ConvertToBgr, ChromaAddressingPerFormat) {
  const int stride = 32, height = 3, width = 19;  // odd width and height
  for (int format : {1, 2}) {
    SCOPED_TRACE("chroma format " + std::to_string(format));
    std::vector<uint8_t> y(stride * height, 100), cb(stride * height), cr(stride * height);
    for (int i = 0; i < stride * height; ++i) {
      cb[i] = static_cast<uint8_t>(i % 251);
      cr[i] = static_cast<uint8_t>((7 * i) % 253);
    }
    const YuvPlanes picture = {y.data(), cb.data(), cr.data(), stride, height, format};
    ColourSequence s = Mpeg2Sequence(width, height, 4);
    s.stride = stride;
    s.chroma_format = format;
    const ColourConversion r = build_colour_conversion(s);
    std::vector<uint8_t> pixels(r.output_stride * height + 5, 0xEE);
    convert_to_bgr(picture, r, pixels.data());
    for (int i = 0; i < height; ++i)
      for (int j = 0; j < width; ++j) {
        const int offset = format == 1 ? stride / 2 : 0;
        const std::vector<uint8_t> one = ConvertPixels(
            {100}, {cb[i * stride + offset + j / 2]}, {cr[i * stride + offset + j / 2]});
        for (int k = 0; k < 3; ++k)
          ASSERT_EQ(one[k], pixels[i * r.output_stride + 3 * j + k]) << i << "," << j;
      }
    for (int i = 0; i < height; ++i)
      EXPECT_EQ(0xEE, pixels[i * r.output_stride + 3 * width]);  // padding byte
    EXPECT_EQ(0xEE, pixels[r.output_stride * height]);  // nothing past the last row
  }
}

// Input chroma rows k hold the value 8k in every sample of the left half.
std::vector<uint8_t> RampPlane(int stride, int height) {
  std::vector<uint8_t> plane(stride * height, 0);
  for (int k = 0; k < height / 2; ++k)
    for (int i = 0; i < stride / 2; ++i) plane[k * stride + i] = static_cast<uint8_t>(8 * k);
  return plane;
}

std::vector<int> OutputColumn(const std::vector<uint8_t>& plane, int stride, int height,
                              const std::vector<uint8_t>& before) {
  std::vector<int> column(height);
  for (int r = 0; r < height; ++r) {
    for (int i = 0; i < stride / 2; ++i) {
      EXPECT_EQ(before[r * stride + i], plane[r * stride + i]) << "left half of row " << r;
      EXPECT_EQ(plane[r * stride + stride / 2], plane[r * stride + stride / 2 + i]);
    }
    column[r] = plane[r * stride + stride / 2];
  }
  return column;
}

TEST(UpsampleChroma, ProgressiveFilter) {
  const int stride = 16, height = 16;
  std::vector<uint8_t> cb = RampPlane(stride, height), cr = RampPlane(stride, height);
  const std::vector<uint8_t> before = cb;
  std::vector<uint8_t> y(stride * height);
  upsample_chroma({y.data(), cb.data(), cr.data(), stride, height, 1}, 1);
  // c[k] = 8k: odd rows (3c[k] + c[k+1] + 2) >> 2 = 8k + 2, even rows
  // (c[k] + 3c[k+1] + 2) >> 2 = 8k + 6; the last row repeats c[7].
  const std::vector<int> expected = {0, 2, 6, 10, 14, 18, 22, 26, 30, 34, 38, 42, 46, 50, 54, 56};
  EXPECT_EQ(expected, OutputColumn(cb, stride, height, before));
  EXPECT_EQ(cb, cr);
}

TEST(UpsampleChroma, InterlacedFilterKeepsFieldsApart) {
  const int stride = 16, height = 16;
  std::vector<uint8_t> cb = RampPlane(stride, height), cr = RampPlane(stride, height);
  const std::vector<uint8_t> before = cb;
  std::vector<uint8_t> y(stride * height);
  upsample_chroma({y.data(), cb.data(), cr.data(), stride, height, 1}, 0);
  // T[m] = c[2m] = 16m, B[m] = c[2m+1] = 16m + 8.
  // o[4m+2] = (5T[m] + 3T[m+1] + 4) >> 3 = 16m + 6
  // o[4m+3] = (7B[m] + B[m+1] + 4) >> 3 = 16m + 10
  // o[4m+4] = (T[m] + 7T[m+1] + 4) >> 3 = 16m + 14
  // o[4m+5] = (3B[m] + 5B[m+1] + 4) >> 3 = 16m + 18
  // last two rows copy c[6], c[7].
  const std::vector<int> expected = {0, 8, 6, 10, 14, 18, 22, 26, 30, 34, 38, 42, 46, 50, 48, 56};
  EXPECT_EQ(expected, OutputColumn(cb, stride, height, before));
  EXPECT_EQ(cb, cr);
}

TEST(UpsampleChroma, LastRowsOfA480LinePicture) {
  const int stride = 16, height = 480;
  for (int progressive : {1, 0}) {
    SCOPED_TRACE(progressive ? "progressive" : "interlaced");
    std::vector<uint8_t> cb(stride * height, 0), cr(stride * height, 0), y(stride * height);
    for (int k = 0; k < height / 2; ++k) cb[k * stride] = static_cast<uint8_t>(k);
    upsample_chroma({y.data(), cb.data(), cr.data(), stride, height, 1}, progressive);
    EXPECT_EQ(239, cb[479 * stride + 8]);
    if (!progressive) {
      EXPECT_EQ(238, cb[478 * stride + 8]);
    } else {
      EXPECT_EQ((238 + 3 * 239 + 2) >> 2, cb[478 * stride + 8]);
    }
  }
}

// Heights that end inside a group of four output rows: every row is
// written, and nothing past the last one.
TEST(UpsampleChroma, OddHeightsWriteTheirRowsAndNoMore) {
  const int stride = 16;
  for (int height : {1, 2, 3, 5, 6, 7, 9, 13})
    for (int progressive : {1, 0}) {
      SCOPED_TRACE("height " + std::to_string(height) + (progressive ? " progressive" : " interlaced"));
      std::vector<uint8_t> cb(stride * (height + 1), 0xEE), cr = cb, y(stride * height);
      for (int k = 0; k < height; ++k) cb[k * stride] = cr[k * stride] = 0;
      for (int i = 0; i < stride * height; i += stride) cb[i + stride / 2] = cr[i + stride / 2] = 0x77;
      upsample_chroma({y.data(), cb.data(), cr.data(), stride, height, 1}, progressive);
      for (int r = 0; r < height; ++r) EXPECT_NE(0x77, cb[r * stride + stride / 2]) << "row " << r;
      EXPECT_EQ(std::vector<uint8_t>(stride, 0xEE), std::vector<uint8_t>(cb.end() - stride, cb.end()));
      EXPECT_EQ(cb, cr);
    }
}

// Each vector loop against the plain one on random planes, both filters,
// with half widths that leave every length of tail: the same bytes, in
// the right halves and everywhere else.
TEST(UpsampleChroma, VectorLoopsGiveThePlainLoopsBytes) {
  const struct {
    int stride, height;
  } sizes[] = {{16, 16}, {34, 7}, {66, 9}, {98, 13}, {126, 4}, {720, 12}, {1440, 5}};
  std::mt19937 random(6);
  for (const auto& size : sizes)
    for (int progressive : {1, 0}) {
      SCOPED_TRACE("stride " + std::to_string(size.stride) + (progressive ? " progressive" : " interlaced"));
      std::vector<uint8_t> cb(size.stride * size.height), y(cb.size());
      for (uint8_t& sample : cb) sample = static_cast<uint8_t>(random());
      std::vector<uint8_t> plain = cb, plain_cr = cb;
      colour_row_loops(kColourLoopsPlain);
      upsample_chroma({y.data(), plain.data(), plain_cr.data(), size.stride, size.height, 1}, progressive);
      for (int loops : {kColourLoopsSse2, kColourLoopsSsse3, kColourLoopsAvx2, kColourLoopsAvx512}) {
        std::vector<uint8_t> vector = cb, vector_cr = cb;
        const int used = colour_row_loops(loops);
        upsample_chroma({y.data(), vector.data(), vector_cr.data(), size.stride, size.height, 1},
                        progressive);
        EXPECT_EQ(plain, vector) << "row loops " << used;
      }
      colour_row_loops(kColourLoopsAvx512);
    }
}

TEST(UpsampleChroma, LeavesOtherFormatsAlone) {
  for (int format : {2, 3}) {
    std::vector<uint8_t> cb = RampPlane(16, 16), cr = cb, y(256);
    const std::vector<uint8_t> before = cb;
    upsample_chroma({y.data(), cb.data(), cr.data(), 16, 16, format}, 1);
    EXPECT_EQ(before, cb);
    EXPECT_EQ(before, cr);
  }
}

}  // namespace

namespace {

// Every luma and chroma value with each distinct matrix, through every row
// loop, against the formula worked out directly: 4:4:4 rows take the
// per-pixel loops, 4:2:2 rows the pair loops. Cb is the row number and Cr
// runs along a row; the 256 lumas of a row meet every chroma sample there.
TEST(ConvertToBgr, EverySampleTripleGivesTheFormulasBytes) {
  const int width = 264, stride = 272, rows = 256;
  auto clamp = [](int v) { return static_cast<uint8_t>(v < 0 ? 0 : (v > 255 ? 255 : v)); };
  for (int format : {3, 2})
    for (int matrix : {0, 1, 4, 7}) {
      SCOPED_TRACE("format " + std::to_string(format) + " matrix " + std::to_string(matrix));
      ColourSequence s = Mpeg2Sequence(width, rows, 4);
      s.stride = stride;
      s.chroma_format = format;
      s.colour_description = 1;
      s.matrix_coefficients = matrix;
      const ColourConversion r = build_colour_conversion(s);
      std::vector<uint8_t> y(stride * rows), cb(stride * rows), cr(stride * rows);
      std::vector<uint8_t> want(r.output_stride * rows), pixels(r.output_stride * rows);
      for (int red_chroma = 0; red_chroma < 256; ++red_chroma) {
        for (int i = 0; i < rows; ++i)
          for (int j = 0; j < stride; ++j) {
            y[i * stride + j] = static_cast<uint8_t>(j * 7 + i);
            cb[i * stride + j] = static_cast<uint8_t>(i);
            cr[i * stride + j] = static_cast<uint8_t>(red_chroma + j);
          }
        for (int i = 0; i < rows; ++i)
          for (int j = 0; j < width; ++j) {
            const int at = i * stride + (format == 3 ? j : j / 2);
            const int l = (y[i * stride + j] - 16) * r.luma_gain;
            const int u = cb[at] - 128, v = cr[at] - 128;
            uint8_t* p = &want[i * r.output_stride + 3 * j];
            p[0] = clamp((l + u * r.cb_to_blue) >> 16);
            p[1] = clamp((l + u * r.cb_to_green + v * r.cr_to_green) >> 16);
            p[2] = clamp((l + v * r.cr_to_red) >> 16);
          }
        for (int loops :
             {kColourLoopsPlain, kColourLoopsSse2, kColourLoopsSsse3, kColourLoopsAvx2, kColourLoopsAvx512}) {
          const int used = colour_row_loops(loops);
          convert_to_bgr(YuvPlanes{y.data(), cb.data(), cr.data(), stride, rows, format}, r, pixels.data());
          if (pixels == want) continue;
          for (int i = 0; i < rows; ++i)
            for (int j = 0; j < width; ++j) {
              const int at = i * r.output_stride + 3 * j;
              for (int k = 0; k < 3; ++k)
                if (pixels[at + k] != want[at + k]) {
                  colour_row_loops(kColourLoopsAvx512);
                  FAIL() << "row loops " << used << ": Y " << int{y[i * stride + j]} << " Cb " << i
                         << " Cr " << int{cr[i * stride + (format == 3 ? j : j / 2)]} << " byte " << k
                         << ": " << int{pixels[at + k]} << " not " << int{want[at + k]};
                }
            }
        }
      }
    }
  colour_row_loops(kColourLoopsAvx512);
}

}  // namespace

namespace {

// Each vector row loop against the plain one on random samples, for every
// chroma format and matrix, with odd sizes and strides: the same bytes, the
// row padding and what lies past the last row left alone.
TEST(ConvertToBgr, VectorLoopsGiveThePlainLoopsBytes) {
  struct Size {
    int width, height, stride;
  } sizes[] = {{1, 1, 3}, {15, 3, 17}, {17, 5, 33}, {31, 2, 47}, {33, 7, 35}, {47, 3, 65}, {63, 1, 63},
               {129, 3, 131}, {720, 2, 720}, {719, 3, 737}};
  std::mt19937 random(16);
  for (int format : {1, 2, 3})
    for (int matrix : {0, 1, 7})
      for (const Size& size : sizes) {
        SCOPED_TRACE("format " + std::to_string(format) + " matrix " + std::to_string(matrix) + " width " +
                     std::to_string(size.width));
        ColourSequence s = Mpeg2Sequence(size.width, size.height, 4);
        s.stride = size.stride;
        s.chroma_format = format;
        s.colour_description = 1;
        s.matrix_coefficients = matrix;
        const ColourConversion r = build_colour_conversion(s);
        const int samples = size.stride * size.height;
        std::vector<uint8_t> y(samples), cb(samples), cr(samples);
        for (int i = 0; i < samples; ++i) {
          y[i] = static_cast<uint8_t>(random());
          cb[i] = static_cast<uint8_t>(random());
          cr[i] = static_cast<uint8_t>(random());
        }
        const YuvPlanes picture = {y.data(), cb.data(), cr.data(), size.stride, size.height, format};
        const size_t bytes = static_cast<size_t>(r.output_stride) * size.height + 7;
        std::vector<uint8_t> plain(bytes, 0xEE);
        colour_row_loops(kColourLoopsPlain);
        convert_to_bgr(picture, r, plain.data());
        for (int loops : {kColourLoopsSse2, kColourLoopsSsse3, kColourLoopsAvx2, kColourLoopsAvx512}) {
          std::vector<uint8_t> pixels(bytes, 0xEE);
          const int used = colour_row_loops(loops);
          convert_to_bgr(picture, r, pixels.data());
          EXPECT_EQ(plain, pixels) << "row loops " << used;
        }
        colour_row_loops(kColourLoopsAvx512);
      }
}

}  // namespace
