// Motion compensation: the sample loops and region prediction against a
// per-sample reference, reads kept inside the planes, and block placement.
#include "mpeg/motion.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

struct Lcg {
  uint64_t state;
  uint32_t Next() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(state >> 33);
  }
  uint8_t Sample() { return static_cast<uint8_t>(Next()); }
};

// The prediction of one sample by the table of half-sample cases.
int PredictSample(const uint8_t* s, ptrdiff_t stride, int half_x, int half_y) {
  const int p = s[0];
  if (half_x && half_y) return (p + s[1] + s[stride] + s[stride + 1] + 2) >> 2;
  if (half_x) return (p + s[1] + 1) >> 1;
  if (half_y) return (p + s[stride] + 1) >> 1;
  return p;
}

int Combine(int destination, int prediction, int copy) {
  return copy ? prediction : (destination + prediction + 1) >> 1;
}

TEST(PredictRows, EveryCaseMatchesPerSampleReferenceAndWritesNothingElse) {
  Lcg random = {11};
  for (int width16 = 0; width16 < 2; ++width16)
    for (int copy = 0; copy < 2; ++copy)
      for (int half_y = 0; half_y < 2; ++half_y)
        for (int half_x = 0; half_x < 2; ++half_x)
          for (int trial = 0; trial < 20; ++trial) {
            const int width = width16 ? 16 : 8;
            const int rows = 1 + random.Next() % 17;
            const ptrdiff_t source_stride = 17 + random.Next() % 40;  // odd ones included
            const ptrdiff_t destination_stride = 16 + random.Next() % 41;
            const int source_offset = random.Next() % 7;  // misaligned starts
            const int destination_offset = random.Next() % 7;
            SCOPED_TRACE("width " + std::to_string(width) + " copy " + std::to_string(copy) +
                         " half " + std::to_string(half_x) + std::to_string(half_y) + " rows " +
                         std::to_string(rows) + " strides " + std::to_string(source_stride) +
                         "/" + std::to_string(destination_stride));
            std::vector<uint8_t> source(source_offset + (rows + 1) * source_stride + 32);
            std::vector<uint8_t> actual(destination_offset + (rows + 1) * destination_stride + 32);
            for (uint8_t& s : source) s = random.Sample();
            for (uint8_t& d : actual) d = random.Sample();
            std::vector<uint8_t> expected = actual;
            for (int r = 0; r < rows; ++r)
              for (int i = 0; i < width; ++i) {
                const uint8_t* s = &source[source_offset + r * source_stride + i];
                uint8_t& d = expected[destination_offset + r * destination_stride + i];
                d = static_cast<uint8_t>(
                    Combine(d, PredictSample(s, source_stride, half_x, half_y), copy));
              }
            predict_rows(width16, half_x, half_y, copy, &source[source_offset],
                         &actual[destination_offset], source_stride, destination_stride, rows);
            ASSERT_EQ(expected, actual);
          }
}

TEST(PredictRows, DiagonalHalfSampleAveragesFourNeighbours) {
  // Vector (-1, -1): offsets (-1, -1) and both half flags.
  const uint8_t source[2][17] = {{10, 20, 30}, {40, 51, 60}};
  uint8_t destination[16] = {};
  predict_rows(1, 1, 1, 1, source[0], destination, 17, 16, 1);
  EXPECT_EQ((10 + 20 + 40 + 51 + 2) >> 2, destination[0]);
  EXPECT_EQ((20 + 30 + 51 + 60 + 2) >> 2, destination[1]);
}

TEST(PredictRows, AveragingRoundsUp) {
  const uint8_t forward[8] = {10, 10, 10, 10, 10, 10, 10, 10};
  const uint8_t backward[8] = {13, 13, 13, 13, 13, 13, 13, 13};
  uint8_t destination[8];
  predict_rows(0, 0, 0, 1, forward, destination, 8, 8, 1);
  predict_rows(0, 0, 0, 0, backward, destination, 8, 8, 1);
  for (uint8_t d : destination) EXPECT_EQ(12, d);
}

// A picture whose planes sit inside a larger buffer with guard bytes
// around each of them.
struct TestPicture {
  std::vector<uint8_t> memory[3];
  YuvPlanes planes;
  static constexpr int kGuard = 4096;

  TestPicture(int width, int height, int chroma_format, Lcg& random, uint8_t low = 0,
              uint8_t high = 255) {
    uint8_t* plane[3];
    for (int p = 0; p < 3; ++p) {
      memory[p].assign(kGuard + width * height + kGuard, 0);
      for (size_t i = 0; i < memory[p].size(); ++i) memory[p][i] = (i & 1) ? 255 : 0;
      plane[p] = memory[p].data() + kGuard;
      for (int i = 0; i < width * height; ++i)
        plane[p][i] = static_cast<uint8_t>(low + random.Next() % (high - low + 1));
    }
    planes = {plane[0], plane[1], plane[2], width, height, chroma_format};
  }
};

