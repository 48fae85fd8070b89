// Macroblock layer parsing and block decoding.
#include "mpeg/macroblock.h"

#include <emmintrin.h>

#include <cstring>

#include "mpeg/vlc.h"

namespace {

const uint8_t kScan[2][64] = {
    {0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
     41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
     30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63},
    {0,  8,  16, 24, 1,  9,  2,  10, 17, 25, 32, 40, 48, 56, 57, 49, 41, 33, 26, 18, 3,  11,
     4,  12, 19, 27, 34, 42, 50, 58, 35, 43, 51, 59, 20, 28, 5,  13, 6,  14, 21, 29, 36, 44,
     52, 60, 37, 45, 53, 61, 22, 30, 7,  15, 23, 31, 38, 46, 54, 62, 39, 47, 55, 63},
};

const uint32_t kMacroblockStuffing = 0x00F;

bool Failed(uint32_t pos) { return pos == kReaderFailed; }

// The next n bits; past the end of the data (all ones) still a valid index
// for the n-bit look-up tables.
uint32_t Peek(Reader& r, uint32_t& pos, int n) { return show_bits(r, pos, n) & ((1u << n) - 1); }

int Clamp(int v, int low, int high) { return v < low ? low : (v > high ? high : v); }

int Saturate(int v) { return v < -2048 ? -2048 : (v > 2047 ? 2047 : v); }

// MPEG-1 oddification of a magnitude: an even non-zero one moves one step
// toward zero.
int Oddify(int m) { return (m & 1) == 0 && m != 0 ? m - 1 : m; }

int WrapVector(int v, int f) {
  if (v < -16 * f) v += 32 * f;
  if (v > 16 * f - 1) v -= 32 * f;
  return v;
}

// 1 << r_size with f_code limited to its meaningful 1..9, so that damaged
// headers cannot make shifts undefined.
int FCode(int f_code) { return f_code < 1 ? 1 : (f_code > 9 ? 9 : f_code); }

// The reader's position as a count of bits from buffer[0], for the block
// loop that keeps it in a register. A read that ends on a byte boundary
// leaves that byte current, as get_bits does.
uint32_t BitIndex(const Reader& r, uint32_t pos) { return pos * 8 + 8 - r.bits_left; }
void StoreBitIndex(Reader& r, uint32_t& pos, uint32_t bit) {
  pos = (bit - 1) >> 3;
  r.bits_left = bit & 7 ? 8 - (bit & 7) : 0;
}

// The 32 bits from bit `bit` on, of which at least 25 are data when the
// four bytes from bit >> 3 are.
uint32_t BitsAt(const uint8_t* buffer, uint32_t bit) {
  const uint8_t* b = buffer + (bit >> 3);
  const uint32_t word = static_cast<uint32_t>(b[0]) << 24 | static_cast<uint32_t>(b[1]) << 16 |
                        static_cast<uint32_t>(b[2]) << 8 | b[3];
  return word << (bit & 7);
}

// Reads through the reader, which refills and ends at the end of the data.
struct ReaderBits {
  Reader& r;
  uint32_t& pos;
  uint32_t Peek(int n) { return ::Peek(r, pos, n); }
  uint32_t Get(int n) { return get_bits(r, pos, n); }
  bool Failed() const { return ::Failed(pos); }
};

// Reads at a bit index held in a register, for a macroblock header that
// lies wholly inside the data (kLongestHeaderBytes): plain loads, no
// refill, no end.
struct DataBits {
  const uint8_t* buffer;
  uint32_t bit;
  uint32_t Word() const { return BitsAt(buffer, bit); }
  uint32_t Peek(int n) { return Word() >> (32 - n); }  // n = 1..25
  uint32_t Get(int n) {
    const uint32_t value = Peek(n);
    bit += static_cast<uint32_t>(n);
    return value;
  }
  bool Failed() const { return false; }
};

// The most a macroblock's modes, vectors and pattern take: type 9, weight
// code 2, motion type 2, DCT type 1, quantiser 5, two directions of two
// vectors of field select 1 and two components of code 11, residual 8 and
// dmvector 2, marker 1, pattern 15: 207 bits, and BitsAt's four bytes.
constexpr uint32_t kLongestHeaderBytes = 26 + 4;

// A vector component from the 32 bits at the reader, of which at least 19
// are data; `length` gets the bits it takes (code and residual, one read).
int MotionFromWord(uint32_t word, int f_code, int predictor, int& length) {
  const int r_size = FCode(f_code) - 1;
  const int f = 1 << r_size;
  const VlcValue code = vlc_motion_code(word >> 21);
  length = code.length;
  if (!code.length) return WrapVector(predictor, f);
  if (r_size == 0 || code.value == 0) return WrapVector(predictor + code.value, f);
  length += r_size;
  const int residual = static_cast<int>((word >> (32 - length)) & (f - 1));
  const int magnitude = ((code.value < 0 ? -code.value : code.value) - 1) * f + residual + 1;
  return WrapVector(predictor + (code.value < 0 ? -magnitude : magnitude), f);
}

int MotionComponent(ReaderBits& bits, int f_code, int predictor) {
  return decode_motion_component(bits.r, bits.pos, f_code, predictor);
}
int MotionComponent(DataBits& bits, int f_code, int predictor) {
  int length;
  const int vector = MotionFromWord(bits.Word(), f_code, predictor, length);
  bits.bit += static_cast<uint32_t>(length);
  return vector;
}

template <class Bits>
int Dmvector(Bits& bits) {
  VlcValue v = vlc_dmvector(bits.Peek(2));
  if (v.length) bits.Get(v.length);
  return v.value;
}

// motion_vector(v, s) in the syntax: both components, with dual-prime
// dmvectors after each. `halve_y` / `full_pel` mark vectors whose stored
// predictors are in twice the units of the coded vector.
template <class Bits>
void MotionVector(Bits& bits, MacroblockModes& m, const MacroblockParams& p, int v, int s, int dmvector[2]) {
  const int full_pel = s ? p.full_pel_backward_vector : p.full_pel_forward_vector;
  const bool halve_y = m.mv_format == 1 && p.picture_structure == PICTURE_FRAME;
  for (int t = 0; t < 2; ++t) {
    const int shift = full_pel || (t == 1 && halve_y);
    const int vector = MotionComponent(bits, p.f_code[s][t], m.PMV[v][s][t] >> shift);
    m.PMV[v][s][t] = vector * (1 << shift);
    if (m.dmv) dmvector[t] = Dmvector(bits);
  }
}

void DualPrimeVectors(MacroblockModes& m, const MacroblockParams& p, const int dmvector[2]) {
  const int mvx = m.PMV[0][0][0];
  if (p.picture_structure != PICTURE_FRAME) {
    const int mvy = m.PMV[0][0][1];
    const int bottom = p.picture_structure == PICTURE_BOTTOM_FIELD;
    m.dual_prime[0][0] = ((mvx + (mvx > 0)) >> 1) + dmvector[0];
    m.dual_prime[0][1] = ((mvy + (mvy > 0)) >> 1) + dmvector[1] + (bottom ? 1 : -1);
    return;
  }
  const int mvy = m.PMV[0][0][1] >> 1;
  for (int field = 0; field < 2; ++field) {
    // The vector to the opposite field is scaled by its distance in fields.
    const int m_factor = (field == 0) == (p.top_field_first != 0) ? 1 : 3;
    m.dual_prime[field][0] = ((m_factor * mvx + (mvx > 0)) >> 1) + dmvector[0];
    m.dual_prime[field][1] = ((m_factor * mvy + (mvy > 0)) >> 1) + dmvector[1] + (field ? 1 : -1);
  }
}

template <class Bits>
void MotionVectors(Bits& bits, MacroblockModes& m, const MacroblockParams& p, int s) {
  int dmvector[2] = {0, 0};
  if (m.motion_vector_count == 1) {
    if (m.mv_format == 1 && !m.dmv) m.field_select[0][s] = bits.Get(1) & 1;
    MotionVector(bits, m, p, 0, s, dmvector);
    m.PMV[1][s][0] = m.PMV[0][s][0];
    m.PMV[1][s][1] = m.PMV[0][s][1];
    if (m.dmv) DualPrimeVectors(m, p, dmvector);
  } else {
    for (int v = 0; v < 2; ++v) {
      m.field_select[v][s] = bits.Get(1) & 1;
      MotionVector(bits, m, p, v, s, dmvector);
    }
  }
}

MacroblockTypeTable TypeTable(const MacroblockParams& p) {
  const int type = p.picture_coding_type;
  if (p.scalable_mode == 2) return MB_TYPE_SNR;
  if (p.scalable_mode == 1 && p.has_spatial_scalable_extension)
    return type == 1 ? MB_TYPE_I_SPATIAL : (type == 2 ? MB_TYPE_P_SPATIAL : MB_TYPE_B_SPATIAL);
  return type == 1 ? MB_TYPE_I : (type == 2 ? MB_TYPE_P : MB_TYPE_B);
}

// motion_type and the vector layout it implies; 0 for the reserved code.
template <class Bits>
int MotionType(Bits& bits, MacroblockModes& m, const MacroblockParams& p) {
  const bool frame = p.picture_structure == PICTURE_FRAME;
  int code = 2;  // frame prediction without a coded motion_type
  if (!frame || !p.frame_pred_frame_dct) code = static_cast<int>(bits.Get(2) & 3);
  if (code == 0) return 0;
  m.dmv = code == 3;
  m.motion_vector_count = 1;
  m.mv_format = 1;
  if (frame) {
    m.motion_type = code;
    if (code == 1) m.motion_vector_count = 2;
    if (code == 2) m.mv_format = 2;
  } else {
    m.motion_type = code == 2 ? MOTION_16X8 : code;
    if (code == 2) m.motion_vector_count = 2;
  }
  return 1;
}

template <class Bits>
int CodedBlockPattern(Bits& bits, const MacroblockParams& p) {
  const VlcValue cbp = vlc_coded_block_pattern(bits.Peek(9));
  if (!cbp.length) return -1;
  bits.Get(cbp.length);
  int pattern = cbp.value;
  if (p.chroma_format == 2) pattern = pattern << 2 | static_cast<int>(bits.Get(2) & 3);
  if (p.chroma_format == 3) pattern = pattern << 6 | static_cast<int>(bits.Get(6) & 63);
  return pattern;
}

// A coefficient from its level's magnitude and sign: `dequantise` scales the
// magnitude, so the divisions truncate toward zero as on the signed level.
template <typename Dequantise>
int Coefficient(Dequantise dequantise, int magnitude, bool negative, int at) {
  const int value = dequantise(magnitude, at);
  return Saturate(negative ? -value : value);
}

// The coefficients while the eight bytes from the next bit on are inside the
// data, so every read of a code, its sign and an escape's fields is a plain
// load: the bit position stays in a register and nothing is refilled. Stops
// before the code that would come too near the end (`first` tells whether
// that is the first code) and answers -1; else the block's result as
// Coefficients gives it.
template <typename Dequantise>
int CoefficientsInData(Reader& r, uint32_t& pos, SliceState& s, const uint8_t* scan,
                       const DctCode* table, int mpeg1, bool& first, int& index, int& sum,
                       Dequantise dequantise) {
  int16_t* F = s.coefficients;
  uint8_t* coded = s.coded_positions;
  int count = s.coded_count;
  const uint32_t limit = r.limit < kReaderBufferSize ? r.limit : kReaderBufferSize;
  if (pos >= kReaderBufferSize || r.bits_left > 8 || limit < 8) return -1;
  const uint8_t* buffer = r.buffer;
  const uint32_t start = BitIndex(r, pos);
  const uint32_t end = (limit - 8) * 8;  // first bit whose byte is too near the end
  uint32_t bit = start;
  int at_index = index, total = sum, result = -1;
  if (first && bit < end) {
    // A non-intra block's first code: "1s" is run 0, level 1; the others
    // are table zero's.
    first = false;
    const uint32_t word = BitsAt(buffer, bit);
    if (word >> 31) {
      bit += 2;
      at_index = 0;
      const int value = Coefficient(dequantise, 1, (word << 1) >> 31, 0);
      F[0] = static_cast<int16_t>(value);
      coded[count++] = 0;
      total += value;
    }
  }
  // Places the coefficient of a code; false when its run passes 63.
  const auto place = [&](int run, int magnitude, bool negative) {
    at_index += run + 1;
    if (at_index > 63) return false;
    const int at = scan[at_index];
    const int value = Coefficient(dequantise, magnitude, negative, at);
    F[at] = static_cast<int16_t>(value);
    coded[count++] = static_cast<uint8_t>(at);
    total += value;
    return true;
  };
  while (bit < end) {
    const uint32_t word = BitsAt(buffer, bit);
    DctCode code = table[vlc_dct_slot(word >> 16)];
    if (code.run < DCT_END_OF_BLOCK) {
      uint32_t length = code.length + 1u;
      if (!place(code.run, code.level, (word << code.length) >> 31)) {
        bit += length;
        result = 0;
        break;
      }
      // A second code from the same word where it lies inside its 25 data
      // bits: the next load need not wait for this one.
      const uint32_t rest = word << length;
      code = table[vlc_dct_slot(rest >> 16)];
      if (code.run < DCT_END_OF_BLOCK && length + code.length + 1u <= 25) {
        length += code.length + 1u;
        if (!place(code.run, code.level, (rest << code.length) >> 31)) {
          bit += length;
          result = 0;
          break;
        }
      }
      bit += length;
      continue;
    }
    int run, magnitude;
    bool negative;
    if (code.run == DCT_END_OF_BLOCK) {  // also an invalid code, of length 0
      bit += code.length;
      result = 1;
      break;
    } else {  // escape
      bit += code.length;
      const uint32_t fields = BitsAt(buffer, bit);
      const DctEscape escape = vlc_dct_escape(mpeg1 ? fields >> 10 : fields >> 14 << 4, mpeg1);
      if (escape.level == 0 || (!mpeg1 && escape.level == -2048)) {
        result = 1;
        break;
      }
      bit += static_cast<uint32_t>(escape.length);
      run = escape.run;
      negative = escape.level < 0;
      magnitude = negative ? -escape.level : escape.level;
    }
    if (!place(run, magnitude, negative)) {
      result = 0;
      break;
    }
  }
  if (bit != start) StoreBitIndex(r, pos, bit);
  s.coded_count = count;
  index = at_index;
  sum = total;
  return result;
}

// The AC coefficients after the first `index` positions; `first_code` for a
// non-intra block's first coefficient. 0 when the run passes position 63.
template <typename Dequantise>
int Coefficients(Reader& r, uint32_t& pos, SliceState& s, int table_one, bool first_code, int index,
                 int& sum, Dequantise dequantise) {
  const int mpeg1 = s.mb_params.mpeg1;
  const uint8_t* scan = kScan[mpeg1 ? 0 : s.alternate_scan != 0];
  int16_t* F = s.coefficients;
  bool first = first_code;
  const int in_data = CoefficientsInData(r, pos, s, scan, kDctCodeTables[table_one != 0].entry,
                                         mpeg1, first, index, sum, dequantise);
  if (in_data >= 0) return in_data;
  // Near the end of the packet or the data: the general reads.
  for (;; first = false) {
    // The code and, for most codes, its sign bit in one look.
    const uint32_t next = Peek(r, pos, 24);
    if (Failed(pos)) return 1;
    const DctCode code = first ? vlc_dct_first_coefficient(next >> 8)
                               : vlc_dct_coefficient(table_one, next >> 8);
    if (!code.length) return 1;
    int run, level;
    if (code.run == DCT_END_OF_BLOCK) {
      get_bits(r, pos, code.length);
      return 1;
    }
    if (code.run == DCT_ESCAPE) {
      get_bits(r, pos, code.length);
      const DctEscape escape = vlc_dct_escape(Peek(r, pos, mpeg1 ? 22 : 18) << (mpeg1 ? 0 : 4), mpeg1);
      if (Failed(pos) || escape.level == 0 || (!mpeg1 && escape.level == -2048)) return 1;
      get_bits(r, pos, escape.length);
      run = escape.run;
      level = escape.level;
    } else {
      get_bits(r, pos, code.length + 1);
      if (Failed(pos)) return 1;
      run = code.run;
      level = (next >> (23 - code.length)) & 1 ? -code.level : code.level;
    }
    index += run + 1;
    if (index > 63) return 0;
    const int at = scan[index];
    const int value = Coefficient(dequantise, level < 0 ? -level : level, level < 0, at);
    F[at] = static_cast<int16_t>(value);
    s.coded_positions[s.coded_count++] = static_cast<uint8_t>(at);
    sum += value;
  }
}

// Zeros for the next block, and no coefficient listed yet: eight plain
// stores, written out because a loop of them becomes a string instruction
// that costs more than the clearing.
void ClearBlock(SliceState& s) {
  __m128i* rows = reinterpret_cast<__m128i*>(s.coefficients);
  const __m128i zero = _mm_setzero_si128();
  _mm_store_si128(rows + 0, zero);
  _mm_store_si128(rows + 1, zero);
  _mm_store_si128(rows + 2, zero);
  _mm_store_si128(rows + 3, zero);
  _mm_store_si128(rows + 4, zero);
  _mm_store_si128(rows + 5, zero);
  _mm_store_si128(rows + 6, zero);
  _mm_store_si128(rows + 7, zero);
  s.coded_count = 0;
}

// Position 63 is the last in either scan, so a coded one is the last listed.
void MismatchControl(SliceState& s, int sum) {
  if ((sum & 1) != 0) return;
  int16_t* F = s.coefficients;
  F[63] = static_cast<int16_t>(F[63] ^ 1);
  const bool listed = s.coded_count > 0 && s.coded_positions[s.coded_count - 1] == 63;
  if (!listed) s.coded_positions[s.coded_count++] = 63;
}

}  // namespace

