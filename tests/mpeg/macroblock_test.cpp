// Block decoders and motion vector decoding on hand-made bits: inverse
// quantisation, saturation, mismatch control, MPEG-1 oddification and
// escapes, scans, the list of coded positions, and vector wrapping.
#include "mpeg/macroblock.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "mpeg/vlc.h"
#include "tests/mpeg/stream_builder.h"

namespace {

// The code of a table row, found by its value.
VlcRow code_of(VlcTableId table, int value) {
  VlcRows rows = vlc_rows(table);
  for (int i = 0; i < rows.count; ++i)
    if (rows.rows[i].value == value) return rows.rows[i];
  ADD_FAILURE() << "no code for " << value;
  return VlcRow{0, 1, 0};
}

DctRow dct_code(int run, int level) {
  DctRows rows = vlc_dct_rows(0);
  for (int i = 0; i < rows.count; ++i)
    if (rows.rows[i].run == run && rows.rows[i].level == level) return rows.rows[i];
  ADD_FAILURE() << "no code for run " << run << " level " << level;
  return DctRow{0, 1, 0, 0};
}

struct Bits {
  BitWriter w;
  Bits() { w.start_code(0x01); }
  Bits& put(uint32_t v, int n) { w.put(v, n); return *this; }
  Bits& vlc(VlcRow row) { return put(row.code, row.length); }
  Bits& coefficient(int run, int level) {
    DctRow row = dct_code(run, level < 0 ? -level : level);
    return put(row.code, row.length).put(level < 0, 1);
  }
  Bits& end_of_block() { return put(0b10, 2); }
  Bits& escape_mpeg2(int run, int level) { return put(1, 6).put(run, 6).put(level & 0xFFF, 12); }
  Bits& escape_mpeg1(int run, int first, int second = -1) {
    put(1, 6).put(run, 6).put(first, 8);
    return second >= 0 ? put(second, 8) : *this;
  }
  Bits& dc_size_zero_luma() { return put(0b100, 3); }
};

// A reader positioned after the bits' start code, and a slice state whose
// four tables all hold `weight` (W x quantiser_scale).
struct Fixture {
  std::unique_ptr<OpenReader> in;
  SliceState s;
  int16_t table[64];
  Fixture(const Bits& bits, int mpeg1, int weight, int alternate_scan = 0, int precision = 0) {
    static int serial = 0;
    in.reset(new OpenReader(write_elementary("macroblock" + std::to_string(serial++) + ".m2v",
                                             bits.w.bytes), false));
    EXPECT_EQ(in->next(), 1);
    memset(&s, 0, sizeof s);
    for (int16_t& t : table) t = static_cast<int16_t>(weight);
    s.intra_luma_q = s.non_intra_luma_q = s.intra_chroma_q = s.non_intra_chroma_q = table;
    s.mb_params.mpeg1 = mpeg1;
    s.alternate_scan = alternate_scan;
    s.intra_dc_precision = precision;
    s.dc_pred[0] = s.dc_pred[1] = s.dc_pred[2] = 1 << (precision + 7);
  }
  int intra() { return decode_intra_block(in->r, in->pos, s, 0); }
  int non_intra() { return decode_non_intra_block(in->r, in->pos, s, 0); }
};

struct Expect {
  int at;
  int value;
};

struct BlockCase {
  const char* name;
  Bits bits;
  int mpeg1, intra, weight, alternate_scan, precision;
  int result;
  std::vector<Expect> values;  // every other coefficient must be 0
};

TEST(BlockDecoders, Table) {
  const BlockCase cases[] = {
      // 128 << 3 = 1024: an even sum sets F[63] to 1.
      {"mpeg2 intra dc only, mismatch", Bits().dc_size_zero_luma().end_of_block(), 0, 1, 16, 0, 0, 1,
       {{0, 1024}, {63, 1}}},
      {"mpeg2 intra 11-bit dc", Bits().dc_size_zero_luma().end_of_block(), 0, 1, 16, 0, 3, 1,
       {{0, 1024}, {63, 1}}},
      // 1024 + 3 is odd: no mismatch correction.
      {"mpeg2 intra odd sum", Bits().dc_size_zero_luma().coefficient(0, 3).end_of_block(), 0, 1, 16, 0, 0,
       1, {{0, 1024}, {1, 3}}},
      {"mpeg2 intra alternate scan", Bits().dc_size_zero_luma().coefficient(0, 3).end_of_block(), 0, 1, 16,
       1, 0, 1, {{0, 1024}, {8, 3}}},
      // (2 x 1 + 1) x 32 / 32 = 3, odd.
      {"mpeg2 non-intra first 1s", Bits().put(0b10, 2).end_of_block(), 0, 0, 32, 0, 0, 1, {{0, 3}}},
      // -(2 x 1 + 1) x 33 / 32 = -3.09 toward zero: -3.
      {"mpeg2 non-intra truncates", Bits().put(0b11, 2).end_of_block(), 0, 0, 33, 0, 0, 1, {{0, -3}}},
      // (2 x 2047 + 1) x 32 / 32 saturates at 2047; sum odd.
      {"mpeg2 escape saturates", Bits().escape_mpeg2(0, 2047).end_of_block(), 0, 0, 32, 0, 0, 1,
       {{0, 2047}}},
      // 2 x 2 + 1 = 5, x 32 / 32 = 5 at raster 1, then 4 zeros and -1: the
      // run of 4 lands on zigzag index 6 = raster 3.
      {"mpeg2 runs", Bits().coefficient(1, 2).coefficient(4, -1).end_of_block(), 0, 0, 32, 0, 0, 1,
       {{1, 5}, {3, -3}, {63, 1}}},
      // (2 x 1 + 1) x 1 / 32 = 0 at 63, listed once though mismatch sets it.
      {"mpeg2 coded 63 dequantised to zero", Bits().escape_mpeg2(63, 1).end_of_block(), 0, 0, 1, 0, 0, 1,
       {{63, 1}}},
      {"run past 63 drops the block", Bits().escape_mpeg2(63, 1).coefficient(0, 1).end_of_block(), 0, 0,
       32, 0, 0, 0, {}},
      // MPEG-1: -4 x 16 / 16 = -4 made odd: -3; 4: 3.
      {"mpeg1 intra oddification", Bits().dc_size_zero_luma().coefficient(0, -4).coefficient(0, 4)
                                       .end_of_block(), 1, 1, 16, 0, 0, 1,
       {{0, 1024}, {1, -3}, {8, 3}}},
      {"mpeg1 escape 0x80 extension", Bits().dc_size_zero_luma().escape_mpeg1(0, 0x80, 0x00).end_of_block(),
       1, 1, 16, 0, 0, 1, {{0, 1024}, {1, -255}}},
      {"mpeg1 escape 0x00 extension", Bits().dc_size_zero_luma().escape_mpeg1(0, 0x00, 200).end_of_block(),
       1, 1, 16, 0, 0, 1, {{0, 1024}, {1, 199}}},
      {"mpeg1 escape short", Bits().dc_size_zero_luma().escape_mpeg1(0, 0xFE).end_of_block(), 1, 1, 16, 0, 0,
       1, {{0, 1024}, {1, -1}}},
      // MPEG-1 non-intra: (2 x 1 + 1) x 22 / 32 = 2, made odd: 1; no mismatch.
      {"mpeg1 non-intra", Bits().put(0b10, 2).end_of_block(), 1, 0, 22, 0, 0, 1, {{0, 1}}},
  };
  // 63 codes "11" after the first "1s": +3 everywhere, F[63] made even.
  BlockCase full = {"mpeg2 full block", Bits().put(0b10, 2), 0, 0, 32, 0, 0, 1, {}};
  for (int k = 0; k < 63; ++k) full.bits.coefficient(0, 1);
  full.bits.end_of_block();
  for (int at = 0; at < 64; ++at) full.values.push_back({at, at == 63 ? 2 : 3});
  std::vector<BlockCase> all(std::begin(cases), std::end(cases));
  all.push_back(full);
  // Each block inside the reader's buffer and across its end, where the
  // reads refill: both must agree and end where the block ends.
  const uint32_t kMarker = 0x5A;
  for (const BlockCase& c : all) {
    for (size_t lead : {size_t{0}, kReaderBufferSize - size_t{20}}) {
      SCOPED_TRACE(std::string(c.name) + (lead ? " across the buffer's end" : ""));
      Bits bits;
      bits.w.bytes.assign(lead, 0xFF);
      bits.w.bytes.insert(bits.w.bytes.end(), c.bits.w.bytes.begin(), c.bits.w.bytes.end());
      bits.w.used = c.bits.w.used;
      bits.put(kMarker, 8);
      Fixture f(bits, c.mpeg1, c.weight, c.alternate_scan, c.precision);
      ASSERT_EQ(c.intra ? f.intra() : f.non_intra(), c.result);
      if (!c.result) continue;
      int16_t want[64] = {0};
      for (const Expect& e : c.values) want[e.at] = static_cast<int16_t>(e.value);
      for (int i = 0; i < 64; ++i) EXPECT_EQ(f.s.coefficients[i], want[i]) << "at " << i;
      // The transform reads only listed positions, and each one once.
      int listed[64] = {0};
      for (int k = 0; k < f.s.coded_count; ++k) ++listed[f.s.coded_positions[k]];
      for (int i = 0; i < 64; ++i) {
        EXPECT_LE(listed[i], 1) << "listed twice: " << i;
        if (want[i]) {
          EXPECT_EQ(listed[i], 1) << "not listed: " << i;
        }
      }
      EXPECT_EQ(get_bits(f.in->r, f.in->pos, 8), kMarker);
    }
  }
}

TEST(BlockDecoders, DcPredictorCarriesDifferentials) {
  // dct_dc_size 2 ("01") then "11" = +3, and "00" = -3.
  Bits bits;
  bits.put(0b01, 2).put(0b11, 2).end_of_block().put(0b01, 2).put(0b00, 2).end_of_block();
  Fixture f(bits, 0, 16, 0, 1);  // 9-bit precision: predictor 256, F[0] = pred << 2
  ASSERT_EQ(f.intra(), 1);
  EXPECT_EQ(f.s.coefficients[0], (256 + 3) * 4);
  ASSERT_EQ(f.intra(), 1);
  EXPECT_EQ(f.s.coefficients[0], 256 * 4);
}

TEST(BlockDecoders, DcPredictorRunningAwayStaysSaturated) {
  // dct_dc_size 11 with differential +2047 in every block of a long slice:
  // the predictor times 8 passes 2^31 after some 131000 blocks.
  const int blocks = 140000;
  Bits bits;
  for (int k = 0; k < blocks; ++k) bits.put(0b111111111, 9).put(0x7FF, 11).end_of_block();
  Fixture f(bits, 0, 16);
  for (int k = 0; k < blocks; ++k) ASSERT_EQ(f.intra(), 1);
  EXPECT_EQ(f.s.coefficients[0], 2047);
}

TEST(MotionVectors, ComponentDecodingAndWrap) {
  struct Case {
    const char* name;
    int f_code, motion_code, residual, predictor, want;
  };
  const Case cases[] = {
      {"zero", 1, 0, -1, 5, 5},
      {"f_code 1 adds the code", 1, 3, -1, 2, 5},
      {"wraps above 16f - 1", 1, 1, -1, 15, -16},
      {"wraps below -16f", 1, -1, -1, -16, 15},
      // -((2 - 1) x 2 + 1 + 1) = -4
      {"residual scales", 2, -2, 1, 0, -4},
      // (3 - 1) x 4 + 2 + 1 = 11
      {"f_code 3", 3, 3, 2, 10, 21},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Bits bits;
    bits.vlc(code_of(VLC_MOTION_CODE, c.motion_code));
    if (c.residual >= 0) bits.put(static_cast<uint32_t>(c.residual), c.f_code - 1);
    bits.put(0xFF, 8);
    Fixture f(bits, 0, 16);
    EXPECT_EQ(decode_motion_component(f.in->r, f.in->pos, c.f_code, c.predictor), c.want);
  }
}

TEST(MacroblockAddress, EscapesAddAndStartCodesEnd) {
  Bits bits;
  bits.put(MACROBLOCK_ESCAPE, 11).vlc(code_of(VLC_MACROBLOCK_ADDRESS_INCREMENT, 2));
  bits.vlc(code_of(VLC_MACROBLOCK_ADDRESS_INCREMENT, 1));
  bits.w.start_code(0x02);
  Fixture f(bits, 0, 16);
  EXPECT_EQ(macroblock_address_increment(f.in->r, f.in->pos, 0), 35);
  EXPECT_EQ(macroblock_address_increment(f.in->r, f.in->pos, 0), 1);
  EXPECT_EQ(macroblock_address_increment(f.in->r, f.in->pos, 0), 0);
}

TEST(MacroblockAddress, StuffingIsPaddingInMpeg1Only) {
  for (int mpeg1 : {1, 0}) {
    SCOPED_TRACE(mpeg1);
    Bits bits;
    bits.put(0x00F, 11).vlc(code_of(VLC_MACROBLOCK_ADDRESS_INCREMENT, 3)).put(0xFF, 8);
    Fixture f(bits, mpeg1, 16);
    EXPECT_EQ(macroblock_address_increment(f.in->r, f.in->pos, mpeg1), mpeg1 ? 3 : 0);
  }
}

// A 4:2:0 frame picture of this coding type, one f_code for every vector.
MacroblockParams FramePictureParams(int picture_coding_type, int f_code) {
  MacroblockParams p;
  memset(&p, 0, sizeof p);
  p.chroma_format = 1;
  p.scalable_mode = -1;
  p.picture_coding_type = picture_coding_type;
  p.picture_structure = 3;
  p.f_code[0][0] = p.f_code[0][1] = p.f_code[1][0] = p.f_code[1][1] = f_code;
  return p;
}

TEST(ParseMacroblock, FieldVectorsInFramePicturesPredictFromHalvedVerticals) {
  Bits bits;
  bits.vlc(code_of(VLC_MACROBLOCK_TYPE_P, MB_MOTION_FORWARD));
  bits.put(0b01, 2);  // frame_motion_type: field
  bits.put(1, 1).vlc(code_of(VLC_MOTION_CODE, 1)).vlc(code_of(VLC_MOTION_CODE, 1));
  bits.put(0, 1).vlc(code_of(VLC_MOTION_CODE, 0)).vlc(code_of(VLC_MOTION_CODE, 0));
  bits.put(0xFF, 8);
  Fixture f(bits, 0, 16);
  const MacroblockParams p = FramePictureParams(2, 1);
  MacroblockModes m;
  memset(&m, 0, sizeof m);
  m.PMV[0][0][1] = 4;   // frame units: field vector 2
  m.PMV[1][0][1] = -2;  // field vector -1
  ASSERT_EQ(parse_macroblock(f.in->r, f.in->pos, m, p), 1);
  EXPECT_EQ(m.motion_type, MOTION_FIELD);
  EXPECT_EQ(m.field_select[0][0], 1);
  EXPECT_EQ(m.field_select[1][0], 0);
  EXPECT_EQ(m.PMV[0][0][0], 1);
  EXPECT_EQ(m.PMV[0][0][1], 6);  // (2 + 1) x 2
  EXPECT_EQ(m.PMV[1][0][0], 0);
  EXPECT_EQ(m.PMV[1][0][1], -2);
  EXPECT_EQ(m.coded, 0);
}

// A macroblock with every kind of field is read alike far from the end of
// the data (register reads) and right at it (the reader's): the same modes,
// the next bits where they should be.
TEST(ParseMacroblock, SameModesFarFromAndAtTheEndOfTheData) {
  const MacroblockParams p = FramePictureParams(3, 3);
  MacroblockModes modes[2];
  for (int at_end = 0; at_end < 2; ++at_end) {
    SCOPED_TRACE(at_end ? "at the end" : "far from it");
    Bits bits;
    bits.vlc(code_of(VLC_MACROBLOCK_TYPE_B, MB_QUANT | MB_MOTION_FORWARD | MB_MOTION_BACKWARD | MB_PATTERN));
    bits.put(0b01, 2).put(1, 1).put(17, 5);  // field motion, field DCT, quantiser_scale_code
    for (int v = 0; v < 4; ++v)  // forward then backward, two field vectors each
      bits.put(v & 1, 1).vlc(code_of(VLC_MOTION_CODE, v + 1)).put(v, 2)
          .vlc(code_of(VLC_MOTION_CODE, -3)).put(1, 2);
    bits.vlc(code_of(VLC_CODED_BLOCK_PATTERN, 37)).put(0xA5, 8);
    if (!at_end)
      for (int k = 0; k < 64; ++k) bits.put(0, 8);
    Fixture f(bits, 0, 16);
    MacroblockModes& m = modes[at_end];
    memset(&m, 0, sizeof m);
    ASSERT_EQ(parse_macroblock(f.in->r, f.in->pos, m, p), 1);
    EXPECT_EQ(get_bits(f.in->r, f.in->pos, 8), 0xA5u);
  }
  EXPECT_EQ(0, memcmp(&modes[0], &modes[1], sizeof modes[0]));
  EXPECT_EQ(modes[0].coded, 37);
  EXPECT_EQ(modes[0].quantiser_scale_code, 17);
  EXPECT_EQ(modes[0].field_select[1][1], 1);
}

}  // namespace