// Per-sample reference of predict_block for vectors that stay inside.
void ReferencePredictBlock(const YuvPlanes& reference, const YuvPlanes& destination,
                           PredictionKind kind, int mvx, int mvy, int x, int y, int copy) {
  const int S = destination.width;
  const bool field = kind != PREDICT_FRAME;
  const int source_parity = field ? (kind >> 1) & 1 : 0;
  const int destination_parity = field ? kind & 1 : 0;
  for (int p = 0; p < 3; ++p) {
    const bool chroma = p > 0;
    const int format = destination.chroma_format;
    const int sx = chroma && format != 3 ? 2 : 1;  // horizontal subsampling
    const int sy = chroma && format == 1 ? 2 : 1;
    const int vx = mvx / sx;
    const int vy = mvy / sy;
    const int width = 16 / sx;
    const int rows = (field ? 8 : 16) / sy;
    const int first_row = (field ? y / 2 : y) / sy;
    const uint8_t* src = p == 0 ? reference.y : (p == 1 ? reference.cb : reference.cr);
    uint8_t* dst = p == 0 ? destination.y : (p == 1 ? destination.cb : destination.cr);
    // Row r of the frame, or of the chosen field, of a plane.
    auto source_row = [&](int r) { return src + (field ? 2 * r + source_parity : r) * S; };
    auto destination_row = [&](int r) { return dst + (field ? 2 * r + destination_parity : r) * S; };
    for (int i = 0; i < rows; ++i)
      for (int j = 0; j < width; ++j) {
        const int r = first_row + i + (vy >> 1);  // arithmetic shifts: toward minus infinity
        const int c = x / sx + j + (vx >> 1);
        const uint8_t* s0 = source_row(r) + c;
        const uint8_t* s1 = source_row(r + 1) + c;
        int prediction = s0[0];
        if ((vx & 1) && (vy & 1)) prediction = (s0[0] + s0[1] + s1[0] + s1[1] + 2) >> 2;
        else if (vx & 1) prediction = (s0[0] + s0[1] + 1) >> 1;
        else if (vy & 1) prediction = (s0[0] + s1[0] + 1) >> 1;
        uint8_t& d = destination_row(first_row + i)[x / sx + j];
        d = static_cast<uint8_t>(Combine(d, prediction, copy));
      }
  }
}

bool SamePlanes(const TestPicture& a, const TestPicture& b) {
  for (int p = 0; p < 3; ++p)
    if (a.memory[p] != b.memory[p]) return false;
  return true;
}

TEST(PredictBlock, AllKindsAndChromaFormatsMatchPerSampleReference) {
  const PredictionKind kinds[] = {PREDICT_FRAME, PREDICT_TOP_FROM_TOP, PREDICT_BOTTOM_FROM_TOP,
                                  PREDICT_TOP_FROM_BOTTOM, PREDICT_BOTTOM_FROM_BOTTOM};
  Lcg random = {5};
  for (int format = 1; format <= 3; ++format)
    for (PredictionKind kind : kinds)
      for (int trial = 0; trial < 60; ++trial) {
        const int width = 64, height = 96;
        TestPicture reference(width, height, format, random);
        TestPicture actual(width, height, format, random);
        TestPicture expected = actual;
        expected.planes = {expected.memory[0].data() + TestPicture::kGuard,
                           expected.memory[1].data() + TestPicture::kGuard,
                           expected.memory[2].data() + TestPicture::kGuard, width, height, format};
        const bool field = kind != PREDICT_FRAME;
        const int x = 16 * (1 + random.Next() % 2);
        const int y = field ? 32 * (1 + random.Next() % 1) : 16 * (1 + random.Next() % 3);
        // Vectors small enough to stay inside every plane, odd and even,
        // positive and negative.
        const int mvx = static_cast<int>(random.Next() % 61) - 30;
        const int mvy = static_cast<int>(random.Next() % (field ? 29 : 61)) - (field ? 14 : 30);
        const int copy = random.Next() & 1;
        SCOPED_TRACE("format " + std::to_string(format) + " kind " + std::to_string(kind) +
                     " at " + std::to_string(x) + "," + std::to_string(y) + " vector " +
                     std::to_string(mvx) + "," + std::to_string(mvy) + " copy " +
                     std::to_string(copy));
        ReferencePredictBlock(reference.planes, expected.planes, kind, mvx, mvy, x, y, copy);
        predict_block(reference.planes, actual.planes, kind, mvx, mvy, x, y, copy);
        ASSERT_TRUE(SamePlanes(expected, actual));
      }
}

