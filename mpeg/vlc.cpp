// Variable-length code tables: rows as the standard prints them, and the
// direct look-up tables made from them at compile time.
#include "mpeg/vlc.h"

namespace {

// ---- Rows ------------------------------------------------------------------

// B-1 macroblock_address_increment (escape and stuffing are not values).
constexpr VlcRow kAddressIncrement[] = {
    {0b1, 1, 1},             {0b011, 3, 2},           {0b010, 3, 3},
    {0b0011, 4, 4},          {0b0010, 4, 5},          {0b00011, 5, 6},
    {0b00010, 5, 7},         {0b0000111, 7, 8},       {0b0000110, 7, 9},
    {0b00001011, 8, 10},     {0b00001010, 8, 11},     {0b00001001, 8, 12},
    {0b00001000, 8, 13},     {0b00000111, 8, 14},     {0b00000110, 8, 15},
    {0b0000010111, 10, 16},  {0b0000010110, 10, 17},  {0b0000010101, 10, 18},
    {0b0000010100, 10, 19},  {0b0000010011, 10, 20},  {0b0000010010, 10, 21},
    {0b00000100011, 11, 22}, {0b00000100010, 11, 23}, {0b00000100001, 11, 24},
    {0b00000100000, 11, 25}, {0b00000011111, 11, 26}, {0b00000011110, 11, 27},
    {0b00000011101, 11, 28}, {0b00000011100, 11, 29}, {0b00000011011, 11, 30},
    {0b00000011010, 11, 31}, {0b00000011001, 11, 32}, {0b00000011000, 11, 33},
};

constexpr int16_t Q = MB_QUANT, F = MB_MOTION_FORWARD, B = MB_MOTION_BACKWARD,
                  P = MB_PATTERN, I = MB_INTRA, W = MB_WEIGHT_CODE, C4 = MB_WEIGHT_CLASS_4;

// B-2 I pictures.
constexpr VlcRow kTypeI[] = {{0b1, 1, I}, {0b01, 2, Q | I}};

// B-3 P pictures.
constexpr VlcRow kTypeP[] = {
    {0b1, 1, F | P},     {0b01, 2, P},     {0b001, 3, F},         {0b00011, 5, I},
    {0b00010, 5, Q | F | P}, {0b00001, 5, Q | P}, {0b000001, 6, Q | I},
};

// B-4 B pictures.
constexpr VlcRow kTypeB[] = {
    {0b10, 2, F | B},          {0b11, 2, F | B | P},   {0b010, 3, B},
    {0b011, 3, B | P},         {0b0010, 4, F},         {0b0011, 4, F | P},
    {0b00011, 5, I},           {0b00010, 5, Q | F | B | P},
    {0b000011, 6, Q | F | P},  {0b000010, 6, Q | B | P}, {0b000001, 6, Q | I},
};

// B-5 I pictures with spatial scalability.
constexpr VlcRow kTypeISpatial[] = {
    {0b1, 1, P | C4}, {0b01, 2, Q | P | C4}, {0b0011, 4, I}, {0b0010, 4, Q | I}, {0b0001, 4, C4},
};

// B-6 P pictures with spatial scalability.
constexpr VlcRow kTypePSpatial[] = {
    {0b10, 2, F | P},          {0b011, 3, W | F | P},    {0b0000100, 7, P},
    {0b000111, 6, W | P},      {0b0010, 4, F},           {0b0000111, 7, I},
    {0b0011, 4, W | F},        {0b010, 3, Q | F | P},    {0b000100, 6, Q | P},
    {0b0000110, 7, Q | I},     {0b11, 2, W | Q | F | P}, {0b000101, 6, W | Q | P},
    {0b000110, 6, W},          {0b0000101, 7, P | C4},   {0b0000010, 7, Q | P | C4},
    {0b0000011, 7, C4},
};

// B-7 B pictures with spatial scalability.
constexpr VlcRow kTypeBSpatial[] = {
    {0b10, 2, F | B},              {0b11, 2, F | B | P},          {0b010, 3, B},
    {0b011, 3, B | P},             {0b0010, 4, F},                {0b0011, 4, F | P},
    {0b000110, 6, W | B},          {0b000111, 6, W | B | P},      {0b000100, 6, W | F},
    {0b000101, 6, W | F | P},      {0b0000110, 7, I},             {0b0000111, 7, Q | F | B | P},
    {0b0000100, 7, Q | F | P},     {0b0000101, 7, Q | B | P},     {0b00000100, 8, Q | I},
    {0b00000101, 8, W | Q | F | P}, {0b000001100, 9, W | Q | B | P},
    {0b000001110, 9, C4},          {0b000001101, 9, Q | P | C4},  {0b000001111, 9, P | C4},
};

// B-8 SNR scalability.
constexpr VlcRow kTypeSnr[] = {{0b1, 1, P}, {0b01, 2, Q | P}, {0b001, 3, 0}};

// B-9 coded_block_pattern.
constexpr VlcRow kCodedBlockPattern[] = {
    {0b111, 3, 60},       {0b1101, 4, 4},       {0b1100, 4, 8},       {0b1011, 4, 16},
    {0b1010, 4, 32},      {0b10011, 5, 12},     {0b10010, 5, 48},     {0b10001, 5, 20},
    {0b10000, 5, 40},     {0b01111, 5, 28},     {0b01110, 5, 44},     {0b01101, 5, 52},
    {0b01100, 5, 56},     {0b01011, 5, 1},      {0b01010, 5, 61},     {0b01001, 5, 2},
    {0b01000, 5, 62},     {0b001111, 6, 24},    {0b001110, 6, 36},    {0b001101, 6, 3},
    {0b001100, 6, 63},    {0b0010111, 7, 5},    {0b0010110, 7, 9},    {0b0010101, 7, 17},
    {0b0010100, 7, 33},   {0b0010011, 7, 6},    {0b0010010, 7, 10},   {0b0010001, 7, 18},
    {0b0010000, 7, 34},   {0b00011111, 8, 7},   {0b00011110, 8, 11},  {0b00011101, 8, 19},
    {0b00011100, 8, 35},  {0b00011011, 8, 13},  {0b00011010, 8, 49},  {0b00011001, 8, 21},
    {0b00011000, 8, 41},  {0b00010111, 8, 14},  {0b00010110, 8, 50},  {0b00010101, 8, 22},
    {0b00010100, 8, 42},  {0b00010011, 8, 15},  {0b00010010, 8, 51},  {0b00010001, 8, 23},
    {0b00010000, 8, 43},  {0b00001111, 8, 25},  {0b00001110, 8, 37},  {0b00001101, 8, 26},
    {0b00001100, 8, 38},  {0b00001011, 8, 29},  {0b00001010, 8, 45},  {0b00001001, 8, 53},
    {0b00001000, 8, 57},  {0b00000111, 8, 30},  {0b00000110, 8, 46},  {0b00000101, 8, 54},
    {0b00000100, 8, 58},  {0b000000111, 9, 31}, {0b000000110, 9, 47}, {0b000000101, 9, 55},
    {0b000000100, 9, 59}, {0b000000011, 9, 27}, {0b000000010, 9, 39}, {0b000000001, 9, 0},
};

// B-10 motion_code, sign bit included (last bit 1: negative).
constexpr VlcRow kMotionCode[] = {
    {0b00000011001, 11, -16}, {0b00000011011, 11, -15}, {0b00000011101, 11, -14},
    {0b00000011111, 11, -13}, {0b00000100001, 11, -12}, {0b00000100011, 11, -11},
    {0b0000010011, 10, -10},  {0b0000010101, 10, -9},   {0b0000010111, 10, -8},
    {0b00000111, 8, -7},      {0b00001001, 8, -6},      {0b00001011, 8, -5},
    {0b0000111, 7, -4},       {0b00011, 5, -3},         {0b0011, 4, -2},
    {0b011, 3, -1},           {0b1, 1, 0},              {0b010, 3, 1},
    {0b0010, 4, 2},           {0b00010, 5, 3},          {0b0000110, 7, 4},
    {0b00001010, 8, 5},       {0b00001000, 8, 6},       {0b00000110, 8, 7},
    {0b0000010110, 10, 8},    {0b0000010100, 10, 9},    {0b0000010010, 10, 10},
    {0b00000100010, 11, 11},  {0b00000100000, 11, 12},  {0b00000011110, 11, 13},
    {0b00000011100, 11, 14},  {0b00000011010, 11, 15},  {0b00000011000, 11, 16},
};

// B-11 dmvector.
constexpr VlcRow kDmvector[] = {{0b0, 1, 0}, {0b10, 2, 1}, {0b11, 2, -1}};

// B-12 dct_dc_size_luminance.
constexpr VlcRow kDcSizeLuminance[] = {
    {0b100, 3, 0},       {0b00, 2, 1},         {0b01, 2, 2},          {0b101, 3, 3},
    {0b110, 3, 4},       {0b1110, 4, 5},       {0b11110, 5, 6},       {0b111110, 6, 7},
    {0b1111110, 7, 8},   {0b11111110, 8, 9},   {0b111111110, 9, 10},  {0b111111111, 9, 11},
};

// B-13 dct_dc_size_chrominance.
constexpr VlcRow kDcSizeChrominance[] = {
    {0b00, 2, 0},          {0b01, 2, 1},           {0b10, 2, 2},            {0b110, 3, 3},
    {0b1110, 4, 4},        {0b11110, 5, 5},        {0b111110, 6, 6},        {0b1111110, 7, 7},
    {0b11111110, 8, 8},    {0b111111110, 9, 9},    {0b1111111110, 10, 10},  {0b1111111111, 10, 11},
};

constexpr uint8_t EOB = DCT_END_OF_BLOCK, ESC = DCT_ESCAPE;

// B-14 DCT coefficients table zero (without the sign bit). "11" is the
// form of run 0, level 1 for every coefficient but a non-intra block's
// first, which uses "1" (vlc_dct_first_coefficient).
constexpr DctRow kDctZero[] = {
    {0b10, 2, EOB, 0},  {0b11, 2, 0, 1},    {0b011, 3, 1, 1},    {0b0100, 4, 0, 2},
    {0b0101, 4, 2, 1},  {0b00101, 5, 0, 3}, {0b00111, 5, 3, 1},  {0b00110, 5, 4, 1},
    {0b000110, 6, 1, 2}, {0b000111, 6, 5, 1}, {0b000101, 6, 6, 1}, {0b000100, 6, 7, 1},
    {0b0000110, 7, 0, 4}, {0b0000100, 7, 2, 2}, {0b0000111, 7, 8, 1}, {0b0000101, 7, 9, 1},
    {0b000001, 6, ESC, 0},
    {0b00100110, 8, 0, 5},  {0b00100001, 8, 0, 6},  {0b00100101, 8, 1, 3},  {0b00100100, 8, 3, 2},
    {0b00100111, 8, 10, 1}, {0b00100011, 8, 11, 1}, {0b00100010, 8, 12, 1}, {0b00100000, 8, 13, 1},
    {0b0000001010, 10, 0, 7},  {0b0000001100, 10, 1, 4},  {0b0000001011, 10, 2, 3},
    {0b0000001111, 10, 4, 2},  {0b0000001001, 10, 5, 2},  {0b0000001110, 10, 14, 1},
    {0b0000001101, 10, 15, 1}, {0b0000001000, 10, 16, 1},
    {0b000000011101, 12, 0, 8},  {0b000000011000, 12, 0, 9},  {0b000000010011, 12, 0, 10},
    {0b000000010000, 12, 0, 11}, {0b000000011011, 12, 1, 5},  {0b000000010100, 12, 2, 4},
    {0b000000011100, 12, 3, 3},  {0b000000010010, 12, 4, 3},  {0b000000011110, 12, 6, 2},
    {0b000000010101, 12, 7, 2},  {0b000000010001, 12, 8, 2},  {0b000000011111, 12, 17, 1},
    {0b000000011010, 12, 18, 1}, {0b000000011001, 12, 19, 1}, {0b000000010111, 12, 20, 1},
    {0b000000010110, 12, 21, 1},
    {0b0000000011010, 13, 0, 12}, {0b0000000011001, 13, 0, 13}, {0b0000000011000, 13, 0, 14},
    {0b0000000010111, 13, 0, 15},
    // From here on both tables share their codes.
    {0b0000000010110, 13, 1, 6},  {0b0000000010101, 13, 1, 7},  {0b0000000010100, 13, 2, 5},
    {0b0000000010011, 13, 3, 4},  {0b0000000010010, 13, 5, 3},  {0b0000000010001, 13, 9, 2},
    {0b0000000010000, 13, 10, 2}, {0b0000000011111, 13, 22, 1}, {0b0000000011110, 13, 23, 1},
    {0b0000000011101, 13, 24, 1}, {0b0000000011100, 13, 25, 1}, {0b0000000011011, 13, 26, 1},
    {0b00000000011111, 14, 0, 16}, {0b00000000011110, 14, 0, 17}, {0b00000000011101, 14, 0, 18},
    {0b00000000011100, 14, 0, 19}, {0b00000000011011, 14, 0, 20}, {0b00000000011010, 14, 0, 21},
    {0b00000000011001, 14, 0, 22}, {0b00000000011000, 14, 0, 23}, {0b00000000010111, 14, 0, 24},
    {0b00000000010110, 14, 0, 25}, {0b00000000010101, 14, 0, 26}, {0b00000000010100, 14, 0, 27},
    {0b00000000010011, 14, 0, 28}, {0b00000000010010, 14, 0, 29}, {0b00000000010001, 14, 0, 30},
    {0b00000000010000, 14, 0, 31},
    {0b000000000011000, 15, 0, 32}, {0b000000000010111, 15, 0, 33}, {0b000000000010110, 15, 0, 34},
    {0b000000000010101, 15, 0, 35}, {0b000000000010100, 15, 0, 36}, {0b000000000010011, 15, 0, 37},
    {0b000000000010010, 15, 0, 38}, {0b000000000010001, 15, 0, 39}, {0b000000000010000, 15, 0, 40},
    {0b000000000011111, 15, 1, 8},  {0b000000000011110, 15, 1, 9},  {0b000000000011101, 15, 1, 10},
    {0b000000000011100, 15, 1, 11}, {0b000000000011011, 15, 1, 12}, {0b000000000011010, 15, 1, 13},
    {0b000000000011001, 15, 1, 14},
    {0b0000000000010011, 16, 1, 15}, {0b0000000000010010, 16, 1, 16}, {0b0000000000010001, 16, 1, 17},
    {0b0000000000010000, 16, 1, 18}, {0b0000000000010100, 16, 6, 3},  {0b0000000000011010, 16, 11, 2},
    {0b0000000000011001, 16, 12, 2}, {0b0000000000011000, 16, 13, 2}, {0b0000000000010111, 16, 14, 2},
    {0b0000000000010110, 16, 15, 2}, {0b0000000000010101, 16, 16, 2}, {0b0000000000011111, 16, 27, 1},
    {0b0000000000011110, 16, 28, 1}, {0b0000000000011101, 16, 29, 1}, {0b0000000000011100, 16, 30, 1},
    {0b0000000000011011, 16, 31, 1},
};
constexpr int kDctSharedFirst = 53;  // index of the first shared row above
static_assert(kDctZero[kDctSharedFirst].length == 13 && kDctZero[kDctSharedFirst].run == 1 &&
                  kDctZero[kDctSharedFirst].level == 6,
              "shared rows start at 1/6");

// B-15 DCT coefficients table one, up to the codes it shares with B-14.
constexpr DctRow kDctOneOwn[] = {
    {0b10, 2, 0, 1},     {0b010, 3, 1, 1},    {0b110, 3, 0, 2},    {0b0110, 4, EOB, 0},
    {0b0111, 4, 0, 3},   {0b00101, 5, 2, 1},  {0b00110, 5, 1, 2},  {0b00111, 5, 3, 1},
    {0b11100, 5, 0, 4},  {0b11101, 5, 0, 5},  {0b000100, 6, 0, 7}, {0b000101, 6, 0, 6},
    {0b000110, 6, 4, 1}, {0b000111, 6, 5, 1}, {0b000001, 6, ESC, 0},
    {0b0000100, 7, 7, 1}, {0b0000101, 7, 8, 1}, {0b0000110, 7, 6, 1}, {0b0000111, 7, 2, 2},
    {0b1111000, 7, 9, 1}, {0b1111001, 7, 1, 3}, {0b1111010, 7, 10, 1}, {0b1111011, 7, 0, 8},
    {0b1111100, 7, 0, 9},
    {0b00100000, 8, 1, 5},  {0b00100001, 8, 11, 1}, {0b00100010, 8, 0, 11}, {0b00100011, 8, 0, 10},
    {0b00100100, 8, 13, 1}, {0b00100101, 8, 12, 1}, {0b00100110, 8, 3, 2},  {0b00100111, 8, 1, 4},
    {0b11111010, 8, 0, 12}, {0b11111011, 8, 0, 13}, {0b11111100, 8, 2, 3},  {0b11111101, 8, 4, 2},
    {0b11111110, 8, 0, 14}, {0b11111111, 8, 0, 15},
    {0b000000100, 9, 5, 2},   {0b000000101, 9, 14, 1},  {0b000000111, 9, 15, 1},
    {0b0000001100, 10, 2, 4}, {0b0000001101, 10, 16, 1},
    {0b000000010001, 12, 8, 2},  {0b000000010010, 12, 4, 3},  {0b000000010101, 12, 7, 2},
    {0b000000010110, 12, 21, 1}, {0b000000010111, 12, 20, 1}, {0b000000011001, 12, 19, 1},
    {0b000000011010, 12, 18, 1}, {0b000000011100, 12, 3, 3},  {0b000000011110, 12, 6, 2},
    {0b000000011111, 12, 17, 1},
};

constexpr int kDctZeroCount = sizeof(kDctZero) / sizeof(kDctZero[0]);
constexpr int kDctOneOwnCount = sizeof(kDctOneOwn) / sizeof(kDctOneOwn[0]);

// Table one as one array: its own rows, then the shared rows of table zero.
struct DctOneRows {
  DctRow rows[kDctOneOwnCount + kDctZeroCount - kDctSharedFirst];
};
constexpr DctOneRows MakeDctOne() {
  DctOneRows one = {};
  int n = 0;
  for (int i = 0; i < kDctOneOwnCount; ++i) one.rows[n++] = kDctOneOwn[i];
  for (int i = kDctSharedFirst; i < kDctZeroCount; ++i) one.rows[n++] = kDctZero[i];
  return one;
}
constexpr DctOneRows kDctOne = MakeDctOne();

// ---- Look-up tables ---------------------------------------------------------

constexpr VlcValue MakeEntry(const VlcRow& row) { return VlcValue{row.value, row.length}; }
constexpr DctCode MakeEntry(const DctRow& row) { return DctCode{row.run, row.level, row.length}; }

// One bucket: the `bits`-bit patterns from `first` on, indexed by
// (pattern - first) >> shift. `ok` turns false when a row is too long for
// the bucket, straddles its edge or collides with another row; `placed`
// counts the rows that landed here.
template <typename Entry, int Size>
struct Lut {
  Entry entry[Size];
  int placed;
  bool ok;
};

template <typename Entry, int Size, typename Row>
constexpr Lut<Entry, Size> BuildLut(const Row* rows, int count, int bits, uint32_t first,
                                    int shift) {
  Lut<Entry, Size> lut = {};
  lut.ok = true;
  const uint32_t end = first + (static_cast<uint32_t>(Size) << shift);
  for (int r = 0; r < count; ++r) {
    const Row& row = rows[r];
    if (row.length == 0 || row.length > bits) {
      lut.ok = false;
      continue;
    }
    const uint32_t low = static_cast<uint32_t>(row.code) << (bits - row.length);
    const uint32_t high = low + (1u << (bits - row.length));
    if (high <= first || low >= end) continue;
    if (low < first || high > end || row.length > bits - shift) {
      lut.ok = false;
      continue;
    }
    for (uint32_t i = (low - first) >> shift; i < (high - first) >> shift; ++i) {
      if (lut.entry[i].length != 0) lut.ok = false;
      lut.entry[i] = MakeEntry(row);
    }
    ++lut.placed;
  }
  return lut;
}

template <int Size, int N>
constexpr Lut<VlcValue, Size> Build(const VlcRow (&rows)[N], int bits, uint32_t first, int shift) {
  return BuildLut<VlcValue, Size>(rows, N, bits, first, shift);
}

template <int N>
constexpr int Count(const VlcRow (&)[N]) {
  return N;
}

// B-1: 11 bits; codes of up to 7 bits from 0000 1100 000 on, longer ones
// from 0000 0011 000.
constexpr auto kAddressA = Build<122>(kAddressIncrement, 11, 96, 4);
constexpr auto kAddressB = Build<72>(kAddressIncrement, 11, 24, 0);
static_assert(kAddressA.ok && kAddressB.ok, "B-1 rows");
static_assert(kAddressA.placed + kAddressB.placed == Count(kAddressIncrement), "B-1 buckets");

// macroblock_type: one table per picture kind, indexed by its longest code.
constexpr auto kTypeILut = Build<4>(kTypeI, 2, 0, 0);
constexpr auto kTypePLut = Build<64>(kTypeP, 6, 0, 0);
constexpr auto kTypeBLut = Build<64>(kTypeB, 6, 0, 0);
constexpr auto kTypeISpatialLut = Build<16>(kTypeISpatial, 4, 0, 0);
constexpr auto kTypePSpatialLut = Build<128>(kTypePSpatial, 7, 0, 0);
constexpr auto kTypeBSpatialLut = Build<512>(kTypeBSpatial, 9, 0, 0);
constexpr auto kTypeSnrLut = Build<8>(kTypeSnr, 3, 0, 0);
static_assert(kTypeILut.ok && kTypePLut.ok && kTypeBLut.ok && kTypeISpatialLut.ok &&
                  kTypePSpatialLut.ok && kTypeBSpatialLut.ok && kTypeSnrLut.ok,
              "B-2..B-8 rows");
static_assert(kTypeILut.placed == Count(kTypeI) && kTypePLut.placed == Count(kTypeP) &&
                  kTypeBLut.placed == Count(kTypeB) &&
                  kTypeISpatialLut.placed == Count(kTypeISpatial) &&
                  kTypePSpatialLut.placed == Count(kTypePSpatial) &&
                  kTypeBSpatialLut.placed == Count(kTypeBSpatial) &&
                  kTypeSnrLut.placed == Count(kTypeSnr),
              "B-2..B-8 buckets");

// B-9: 9 bits; up to 6-bit codes from 001 1000 00 on, the rest below.
constexpr auto kPatternA = Build<52>(kCodedBlockPattern, 9, 96, 3);
constexpr auto kPatternB = Build<96>(kCodedBlockPattern, 9, 0, 0);
static_assert(kPatternA.ok && kPatternB.ok, "B-9 rows");
static_assert(kPatternA.placed + kPatternB.placed == Count(kCodedBlockPattern), "B-9 buckets");

// B-10: 11 bits in three buckets.
constexpr auto kMotionA = Build<14>(kMotionCode, 11, 256, 7);
constexpr auto kMotionB = Build<26>(kMotionCode, 11, 48, 3);
constexpr auto kMotionC = Build<24>(kMotionCode, 11, 24, 0);
static_assert(kMotionA.ok && kMotionB.ok && kMotionC.ok, "B-10 rows");
static_assert(kMotionA.placed + kMotionB.placed + kMotionC.placed == Count(kMotionCode),
              "B-10 buckets");

constexpr auto kDmvectorLut = Build<4>(kDmvector, 2, 0, 0);
static_assert(kDmvectorLut.ok && kDmvectorLut.placed == Count(kDmvector), "B-11 rows");

// B-12 and B-13: codes of up to 5 bits, and the rest after 11111.
constexpr auto kDcLumaA = Build<31>(kDcSizeLuminance, 9, 0, 4);
constexpr auto kDcLumaB = Build<16>(kDcSizeLuminance, 9, 496, 0);
constexpr auto kDcChromaA = Build<31>(kDcSizeChrominance, 10, 0, 5);
constexpr auto kDcChromaB = Build<32>(kDcSizeChrominance, 10, 992, 0);
static_assert(kDcLumaA.ok && kDcLumaB.ok && kDcChromaA.ok && kDcChromaB.ok, "B-12/B-13 rows");
static_assert(kDcLumaA.placed + kDcLumaB.placed == Count(kDcSizeLuminance) &&
                  kDcChromaA.placed + kDcChromaB.placed == Count(kDcSizeChrominance),
              "B-12/B-13 buckets");

// B-14 and B-15 flat, as DctCodeTable lays them out: a bucket for the codes
// of up to 8 bits by their first byte (0000 01.. and above) and one for the
// longer codes by the last 10 of the 16 bits.
using ShortDctCodes = Lut<DctCode, 252>;
using LongDctCodes = Lut<DctCode, 1024>;

constexpr bool DctTableOk(const ShortDctCodes& up_to_8, const LongDctCodes& longer, int count) {
  return up_to_8.ok && longer.ok && up_to_8.placed + longer.placed == count;
}

// Patterns that start no code read as an end of block of length 0, so the
// block loop's end-of-block branch also ends a block at an invalid code.
constexpr DctCodeTable Flatten(const ShortDctCodes& up_to_8, const LongDctCodes& longer) {
  DctCodeTable t = {};
  for (int i = 0; i < 252; ++i) t.entry[4 + i] = up_to_8.entry[i];
  for (int i = 0; i < 1024; ++i) t.entry[256 + i] = longer.entry[i];
  for (DctCode& code : t.entry)
    if (code.length == 0) code.run = DCT_END_OF_BLOCK;
  return t;
}

constexpr int kDctOneCount = sizeof(kDctOne.rows) / sizeof(kDctOne.rows[0]);
constexpr auto kDctZeroShort = BuildLut<DctCode, 252>(kDctZero, kDctZeroCount, 16, 0x0400, 8);
constexpr auto kDctZeroLong = BuildLut<DctCode, 1024>(kDctZero, kDctZeroCount, 16, 0, 0);
constexpr auto kDctOneShort = BuildLut<DctCode, 252>(kDctOne.rows, kDctOneCount, 16, 0x0400, 8);
constexpr auto kDctOneLong = BuildLut<DctCode, 1024>(kDctOne.rows, kDctOneCount, 16, 0, 0);
static_assert(DctTableOk(kDctZeroShort, kDctZeroLong, kDctZeroCount) &&
                  DctTableOk(kDctOneShort, kDctOneLong, kDctOneCount),
              "B-14/B-15 rows");

constexpr VlcValue kNoValue = {0, 0};

}  // namespace

