// Variable-length codes: every transcribed code decodes to its value with
// its length, the tables are complete prefix codes with the value sets of
// the standard, and spot codes typed as the standard prints them agree.
#include "mpeg/vlc.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>

namespace {

struct Lcg {
  uint64_t state;
  uint32_t Next() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(state >> 33);
  }
};

VlcValue Decode(VlcTableId table, uint32_t next) {
  switch (table) {
    case VLC_MACROBLOCK_ADDRESS_INCREMENT: return vlc_macroblock_address_increment(next);
    case VLC_MACROBLOCK_TYPE_I: return vlc_macroblock_type(MB_TYPE_I, next);
    case VLC_MACROBLOCK_TYPE_P: return vlc_macroblock_type(MB_TYPE_P, next);
    case VLC_MACROBLOCK_TYPE_B: return vlc_macroblock_type(MB_TYPE_B, next);
    case VLC_MACROBLOCK_TYPE_I_SPATIAL: return vlc_macroblock_type(MB_TYPE_I_SPATIAL, next);
    case VLC_MACROBLOCK_TYPE_P_SPATIAL: return vlc_macroblock_type(MB_TYPE_P_SPATIAL, next);
    case VLC_MACROBLOCK_TYPE_B_SPATIAL: return vlc_macroblock_type(MB_TYPE_B_SPATIAL, next);
    case VLC_MACROBLOCK_TYPE_SNR: return vlc_macroblock_type(MB_TYPE_SNR, next);
    case VLC_CODED_BLOCK_PATTERN: return vlc_coded_block_pattern(next);
    case VLC_MOTION_CODE: return vlc_motion_code(next);
    case VLC_DMVECTOR: return vlc_dmvector(next);
    case VLC_DCT_DC_SIZE_LUMINANCE: return vlc_dct_dc_size_luminance(next);
    case VLC_DCT_DC_SIZE_CHROMINANCE: return vlc_dct_dc_size_chrominance(next);
    case VLC_TABLE_COUNT: break;
  }
  return VlcValue{0, 0};
}

int PeekBits(VlcTableId table) {
  switch (table) {
    case VLC_MACROBLOCK_ADDRESS_INCREMENT: return 11;
    case VLC_MOTION_CODE: return 11;
    case VLC_DMVECTOR: return 2;
    case VLC_DCT_DC_SIZE_CHROMINANCE: return 10;
    default: return 9;
  }
}

const char* Name(VlcTableId table) {
  static const char* const names[] = {
      "B-1 address increment", "B-2 I types", "B-3 P types", "B-4 B types",
      "B-5 I spatial types", "B-6 P spatial types", "B-7 B spatial types", "B-8 SNR types",
      "B-9 coded block pattern", "B-10 motion code", "B-11 dmvector", "B-12 DC size luma",
      "B-13 DC size chroma"};
  return names[table];
}

// The code followed by random bits, as `bits` next bits of a stream.
uint32_t Extend(uint32_t code, int length, int bits, Lcg& random) {
  const int tail = bits - length;
  return (code << tail) | (tail ? random.Next() & ((1u << tail) - 1) : 0);
}

TEST(Vlc, EveryRowDecodesToItsValueWithItsLength) {
  Lcg random = {1};
  for (int t = 0; t < VLC_TABLE_COUNT; ++t) {
    const VlcTableId table = static_cast<VlcTableId>(t);
    const VlcRows rows = vlc_rows(table);
    ASSERT_GT(rows.count, 0) << Name(table);
    for (int i = 0; i < rows.count; ++i)
      for (int trial = 0; trial < 8; ++trial) {
        const VlcRow& row = rows.rows[i];
        const VlcValue v = Decode(table, Extend(row.code, row.length, PeekBits(table), random));
        ASSERT_EQ(row.length, v.length) << Name(table) << " row " << i;
        ASSERT_EQ(row.value, v.value) << Name(table) << " row " << i;
      }
  }
  for (int one = 0; one < 2; ++one) {
    const DctRows rows = vlc_dct_rows(one);
    for (int i = 0; i < rows.count; ++i)
      for (int trial = 0; trial < 8; ++trial) {
        const DctRow& row = rows.rows[i];
        const DctCode c = vlc_dct_coefficient(one, Extend(row.code, row.length, 16, random));
        ASSERT_EQ(row.length, c.length) << "table " << one << " row " << i;
        ASSERT_EQ(row.run, c.run) << "table " << one << " row " << i;
        ASSERT_EQ(row.level, c.level) << "table " << one << " row " << i;
      }
  }
}