TEST(PredictBlock, ChromaVectorsOfFourTwoZeroTruncateTowardZero) {
  // Luma +3 half samples: chroma 1 (offset 0, half); luma -3: chroma -1
  // (offset -1, half).
  Lcg random = {9};
  for (int mv : {3, -3}) {
    SCOPED_TRACE(mv);
    TestPicture reference(48, 32, 1, random);
    TestPicture actual(48, 32, 1, random);
    predict_block(reference.planes, actual.planes, PREDICT_FRAME, mv, 0, 16, 16, 1);
    const int offset = mv > 0 ? 0 : -1;
    const uint8_t* cb = reference.planes.cb + 8 * 48 + 8 + offset;
    EXPECT_EQ((cb[0] + cb[1] + 1) >> 1, actual.planes.cb[8 * 48 + 8]);
  }
}

TEST(PredictBlock, ReadsStayInsideThePlanesForAnyVector) {
  const PredictionKind kinds[] = {PREDICT_FRAME, PREDICT_TOP_FROM_TOP, PREDICT_BOTTOM_FROM_TOP,
                                  PREDICT_TOP_FROM_BOTTOM, PREDICT_BOTTOM_FROM_BOTTOM};
  const int vectors[] = {-4001, -65, -33, -1, 0, 1, 31, 33, 63, 4001};
  Lcg random = {13};
  for (int format = 1; format <= 3; ++format)
    for (PredictionKind kind : kinds)
      for (int mvx : vectors)
        for (int mvy : vectors)
          for (int height : {16, 32}) {
            SCOPED_TRACE("format " + std::to_string(format) + " kind " + std::to_string(kind) +
                         " vector " + std::to_string(mvx) + "," + std::to_string(mvy) +
                         " height " + std::to_string(height));
            // Samples 60..190 in the planes; guard bytes of 0 and 255 around.
            TestPicture reference(32, height, format, random, 60, 190);
            TestPicture actual(32, height, format, random, 60, 190);
            const int y = kind == PREDICT_FRAME ? height - 16 : 0;
            predict_block(reference.planes, actual.planes, kind, mvx, mvy, 16, y, random.Next() & 1);
            for (int p = 0; p < 3; ++p)
              for (size_t i = 0; i < actual.memory[p].size(); ++i) {
                const bool inside = i >= static_cast<size_t>(TestPicture::kGuard) &&
                                    i < static_cast<size_t>(TestPicture::kGuard + 32 * height);
                if (inside)
                  ASSERT_TRUE(actual.memory[p][i] >= 60 && actual.memory[p][i] <= 190)
                      << "plane " << p << " sample " << i - TestPicture::kGuard;
                else
                  ASSERT_EQ((i & 1) ? 255 : 0, actual.memory[p][i]) << "plane " << p << " guard";
              }
          }
}

TEST(PredictBlock, VectorPastTheRightEdgePredictsFromTheLastColumns) {
  Lcg random = {17};
  TestPicture reference(48, 32, 3, random);
  TestPicture actual(48, 32, 3, random);
  predict_block(reference.planes, actual.planes, PREDICT_FRAME, 400, 0, 0, 0, 1);
  for (int r = 0; r < 16; ++r)
    for (int i = 0; i < 16; ++i)
      ASSERT_EQ(reference.planes.y[r * 48 + 32 + i], actual.planes.y[r * 48 + i]);
}

// ---- write_block -------------------------------------------------------------

// Where sample (r, c) of block `index` goes, worked out from the other end:
// for every sample of the macroblock, which block and which position in it
// feed it.
struct Target {
  int plane;  // 0 Y, 1 Cb, 2 Cr
  int row;    // frame row in the plane
  int column;
};

