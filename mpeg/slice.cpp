// Slice and macroblock loop, skipped macroblocks and concealment.
#include "mpeg/slice.h"

#include <cstring>

#include "mpeg/idct.h"
#include "mpeg/macroblock.h"
#include "mpeg/vlc.h"

namespace {

void SelectQuantiser(SliceState& s, int code) {
  const int16_t(*tables)[64] = s.quant_tables.scaled[code & 31];
  s.intra_luma_q = tables[INTRA_LUMA];
  s.non_intra_luma_q = tables[NON_INTRA_LUMA];
  s.intra_chroma_q = tables[INTRA_CHROMA];
  s.non_intra_chroma_q = tables[NON_INTRA_CHROMA];
}

void ResetDcPredictors(SliceState& s) {
  const int precision = s.mb_params.mpeg1 ? 0 : s.intra_dc_precision;
  s.dc_pred[0] = s.dc_pred[1] = s.dc_pred[2] = 1 << (precision + 7);
}

struct SliceDecoder {
  Reader& r;
  uint32_t& pos;
  const PredictionPictures& pictures;
  SliceState& s;
  YuvPlanes planes;
  int width, height;  // of the picture
  int end;            // address after the last macroblock
  int row_height;     // frame rows per macroblock row: 16, or 32 in field pictures
  MacroblockModes modes;
  bool concealed;     // some macroblock was not decoded from the data

  int X(int address) const { return address % width; }
  int Y(int address) const { return address / width * row_height; }

  void Predict(MotionState& motion, int address) {
    if (!PredictsFromAPicture(motion)) {
      // Damaged data (a dual-prime backward vector, a skip after an intra
      // macroblock in a B picture): the forward reference in place, as
      // concealment takes it, so no macroblock shows what its storage held.
      if (!pictures.forward) {
        FillBlack(address);
        return;
      }
      motion = InPlaceFromForward();
    }
    clip_motion_vectors(motion, X(address), Y(address), width, height);
    form_predictions(pictures, motion, X(address), Y(address));
  }

  static bool PredictsFromAPicture(const MotionState& motion) {
    return motion.motion_forward || motion.picture_coding_type == 2 ||
           (motion.motion_backward && motion.motion_type != MOTION_DUAL_PRIME);
  }

  MotionState Motion() const {
    MotionState motion;
    motion_from_modes(modes, s.mb_params, s.second_field, motion);
    return motion;
  }

  // Zero vectors from the forward reference, in the picture's own structure.
  MotionState InPlaceFromForward() const {
    MacroblockModes cleared = modes;
    reset_motion(cleared, s.mb_params);
    MotionState motion;
    motion_from_modes(cleared, s.mb_params, s.second_field, motion);
    motion.motion_forward = 1;
    motion.motion_backward = 0;
    return motion;
  }

  void FillBlack(int address) {
    const int x = X(address), y = Y(address);
    const bool field = s.picture_structure != PICTURE_FRAME;
    const int bottom = s.picture_structure == PICTURE_BOTTOM_FIELD;
    const int line = field ? 2 * width : width;
    const int cf = s.chroma_format;
    const int cw = cf == 3 ? 16 : 8, ch = cf == 1 ? 8 : 16;
    const int cx = cf == 3 ? x : x / 2, cy = cf == 1 ? y / 2 : y;
    for (int k = 0; k < 16; ++k) memset(planes.y + (y + bottom) * width + k * line + x, 16, 16);
    for (int k = 0; k < ch; ++k) {
      memset(planes.cb + (cy + bottom) * width + k * line + cx, 128, cw);
      memset(planes.cr + (cy + bottom) * width + k * line + cx, 128, cw);
    }
  }

  // The last macroblock's prediction carried on; black where it would need
  // a forward reference this picture does not have.
  void Conceal(int address) {
    MotionState motion = (modes.flags & MB_INTRA) ? InPlaceFromForward() : Motion();
    if (s.mb_params.picture_coding_type == 1 || (motion.motion_forward && !pictures.forward) ||
        (motion.motion_backward && !pictures.backward) ||
        (s.mb_params.picture_coding_type == 2 && !pictures.forward)) {
      FillBlack(address);
      return;
    }
    Predict(motion, address);
  }

  void ConcealRange(int from, int to) {
    if (from < to) concealed = true;
    for (int a = from; a < to; a += 16) Conceal(a);
  }

  void DecodeBlocks(int address) {
    const bool intra = modes.flags & MB_INTRA;
    for (int i = 0; i < modes.block_count; ++i) {
      if (!(modes.coded >> (modes.block_count - 1 - i) & 1)) continue;
      const int component = i < 4 ? 0 : ((i - 4) & 1) + 1;
      const int ok = intra ? decode_intra_block(r, pos, s, component)
                           : decode_non_intra_block(r, pos, s, component);
      if (!ok) {
        if (!intra) continue;  // the prediction stays
        // A dropped intra block has no prediction under it: its samples are
        // those of no coefficients, never what the storage held before.
        memset(s.coefficients, 0, sizeof s.coefficients);
        s.coded_count = 0;
      }
      inverse_dct_coded(s.coefficients, s.coded_positions, s.coded_count);
      write_block(s.coefficients, planes, i, X(address), Y(address), s.picture_structure,
                  modes.dct_type, intra);
    }
  }