int macroblock_address_increment(Reader& r, uint32_t& pos, int mpeg1) {
  int increment = 0;
  for (;;) {
    const uint32_t next = Peek(r, pos, 11);
    if (Failed(pos) || increment > (1 << 20)) return 0;
    if (next == MACROBLOCK_ESCAPE) {
      get_bits(r, pos, MACROBLOCK_ESCAPE_LENGTH);
      increment += 33;
      continue;
    }
    if (mpeg1 && next == kMacroblockStuffing) {  // legal padding in ISO/IEC 11172-2
      get_bits(r, pos, 11);
      continue;
    }
    const VlcValue code = vlc_macroblock_address_increment(next);
    if (!code.length) return 0;
    get_bits(r, pos, code.length);
    return increment + code.value;
  }
}

void reset_motion(MacroblockModes& m, const MacroblockParams& p) {
  memset(m.PMV, 0, sizeof m.PMV);
  memset(m.dual_prime, 0, sizeof m.dual_prime);
  if (p.picture_structure == PICTURE_FRAME) {
    m.motion_type = MOTION_FRAME;
  } else {
    m.motion_type = MOTION_FIELD;
    const int bottom = p.picture_structure == PICTURE_BOTTOM_FIELD;
    m.field_select[0][0] = m.field_select[0][1] = bottom;
    m.field_select[1][0] = m.field_select[1][1] = bottom;
  }
}