std::vector<std::vector<Target>> ExpectedPlacement(int format, int structure, int dct_type, int x,
                                                   int y) {
  const int blocks = format == 1 ? 6 : (format == 2 ? 8 : 12);
  std::vector<std::vector<Target>> placement(blocks, std::vector<Target>(64));
  const bool field_picture = structure != PICTURE_FRAME;
  const int parity = structure == PICTURE_BOTTOM_FIELD;
  // Frame row of macroblock row `mr` (0..height-1 of the component).
  auto frame_row = [&](int first, int mr) {
    return field_picture ? first + parity + 2 * mr : first + mr;
  };
  // Luma: 16x16.
  for (int mr = 0; mr < 16; ++mr)
    for (int mc = 0; mc < 16; ++mc) {
      int block, row;
      if (!field_picture && dct_type) {  // field DCT: top field rows feed blocks 0, 1
        block = (mr & 1) * 2 + mc / 8;
        row = mr / 2;
      } else {
        block = (mr / 8) * 2 + mc / 8;
        row = mr % 8;
      }
      placement[block][8 * row + mc % 8] = {0, frame_row(y, mr), x + mc};
    }
  // Chroma.
  const int chroma_width = format == 3 ? 16 : 8;
  const int chroma_height = format == 1 ? 8 : 16;
  const int cx = format == 3 ? x : x / 2;
  const int cy = format == 1 ? y / 2 : y;
  for (int component = 0; component < 2; ++component)
    for (int mr = 0; mr < chroma_height; ++mr)
      for (int mc = 0; mc < chroma_width; ++mc) {
        int k, row;  // k: block number within the component, Cb 4 6 8 10, Cr 5 7 9 11
        const bool field_dct = !field_picture && dct_type && format != 1;
        if (field_dct) {
          k = (mc / 8) * 2 + (mr & 1);
          row = mr / 2;
        } else {
          k = (mc / 8) * 2 + mr / 8;
          row = mr % 8;
        }
        placement[4 + 2 * k + component][8 * row + mc % 8] = {1 + component, frame_row(cy, mr),
                                                              cx + mc};
      }
  return placement;
}

TEST(WriteBlock, EveryBlockLandsWhereTheMacroblockStructurePutsIt) {
  Lcg random = {21};
  const int width = 64, height = 96;
  for (int format = 1; format <= 3; ++format)
    for (int structure = 1; structure <= 3; ++structure)
      for (int dct_type = 0; dct_type < 2; ++dct_type) {
        if (structure != PICTURE_FRAME && dct_type) continue;
        const int x = 16, y = structure == PICTURE_FRAME ? 32 : 32;
        const auto placement = ExpectedPlacement(format, structure, dct_type, x, y);
        for (size_t index = 0; index < placement.size(); ++index) {
          SCOPED_TRACE("format " + std::to_string(format) + " structure " +
                       std::to_string(structure) + " dct_type " + std::to_string(dct_type) +
                       " block " + std::to_string(index));
          TestPicture actual(width, height, format, random);
          TestPicture expected = actual;
          uint8_t* expected_plane[3] = {expected.memory[0].data() + TestPicture::kGuard,
                                        expected.memory[1].data() + TestPicture::kGuard,
                                        expected.memory[2].data() + TestPicture::kGuard};
          int16_t block[64];
          for (int i = 0; i < 64; ++i) block[i] = static_cast<int16_t>(random.Next() % 512) - 256;
          const int intra = random.Next() & 1;
          for (int i = 0; i < 64; ++i) {
            const Target& t = placement[index][i];
            uint8_t& d = expected_plane[t.plane][t.row * width + t.column];
            const int value = intra ? block[i] : d + block[i];
            d = static_cast<uint8_t>(value < 0 ? 0 : (value > 255 ? 255 : value));
          }
          write_block(block, actual.planes, static_cast<int>(index), x, y, structure, dct_type,
                      intra);
          ASSERT_TRUE(SamePlanes(expected, actual));
        }
      }
}

TEST(WriteBlock, ClipsToSampleRange) {
  struct Case {
    const char* name;
    int prediction, value, intra, expected;
  } cases[] = {
      {"non-intra -100 on 20", 20, -100, 0, 0},
      {"non-intra 250 on 100", 100, 250, 0, 255},
      {"non-intra 5 on 100", 100, 5, 0, 105},
      {"intra -5", 77, -5, 1, 0},
      {"intra 255", 77, 255, 1, 255},
      // Beyond what the transform makes: no 16-bit wrap-around.
      {"non-intra 32767 on 255", 255, 32767, 0, 255},
      {"non-intra -32768 on 255", 255, -32768, 0, 0},
      {"intra 300", 77, 300, 1, 255},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<uint8_t> y(16 * 16, static_cast<uint8_t>(c.prediction));
    std::vector<uint8_t> cb(16 * 16), cr(16 * 16);
    const YuvPlanes picture = {y.data(), cb.data(), cr.data(), 16, 16, 1};
    int16_t block[64];
    for (int16_t& v : block) v = static_cast<int16_t>(c.value);
    write_block(block, picture, 0, 0, 0, PICTURE_FRAME, 0, c.intra);
    EXPECT_EQ(c.expected, y[0]);
    EXPECT_EQ(c.expected, y[7 * 16 + 7]);
    EXPECT_EQ(c.prediction, y[8]);  // block 1's area is untouched
  }
}

}  // namespace