const DctCodeTable kDctCodeTables[2] = {Flatten(kDctZeroShort, kDctZeroLong),
                                        Flatten(kDctOneShort, kDctOneLong)};

VlcValue vlc_macroblock_address_increment(uint32_t next11) {
  if (next11 >= 96) return kAddressA.entry[(next11 - 96) >> 4];
  if (next11 >= 24) return kAddressB.entry[next11 - 24];
  return kNoValue;
}

VlcValue vlc_macroblock_type(MacroblockTypeTable table, uint32_t next9) {
  switch (table) {
    case MB_TYPE_I: return kTypeILut.entry[next9 >> 7];
    case MB_TYPE_P: return kTypePLut.entry[next9 >> 3];
    case MB_TYPE_B: return kTypeBLut.entry[next9 >> 3];
    case MB_TYPE_I_SPATIAL: return kTypeISpatialLut.entry[next9 >> 5];
    case MB_TYPE_P_SPATIAL: return kTypePSpatialLut.entry[next9 >> 2];
    case MB_TYPE_B_SPATIAL: return kTypeBSpatialLut.entry[next9];
    case MB_TYPE_SNR: return kTypeSnrLut.entry[next9 >> 6];
  }
  return kNoValue;
}

VlcValue vlc_coded_block_pattern(uint32_t next9) {
  if (next9 >= 96) return kPatternA.entry[(next9 - 96) >> 3];
  return kPatternB.entry[next9];
}