// Sum of 2^-length in units of 2^-16, and whether any code is a prefix of
// another. A missing or surplus code changes the sum.
template <typename Row>
std::pair<uint32_t, bool> KraftSum(const Row* rows, int count) {
  uint32_t sum = 0;
  bool prefix_free = true;
  for (int i = 0; i < count; ++i) {
    sum += 1u << (16 - rows[i].length);
    for (int j = 0; j < count; ++j) {
      if (i == j || rows[j].length < rows[i].length) continue;
      if ((rows[j].code >> (rows[j].length - rows[i].length)) == rows[i].code) prefix_free = false;
    }
  }
  return {sum, prefix_free};
}

TEST(Vlc, TablesAreCompletePrefixCodes) {
  // The share of all bit patterns each table codes: everything except the
  // patterns the standard leaves unused (escape, stuffing and start-code
  // zeros for B-1, the all-zero prefixes of the others).
  const uint32_t expected[VLC_TABLE_COUNT] = {
      65536 - 24 * 32,   // B-1: below 0000 0011 000 (escape and stuffing are apart)
      65536 * 3 / 4,     // B-2: 00
      65536 - 1024,      // B-3: 0000 00
      65536 - 1024,      // B-4: 0000 00
      65536 * 15 / 16,   // B-5: 0000
      65536 - 2 * 512,   // B-6: 0000 000, 0000 001
      65536 - 8 * 128,   // B-7: 0000 00xxx
      65536 * 7 / 8,     // B-8: 000
      65536 - 128,       // B-9: 0000 0000 0
      65536 - 24 * 32,   // B-10: below 0000 0011 000
      65536, 65536, 65536,
  };
  for (int t = 0; t < VLC_TABLE_COUNT; ++t) {
    const VlcRows rows = vlc_rows(static_cast<VlcTableId>(t));
    const auto kraft = KraftSum(rows.rows, rows.count);
    EXPECT_EQ(expected[t], kraft.first) << Name(static_cast<VlcTableId>(t));
    EXPECT_TRUE(kraft.second) << Name(static_cast<VlcTableId>(t));
  }
  // B-14 leaves 0000 0000 0000 unused; B-15 also the six 12-bit and four
  // 13-bit codes whose pairs it codes shorter.
  const DctRows zero = vlc_dct_rows(0);
  const DctRows one = vlc_dct_rows(1);
  EXPECT_EQ(std::make_pair(65536u - 16u, true), KraftSum(zero.rows, zero.count));
  EXPECT_EQ(std::make_pair(65536u - 16u - 6u * 16u - 4u * 8u, true), KraftSum(one.rows, one.count));
}

std::multiset<int> Values(VlcTableId table) {
  const VlcRows rows = vlc_rows(table);
  std::multiset<int> values;
  for (int i = 0; i < rows.count; ++i) values.insert(rows.rows[i].value);
  return values;
}

std::multiset<int> Range(int first, int last) {
  std::multiset<int> values;
  for (int v = first; v <= last; ++v) values.insert(v);
  return values;
}

TEST(Vlc, EachValueHasExactlyOneCode) {
  EXPECT_EQ(Range(1, 33), Values(VLC_MACROBLOCK_ADDRESS_INCREMENT));
  EXPECT_EQ(Range(0, 63), Values(VLC_CODED_BLOCK_PATTERN));
  EXPECT_EQ(Range(-16, 16), Values(VLC_MOTION_CODE));
  EXPECT_EQ(Range(-1, 1), Values(VLC_DMVECTOR));
  EXPECT_EQ(Range(0, 11), Values(VLC_DCT_DC_SIZE_LUMINANCE));
  EXPECT_EQ(Range(0, 11), Values(VLC_DCT_DC_SIZE_CHROMINANCE));
  for (int t = VLC_MACROBLOCK_TYPE_I; t <= VLC_MACROBLOCK_TYPE_SNR; ++t) {
    const std::multiset<int> values = Values(static_cast<VlcTableId>(t));
    EXPECT_EQ(std::set<int>(values.begin(), values.end()).size(), values.size())
        << Name(static_cast<VlcTableId>(t));
  }
}

// Both coefficient tables code the same 111 run/level pairs, each once,
// plus end of block and escape.
TEST(Vlc, BothCoefficientTablesCodeTheSamePairsOnce) {
  std::map<std::pair<int, int>, int> pairs[2];
  for (int one = 0; one < 2; ++one) {
    const DctRows rows = vlc_dct_rows(one);
    for (int i = 0; i < rows.count; ++i) ++pairs[one][{rows.rows[i].run, rows.rows[i].level}];
    EXPECT_EQ(113u, pairs[one].size()) << "table " << one;
    for (const auto& pair : pairs[one])
      EXPECT_EQ(1, pair.second) << "table " << one << " run " << pair.first.first << " level "
                                << pair.first.second;
  }
  EXPECT_EQ(pairs[0], pairs[1]);
  // Runs 0..31 appear, the largest levels by run as the tables end.
  EXPECT_EQ(1, pairs[0].count({0, 40}));
  EXPECT_EQ(1, pairs[0].count({1, 18}));
  EXPECT_EQ(1, pairs[0].count({31, 1}));
  EXPECT_EQ(1, pairs[0].count({DCT_END_OF_BLOCK, 0}));
  EXPECT_EQ(1, pairs[0].count({DCT_ESCAPE, 0}));
}

