// Variable-length codes of the video syntax (ISO/IEC 13818-2 Annex B).
//
// Every decoder here takes the next bits of the stream, most significant
// first and right-aligned, as the bit reader's show_bits gives them, and
// answers the value with the number of bits the code takes; the caller
// then consumes that many. A length of 0 means the bits start no valid
// code; nothing is to be consumed then. Each look-up is one access to a
// table chosen by the leading bits, built at compile time from rows
// (code, length, value) transcribed from the standard.
#pragma once

#include <cstdint>

struct VlcValue {
  int16_t value;
  uint8_t length;  // 0: no valid code
};

// Table B-1 from the next 11 bits. macroblock_escape (0000 0001 000) is
// the caller's: skip it and add 33 while the next 11 bits equal
// MACROBLOCK_ESCAPE. macroblock_stuffing and start-code zeros, like every
// other pattern below 0000 0011 000, give length 0.
constexpr uint32_t MACROBLOCK_ESCAPE = 0x008;
constexpr int MACROBLOCK_ESCAPE_LENGTH = 11;
VlcValue vlc_macroblock_address_increment(uint32_t next11);

// macroblock_type values: flags of the standard's columns. MB_WEIGHT_CODE
// is spatial_temporal_weight_code_flag; MB_WEIGHT_CLASS_4 marks the
// spatially scalable types whose permitted spatial_temporal_weight_class
// is 4 (the others without MB_WEIGHT_CODE have class 0).
enum : int16_t {
  MB_QUANT = 1,
  MB_MOTION_FORWARD = 2,
  MB_MOTION_BACKWARD = 4,
  MB_PATTERN = 8,
  MB_INTRA = 16,
  MB_WEIGHT_CODE = 32,
  MB_WEIGHT_CLASS_4 = 64,
};

enum MacroblockTypeTable : int {
  MB_TYPE_I,           // B-2
  MB_TYPE_P,           // B-3
  MB_TYPE_B,           // B-4
  MB_TYPE_I_SPATIAL,   // B-5
  MB_TYPE_P_SPATIAL,   // B-6
  MB_TYPE_B_SPATIAL,   // B-7
  MB_TYPE_SNR,         // B-8
};

// macroblock_type from the next 9 bits (the longest code of any table).
VlcValue vlc_macroblock_type(MacroblockTypeTable table, uint32_t next9);

// Table B-9 from the next 9 bits: the pattern 0..63.
VlcValue vlc_coded_block_pattern(uint32_t next9);

// Table B-10 from the next 11 bits: motion_code -16..16.
// One look-up, inline: a macroblock of field vectors reads eight.
struct MotionCodeTable {
  VlcValue entry[2048];
};
extern const MotionCodeTable kMotionCodes;
inline VlcValue vlc_motion_code(uint32_t next11) { return kMotionCodes.entry[next11 & 2047]; }

// Table B-11 from the next 2 bits: dmvector -1..1.
VlcValue vlc_dmvector(uint32_t next2);

// Tables B-12 (next 9 bits) and B-13 (next 10 bits): dct_dc_size 0..11.
VlcValue vlc_dct_dc_size_luminance(uint32_t next9);
VlcValue vlc_dct_dc_size_chrominance(uint32_t next10);

// A DCT coefficient code: run and absolute level, or one of the two
// special runs. length counts the code without the sign bit, which follows
// it (s = 1: negative); end of block and escape have no sign bit.
struct alignas(4) DctCode {  // one load in the block loop
  uint8_t run;
  uint8_t level;
  uint8_t length;  // 0: no valid code
};
enum : uint8_t { DCT_END_OF_BLOCK = 64, DCT_ESCAPE = 65 };

// Tables B-14 (table_one = 0) and B-15 (table_one = 1) from the next 16
// bits, for every coefficient but the first of a non-intra block.
DctCode vlc_dct_coefficient(int table_one, uint32_t next16);

// Table B-14 for the first coefficient of a non-intra block, where "1s"
// codes run 0, level 1 and end of block cannot occur.
DctCode vlc_dct_first_coefficient(uint32_t next16);

// vlc_dct_coefficient as one table access, for the block decoders' inner
// loop: kDctCodeTables[table_one].entry[vlc_dct_slot(next16)]. Codes of up
// to 8 bits sit at their first byte, longer ones (six leading zeros and
// more) at 256 plus their last 10 bits. Entries of length 0 (no code) have
// the run DCT_END_OF_BLOCK.
struct DctCodeTable {
  DctCode entry[256 + 1024];
};
extern const DctCodeTable kDctCodeTables[2];
inline uint32_t vlc_dct_slot(uint32_t next16) {
  return next16 >= 0x0400 ? next16 >> 8 : 256 + (next16 & 0x3FF);
}

// The fields after the escape code: 6 bits of run and the level, 12 bits
// two's complement (MPEG-2), or 8 bits with 0x00 and 0x80 followed by 8
// more (ISO/IEC 11172-2). `next` holds the 22 bits after the escape code;
// `length` is 18, 14 or 22. A level of 0 (and MPEG-2's -2048), which no
// valid stream codes, is answered as it is; the caller decides.
struct DctEscape {
  int run;
  int level;
  int length;
};
// Inline: escapes are frequent in busy pictures, and the caller knows mpeg1.
inline DctEscape vlc_dct_escape(uint32_t next22, int mpeg1) {
  DctEscape escape = {static_cast<int>(next22 >> 16) & 63, 0, 18};
  if (!mpeg1) {
    const int level = static_cast<int>(next22 >> 4) & 0xFFF;
    escape.level = level >= 2048 ? level - 4096 : level;
    return escape;
  }
  const int first = static_cast<int>(next22 >> 8) & 0xFF;
  const int second = static_cast<int>(next22) & 0xFF;
  escape.length = 14;
  if (first == 0x00) {
    escape.level = second;
    escape.length = 22;
  } else if (first == 0x80) {
    escape.level = second - 256;
    escape.length = 22;
  } else {
    escape.level = first >= 128 ? first - 256 : first;
  }
  return escape;
}

// The transcription rows, for tests that check them as a code.
struct VlcRow {
  uint16_t code;
  uint8_t length;
  int16_t value;
};
struct DctRow {
  uint16_t code;
  uint8_t length;
  uint8_t run;
  uint8_t level;
};
struct VlcRows {
  const VlcRow* rows;
  int count;
};
struct DctRows {
  const DctRow* rows;
  int count;
};
enum VlcTableId : int {
  VLC_MACROBLOCK_ADDRESS_INCREMENT,
  VLC_MACROBLOCK_TYPE_I,
  VLC_MACROBLOCK_TYPE_P,
  VLC_MACROBLOCK_TYPE_B,
  VLC_MACROBLOCK_TYPE_I_SPATIAL,
  VLC_MACROBLOCK_TYPE_P_SPATIAL,
  VLC_MACROBLOCK_TYPE_B_SPATIAL,
  VLC_MACROBLOCK_TYPE_SNR,
  VLC_CODED_BLOCK_PATTERN,
  VLC_MOTION_CODE,
  VLC_DMVECTOR,
  VLC_DCT_DC_SIZE_LUMINANCE,
  VLC_DCT_DC_SIZE_CHROMINANCE,
  VLC_TABLE_COUNT,
};
VlcRows vlc_rows(VlcTableId table);
DctRows vlc_dct_rows(int table_one);