namespace {

constexpr MotionCodeTable MakeMotionCodes() {
  MotionCodeTable t = {};
  for (uint32_t i = 0; i < 2048; ++i)
    t.entry[i] = i >= 256  ? kMotionA.entry[(i - 256) >> 7]
                 : i >= 48 ? kMotionB.entry[(i - 48) >> 3]
                 : i >= 24 ? kMotionC.entry[i - 24]
                           : kNoValue;
  return t;
}

}  // namespace

const MotionCodeTable kMotionCodes = MakeMotionCodes();

VlcValue vlc_dmvector(uint32_t next2) { return kDmvectorLut.entry[next2 & 3]; }

VlcValue vlc_dct_dc_size_luminance(uint32_t next9) {
  if (next9 < 496) return kDcLumaA.entry[next9 >> 4];
  return kDcLumaB.entry[next9 - 496];
}

VlcValue vlc_dct_dc_size_chrominance(uint32_t next10) {
  if (next10 < 992) return kDcChromaA.entry[next10 >> 5];
  return kDcChromaB.entry[next10 - 992];
}

DctCode vlc_dct_coefficient(int table_one, uint32_t next16) {
  return kDctCodeTables[table_one != 0].entry[vlc_dct_slot(next16 & 0xFFFF)];
}

DctCode vlc_dct_first_coefficient(uint32_t next16) {
  if (next16 & 0x8000) return DctCode{0, 1, 1};
  return vlc_dct_coefficient(0, next16);
}