namespace {

template <class Bits>
int ParseMacroblock(Bits& bits, MacroblockModes& m, const MacroblockParams& p) {
  const VlcValue type = vlc_macroblock_type(TypeTable(p), bits.Peek(9));
  if (bits.Failed() || !type.length) return 0;
  bits.Get(type.length);
  m.flags = type.value;
  const bool intra = m.flags & MB_INTRA;
  const bool forward = m.flags & MB_MOTION_FORWARD;
  const bool backward = m.flags & MB_MOTION_BACKWARD;
  const bool frame = p.picture_structure == PICTURE_FRAME;
  if ((m.flags & MB_WEIGHT_CODE) && p.spatial_temporal_weight_code_table_index != 0)
    bits.Get(2);  // no base-layer prediction is formed

  const bool concealment = intra && p.concealment_motion_vectors;
  m.dmv = 0;
  if (forward || backward) {
    if (!MotionType(bits, m, p)) return 0;
  } else if (concealment) {
    m.motion_vector_count = 1;
    m.mv_format = frame ? 2 : 1;
  } else {
    reset_motion(m, p);
  }
  m.dct_type = 0;
  if (frame && !p.frame_pred_frame_dct && (intra || (m.flags & MB_PATTERN)))
    m.dct_type = bits.Get(1) & 1;
  if (m.flags & MB_QUANT) m.quantiser_scale_code = bits.Get(5) & 31;
  if (forward || concealment) MotionVectors(bits, m, p, 0);
  if (backward) MotionVectors(bits, m, p, 1);
  if (concealment) bits.Get(1);  // marker_bit

  m.block_count = p.chroma_format == 1 ? 6 : (p.chroma_format == 2 ? 8 : 12);
  if (intra) {
    m.coded = (1 << m.block_count) - 1;
  } else if (m.flags & MB_PATTERN) {
    m.coded = CodedBlockPattern(bits, p);
    if (m.coded < 0) return 0;
  } else {
    m.coded = 0;
  }
  return !bits.Failed();
}

}  // namespace