// "0101 1" -> code 0b01011, length 5.
std::pair<uint32_t, int> Bits(const std::string& text) {
  uint32_t code = 0;
  int length = 0;
  for (char c : text)
    if (c == '0' || c == '1') {
      code = code << 1 | (c == '1');
      ++length;
    }
  return {code, length};
}

TEST(Vlc, CodesAsTheStandardPrintsThem) {
  struct Case {
    VlcTableId table;
    const char* code;
    int value;
  } cases[] = {
      {VLC_MACROBLOCK_ADDRESS_INCREMENT, "1", 1},
      {VLC_MACROBLOCK_ADDRESS_INCREMENT, "0000 1000", 13},
      {VLC_MACROBLOCK_ADDRESS_INCREMENT, "0000 0101 11", 16},
      {VLC_MACROBLOCK_ADDRESS_INCREMENT, "0000 0100 011", 22},
      {VLC_MACROBLOCK_ADDRESS_INCREMENT, "0000 0011 000", 33},
      {VLC_MACROBLOCK_TYPE_I, "01", MB_QUANT | MB_INTRA},
      {VLC_MACROBLOCK_TYPE_P, "1", MB_MOTION_FORWARD | MB_PATTERN},
      {VLC_MACROBLOCK_TYPE_P, "001", MB_MOTION_FORWARD},
      {VLC_MACROBLOCK_TYPE_P, "0000 01", MB_QUANT | MB_INTRA},
      {VLC_MACROBLOCK_TYPE_B, "11", MB_MOTION_FORWARD | MB_MOTION_BACKWARD | MB_PATTERN},
      {VLC_MACROBLOCK_TYPE_B, "0000 10", MB_QUANT | MB_MOTION_BACKWARD | MB_PATTERN},
      {VLC_MACROBLOCK_TYPE_I_SPATIAL, "0001", MB_WEIGHT_CLASS_4},
      {VLC_MACROBLOCK_TYPE_P_SPATIAL, "011", MB_WEIGHT_CODE | MB_MOTION_FORWARD | MB_PATTERN},
      {VLC_MACROBLOCK_TYPE_P_SPATIAL, "0000 010", MB_QUANT | MB_PATTERN | MB_WEIGHT_CLASS_4},
      {VLC_MACROBLOCK_TYPE_B_SPATIAL, "0000 0111 1", MB_PATTERN | MB_WEIGHT_CLASS_4},
      {VLC_MACROBLOCK_TYPE_B_SPATIAL, "0000 0110 0",
       MB_WEIGHT_CODE | MB_QUANT | MB_MOTION_BACKWARD | MB_PATTERN},
      {VLC_MACROBLOCK_TYPE_SNR, "001", 0},
      {VLC_CODED_BLOCK_PATTERN, "111", 60},
      {VLC_CODED_BLOCK_PATTERN, "0101 1", 1},
      {VLC_CODED_BLOCK_PATTERN, "0011 00", 63},
      {VLC_CODED_BLOCK_PATTERN, "0001 1111", 7},
      {VLC_CODED_BLOCK_PATTERN, "0000 0001 0", 39},
      {VLC_CODED_BLOCK_PATTERN, "0000 0000 1", 0},
      {VLC_MOTION_CODE, "1", 0},
      {VLC_MOTION_CODE, "011", -1},
      {VLC_MOTION_CODE, "0000 110", 4},
      {VLC_MOTION_CODE, "0000 0101 10", 8},
      {VLC_MOTION_CODE, "0000 0011 001", -16},
      {VLC_DMVECTOR, "0", 0},
      {VLC_DMVECTOR, "11", -1},
      {VLC_DCT_DC_SIZE_LUMINANCE, "100", 0},
      {VLC_DCT_DC_SIZE_LUMINANCE, "00", 1},
      {VLC_DCT_DC_SIZE_LUMINANCE, "1111 1111 1", 11},
      {VLC_DCT_DC_SIZE_CHROMINANCE, "00", 0},
      {VLC_DCT_DC_SIZE_CHROMINANCE, "1111 1111 10", 10},
  };
  Lcg random = {3};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(Name(c.table)) + " " + c.code);
    const auto bits = Bits(c.code);
    const VlcValue v = Decode(c.table, Extend(bits.first, bits.second, PeekBits(c.table), random));
    EXPECT_EQ(bits.second, v.length);
    EXPECT_EQ(c.value, v.value);
  }
}