VlcRows vlc_rows(VlcTableId table) {
  switch (table) {
#define ROWS(id, rows) \
  case id: return VlcRows{rows, static_cast<int>(sizeof(rows) / sizeof(rows[0]))};
    ROWS(VLC_MACROBLOCK_ADDRESS_INCREMENT, kAddressIncrement)
    ROWS(VLC_MACROBLOCK_TYPE_I, kTypeI)
    ROWS(VLC_MACROBLOCK_TYPE_P, kTypeP)
    ROWS(VLC_MACROBLOCK_TYPE_B, kTypeB)
    ROWS(VLC_MACROBLOCK_TYPE_I_SPATIAL, kTypeISpatial)
    ROWS(VLC_MACROBLOCK_TYPE_P_SPATIAL, kTypePSpatial)
    ROWS(VLC_MACROBLOCK_TYPE_B_SPATIAL, kTypeBSpatial)
    ROWS(VLC_MACROBLOCK_TYPE_SNR, kTypeSnr)
    ROWS(VLC_CODED_BLOCK_PATTERN, kCodedBlockPattern)
    ROWS(VLC_MOTION_CODE, kMotionCode)
    ROWS(VLC_DMVECTOR, kDmvector)
    ROWS(VLC_DCT_DC_SIZE_LUMINANCE, kDcSizeLuminance)
    ROWS(VLC_DCT_DC_SIZE_CHROMINANCE, kDcSizeChrominance)
#undef ROWS
    case VLC_TABLE_COUNT: break;
  }
  return VlcRows{nullptr, 0};
}

DctRows vlc_dct_rows(int table_one) {
  if (table_one) return DctRows{kDctOne.rows, static_cast<int>(sizeof(kDctOne.rows) / sizeof(kDctOne.rows[0]))};
  return DctRows{kDctZero, kDctZeroCount};
}