int parse_macroblock(Reader& r, uint32_t& pos, MacroblockModes& m, const MacroblockParams& p) {
  const uint32_t limit = r.limit < kReaderBufferSize ? r.limit : kReaderBufferSize;
  if (pos < kReaderBufferSize && r.bits_left <= 8 && limit > kLongestHeaderBytes &&
      pos < limit - kLongestHeaderBytes) {
    DataBits bits = {r.buffer, BitIndex(r, pos)};
    const uint32_t start = bits.bit;
    const int ok = ParseMacroblock(bits, m, p);
    if (bits.bit != start) StoreBitIndex(r, pos, bits.bit);
    return ok;
  }
  ReaderBits bits = {r, pos};
  return ParseMacroblock(bits, m, p);
}

void motion_from_modes(const MacroblockModes& m, const MacroblockParams& p, int second_field,
                       MotionState& motion) {
  motion.chroma_format = p.chroma_format;
  motion.second_field = second_field;
  motion.picture_structure = p.picture_structure;
  motion.picture_coding_type = p.picture_coding_type;
  motion.motion_forward = (m.flags & MB_MOTION_FORWARD) != 0;
  motion.motion_backward = (m.flags & MB_MOTION_BACKWARD) != 0;
  motion.motion_type = m.motion_type;
  memcpy(motion.PMV, m.PMV, sizeof motion.PMV);
  memcpy(motion.field_select, m.field_select, sizeof motion.field_select);
  memcpy(motion.dual_prime, m.dual_prime, sizeof motion.dual_prime);
}