TEST(Vlc, CoefficientCodesAsTheStandardPrintsThem) {
  struct Case {
    int table_one;
    const char* code;
    int run, level;
  } cases[] = {
      {0, "10", DCT_END_OF_BLOCK, 0},
      {0, "11", 0, 1},
      {0, "0000 01", DCT_ESCAPE, 0},
      {0, "0010 0110", 0, 5},
      {0, "0000 0010 10", 0, 7},
      {0, "0000 0001 1101", 0, 8},
      {0, "0000 0000 0111 11", 0, 16},
      {0, "0000 0000 0001 1111", 27, 1},
      {1, "0110", DCT_END_OF_BLOCK, 0},
      {1, "10", 0, 1},
      {1, "1110 1", 0, 5},
      {1, "1111 1111", 0, 15},
      {1, "0000 0011 01", 16, 1},
      {1, "0000 0000 0001 0011", 1, 15},
  };
  Lcg random = {4};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.table_one ? "B-15 " : "B-14 ") + c.code);
    const auto bits = Bits(c.code);
    const DctCode code = vlc_dct_coefficient(c.table_one, Extend(bits.first, bits.second, 16, random));
    EXPECT_EQ(bits.second, code.length);
    EXPECT_EQ(c.run, code.run);
    EXPECT_EQ(c.level, code.level);
  }
}

TEST(Vlc, FirstNonIntraCoefficientUsesTheShortForm) {
  const DctCode one = vlc_dct_first_coefficient(0b1000000000000000);  // "1" then sign 0
  EXPECT_EQ(1, one.length);
  EXPECT_EQ(0, one.run);
  EXPECT_EQ(1, one.level);
  const DctCode other = vlc_dct_first_coefficient(0b0110000000000000);  // "011": run 1
  EXPECT_EQ(3, other.length);
  EXPECT_EQ(1, other.run);
}

TEST(Vlc, PatternsThatStartNoCodeGiveLengthZero) {
  struct Case {
    const char* name;
    VlcValue value;
  } cases[] = {
      {"address: start-code zeros", vlc_macroblock_address_increment(0)},
      {"address: escape is the caller's", vlc_macroblock_address_increment(MACROBLOCK_ESCAPE)},
      {"address: stuffing 0000 0001 111", vlc_macroblock_address_increment(0b00000001111)},
      {"address: 0000 0010 111", vlc_macroblock_address_increment(0b00000010111)},
      {"I type 00", vlc_macroblock_type(MB_TYPE_I, 0b001111111)},
      {"P type 0000 00", vlc_macroblock_type(MB_TYPE_P, 0b000000111)},
      {"B type 0000 00", vlc_macroblock_type(MB_TYPE_B, 0b000000111)},
      {"B spatial 0000 00xxx", vlc_macroblock_type(MB_TYPE_B_SPATIAL, 0b000000111)},
      {"SNR 000", vlc_macroblock_type(MB_TYPE_SNR, 0b000111111)},
      {"pattern 0000 0000 0", vlc_coded_block_pattern(0)},
      {"motion below 0000 0011 000", vlc_motion_code(23)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(0, c.value.length);
  }
  EXPECT_EQ(0, vlc_dct_coefficient(0, 0x000F).length);
  EXPECT_EQ(0, vlc_dct_coefficient(1, 0x000F).length);
  // 0000 0001 1101 is 0/8 in table zero only; 0000 0000 1011 1 is 0/15
  // in table zero only.
  EXPECT_EQ(0, vlc_dct_coefficient(1, 0b0000000111010000).length);
  EXPECT_EQ(0, vlc_dct_coefficient(1, 0b0000000010111000).length);
}

TEST(Vlc, EscapeFields) {
  struct Case {
    const char* name;
    uint32_t next22;
    int mpeg1;
    int run, level, length;
  } cases[] = {
      {"MPEG-2 positive", (5u << 16) | (100u << 4), 0, 5, 100, 18},
      {"MPEG-2 negative", (63u << 16) | (0xF9Cu << 4), 0, 63, -100, 18},
      {"MPEG-2 largest", (0u << 16) | (0x7FFu << 4), 0, 0, 2047, 18},
      {"MPEG-1 short positive", (2u << 16) | (0x7Fu << 8), 1, 2, 127, 14},
      {"MPEG-1 short negative", (2u << 16) | (0x81u << 8), 1, 2, -127, 14},
      {"MPEG-1 long positive", (3u << 16) | (0x00u << 8) | 200u, 1, 3, 200, 22},
      {"MPEG-1 long negative", (3u << 16) | (0x80u << 8) | 56u, 1, 3, -200, 22},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const DctEscape e = vlc_dct_escape(c.next22, c.mpeg1);
    EXPECT_EQ(c.run, e.run);
    EXPECT_EQ(c.level, e.level);
    EXPECT_EQ(c.length, e.length);
  }
}

}  // namespace