  // Skipped macroblocks: P pictures predict from the forward reference with
  // a zero vector, B pictures repeat the last macroblock's prediction.
  bool Skip(int& address, int count) {
    ResetDcPredictors(s);
    if (s.mb_params.picture_coding_type == 2) {
      reset_motion(modes, s.mb_params);
      modes.flags = MB_MOTION_FORWARD;
    } else if (s.picture_structure == PICTURE_FRAME) {
      modes.motion_type = MOTION_FRAME;
    } else {
      const int bottom = s.picture_structure == PICTURE_BOTTOM_FIELD;
      modes.motion_type = MOTION_FIELD;
      modes.field_select[0][0] = modes.field_select[0][1] = bottom;
    }
    for (int k = 0; k < count; ++k) {
      if (address >= end) return false;
      MotionState motion = Motion();
      Predict(motion, address);
      address += 16;
    }
    return true;
  }

  // The macroblocks of one slice from `address`; leaves `address` at the
  // first macroblock it did not decode. 1 at the end of the picture.
  int Macroblocks(int& address) {
    for (;;) {
      if (address >= end) return 1;
      if (!parse_macroblock(r, pos, modes, s.mb_params)) return 0;
      const bool intra = modes.flags & MB_INTRA;
      if (!intra) {
        MotionState motion = Motion();
        Predict(motion, address);
      }
      s.macroblock_intra = intra;
      s.dct_type = modes.dct_type;
      if (modes.flags & MB_QUANT) SelectQuantiser(s, modes.quantiser_scale_code);
      if (!intra) ResetDcPredictors(s);
      DecodeBlocks(address);
      address += 16;
      if (address >= end) return 1;
      const int increment = macroblock_address_increment(r, pos, s.mb_params.mpeg1);
      if (increment == 0) return 0;
      if (increment > 1) {
        if (s.mb_params.picture_coding_type == 1) return 0;
        if (!Skip(address, increment - 1) || address >= end) return 1;
      }
    }
  }

  // Slice header through the first macroblock's address. -1 when the slice
  // has no valid first address.
  int SliceStart(uint32_t code) {
    int vertical_position = static_cast<int>(code);
    if (s.vertical_size_for_slices > 2800) vertical_position += (get_bits(r, pos, 3) & 7) << 7;
    if (s.scalable_mode == 0) get_bits(r, pos, 7);  // priority_breakpoint
    SelectQuantiser(s, get_bits(r, pos, 5));
    if (get_bits(r, pos, 1) & 1) {
      get_bits(r, pos, 8);  // intra_slice, reserved_bits
      while (pos != kReaderFailed && (get_bits(r, pos, 1) & 1)) get_bits(r, pos, 8);
    }
    ResetDcPredictors(s);
    memset(modes.PMV, 0, sizeof modes.PMV);
    const int increment = macroblock_address_increment(r, pos, s.mb_params.mpeg1);
    if (increment == 0) return -1;
    const int64_t address = static_cast<int64_t>(vertical_position - 1) * width + increment * 16 - 16;
    return address > end ? end : static_cast<int>(address);
  }

  int Run() {
    int expected = 0;
    for (;;) {
      uint32_t code = 0;
      if (!next_start_code(r, pos, reader_budget(r, kSearchBudget), code)) {
        ConcealRange(expected ? expected - 16 : 0, end);  // the data ended inside the picture
        return 0;
      }
      if (code < 1 || code > SLICE_START_CODE_LAST) {
        pos -= 4;  // the caller's next search finds this code again
        ConcealRange(expected ? expected - 16 : 0, end);
        return 0;
      }
      int address = SliceStart(code);
      if (address < 0) continue;
      if (address >= end || (address != expected && !(address < expected && expected < address + width))) {
        const int from = expected ? expected - 16 : 0;
        const bool to_end = address >= end || address < from;
        ConcealRange(from, to_end ? end : address);
        if (to_end) return 0;
      }
      const int done = Macroblocks(address);
      expected = address;
      if (done || address >= end) return concealed ? 0 : 1;
    }
  }

  // Frame rows below the last whole macroblock row of a field picture
  // (a picture whose height is not a multiple of 32) that no slice reaches.
  void BlackenUncoveredRows() {
    const int height = pictures.current->height;
    const int first = height / 32 * 32;
    const int bottom = s.picture_structure == PICTURE_BOTTOM_FIELD;
    const int chroma_shift = s.chroma_format == 1 ? 1 : 0;
    for (int y = first + bottom; y < height; y += 2) memset(planes.y + y * width, 16, width);
    for (int y = (first >> chroma_shift) + bottom; y < height >> chroma_shift; y += 2) {
      memset(planes.cb + y * width, 128, width);
      memset(planes.cr + y * width, 128, width);
    }
  }
};

}  // namespace

int decode_picture_slices(Reader& r, uint32_t& pos, const PredictionPictures& pictures, SliceState& s) {
  const Picture* current = pictures.current;
  SliceDecoder d = {r, pos, pictures, s, picture_planes(current, s.chroma_format), current->width,
                    current->height, 0, 16, {}, false};
  // The reserved structure 0 is no field: nothing of it is decoded.
  if (s.picture_structure < PICTURE_TOP_FIELD || s.picture_structure > PICTURE_FRAME) return 0;
  const bool field = s.picture_structure != PICTURE_FRAME;
  d.row_height = field ? 32 : 16;
  d.end = current->width * (current->height / d.row_height);
  memset(&d.modes, 0, sizeof d.modes);
  d.modes.flags = MB_INTRA;
  reset_motion(d.modes, s.mb_params);
  d.concealed = false;
  if (field && current->height % 32) {
    // Fields of such a picture leave rows no slice can reach: never whole.
    d.BlackenUncoveredRows();
    d.Run();
    return 0;
  }
  return d.Run();
}