int decode_motion_component(Reader& r, uint32_t& pos, int f_code, int predictor) {
  const int r_size = FCode(f_code) - 1;
  const int f = 1 << r_size;
  uint32_t word;
  if (bits_at_hand(r, pos, 24, word)) {
    // Code and residual take at most 19 bits: one look, one read.
    int length;
    const int vector = MotionFromWord(word, f_code, predictor, length);
    if (length) get_bits(r, pos, length);
    return vector;
  }
  const VlcValue code = vlc_motion_code(Peek(r, pos, 11));
  int motion_code = 0;
  if (!Failed(pos) && code.length) {
    get_bits(r, pos, code.length);
    motion_code = code.value;
  }
  int delta = motion_code;
  if (r_size > 0 && motion_code != 0) {
    const int residual = static_cast<int>(get_bits(r, pos, r_size) & (f - 1));
    const int magnitude = ((motion_code < 0 ? -motion_code : motion_code) - 1) * f + residual + 1;
    delta = motion_code < 0 ? -magnitude : magnitude;
  }
  return WrapVector(predictor + delta, f);
}

int decode_intra_block(Reader& r, uint32_t& pos, SliceState& s, int component) {
  int16_t* F = s.coefficients;
  ClearBlock(s);
  uint32_t word;
  VlcValue size;
  int differential = 0;
  if (bits_at_hand(r, pos, 24, word)) {
    // Size code and differential take at most 21 bits: one look, one read.
    size = component == 0 ? vlc_dct_dc_size_luminance(word >> 23)
                           : vlc_dct_dc_size_chrominance(word >> 22);
    if (!size.length) return 0;
    const uint32_t bits = get_bits(r, pos, size.length + size.value);
    if (size.value > 0) differential = static_cast<int>(bits & ((1u << size.value) - 1));
  } else {
    size = component == 0 ? vlc_dct_dc_size_luminance(Peek(r, pos, 9))
                          : vlc_dct_dc_size_chrominance(Peek(r, pos, 10));
    if (Failed(pos) || !size.length) return 0;
    get_bits(r, pos, size.length);
    if (size.value > 0)
      differential = static_cast<int>(get_bits(r, pos, size.value) & ((1u << size.value) - 1));
  }
  if (size.value > 0 && differential < (1 << (size.value - 1))) differential -= (1 << size.value) - 1;
  // Far beyond any valid value, yet never an int overflow in a crafted slice.
  s.dc_pred[component] = Clamp(s.dc_pred[component] + differential, -(1 << 20), 1 << 20);
  const int mpeg1 = s.mb_params.mpeg1;
  const int precision = mpeg1 ? 0 : s.intra_dc_precision;
  F[0] = static_cast<int16_t>(Saturate(s.dc_pred[component] * (1 << (3 - precision))));
  s.coded_positions[0] = 0;
  s.coded_count = 1;
  int sum = F[0];

  const int16_t* W = component == 0 || mpeg1 ? s.intra_luma_q : s.intra_chroma_q;
  int ok;
  if (mpeg1) {
    ok = Coefficients(r, pos, s, 0, false, 0, sum,
                      [W](int m, int at) { return Oddify(m * W[at] >> 4); });
  } else {
    ok = Coefficients(r, pos, s, s.intra_vlc_format, false, 0, sum,
                      [W](int m, int at) { return m * W[at] >> 4; });
    MismatchControl(s, sum);
  }
  return ok;
}

int decode_non_intra_block(Reader& r, uint32_t& pos, SliceState& s, int component) {
  ClearBlock(s);
  const int mpeg1 = s.mb_params.mpeg1;
  const int16_t* W = component == 0 || mpeg1 ? s.non_intra_luma_q : s.non_intra_chroma_q;
  int sum = 0;
  int ok;
  if (mpeg1) {
    ok = Coefficients(r, pos, s, 0, true, -1, sum, [W](int m, int at) {
      return Oddify((2 * m + 1) * W[at] >> 5);
    });
  } else {
    ok = Coefficients(r, pos, s, 0, true, -1, sum, [W](int m, int at) {
      return (2 * m + 1) * W[at] >> 5;
    });
    MismatchControl(s, sum);
  }
  return ok;
}
