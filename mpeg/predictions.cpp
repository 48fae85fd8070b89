// Macroblock prediction in frame and field pictures.
#include "mpeg/predictions.h"

namespace {

int Clamp(int value, int low, int high) { return value < low ? low : (value > high ? high : value); }

struct Prediction {
  const PredictionPictures& pictures;
  const MotionState& motion;
  YuvPlanes current;
  int x, y;

  YuvPlanes Planes(const Picture* p) const {
    return p ? picture_planes(p, motion.chroma_format) : current;
  }
  YuvPlanes Reference(int backward) const {
    return Planes(backward ? pictures.backward : pictures.forward);
  }

  // Frame pictures.
  void Frame(int s, int copy) const {
    predict_block(Reference(s), current, PREDICT_FRAME, motion.PMV[0][s][0], motion.PMV[0][s][1], x,
                  y, copy);
  }
  void Fields(int s, int copy) const {
    for (int bottom = 0; bottom < 2; ++bottom)
      predict_block(Reference(s), current,
                    field_prediction_kind(motion.field_select[bottom][s], bottom),
                    motion.PMV[bottom][s][0], motion.PMV[bottom][s][1] >> 1, x, y, copy);
  }
  void FrameDualPrime() const {
    const YuvPlanes reference = Reference(0);
    for (int bottom = 0; bottom < 2; ++bottom) {
      predict_block(reference, current, field_prediction_kind(bottom, bottom),
                    motion.PMV[bottom][0][0], motion.PMV[bottom][0][1] >> 1, x, y, 1);
      predict_block(reference, current, field_prediction_kind(!bottom, bottom),
                    motion.dual_prime[bottom][0], motion.dual_prime[bottom][1], x, y, 0);
    }
  }

  // Field pictures: the source of a field select, then one 16x8 half.
  // A missing reference (the second field of a P frame right after a
  // restart) gives way to the first field of this frame: never the rows
  // being written, which the sample loops may not read.
  YuvPlanes FieldSource(int s, int& select) const {
    const int bottom = motion.picture_structure == PICTURE_BOTTOM_FIELD;
    const Picture* reference = s ? pictures.backward : pictures.forward;
    if (!reference && motion.second_field) select = !bottom;
    if (motion.second_field && motion.picture_coding_type == 2 && select != bottom) return current;
    return Reference(s);
  }
  void Half(const YuvPlanes& source, int select, int half, int mvx, int mvy, int copy) const {
    const int bottom = motion.picture_structure == PICTURE_BOTTOM_FIELD;
    predict_block(source, current, field_prediction_kind(select, bottom), mvx, mvy, x,
                  y + 16 * half, copy);
  }
  void FieldPicture(int s, int copy) const {
    for (int half = 0; half < 2; ++half) {
      const int v = motion.motion_type == MOTION_16X8 ? half : 0;
      int select = motion.field_select[v][s];
      const YuvPlanes source = FieldSource(s, select);
      Half(source, select, half, motion.PMV[v][s][0], motion.PMV[v][s][1], copy);
    }
  }
  void FieldDualPrime() const {
    const int bottom = motion.picture_structure == PICTURE_BOTTOM_FIELD;
    int same_select = bottom;
    const YuvPlanes same = FieldSource(0, same_select);
    const YuvPlanes opposite = motion.second_field ? current : Reference(0);
    for (int half = 0; half < 2; ++half) {
      Half(same, same_select, half, motion.PMV[0][0][0], motion.PMV[0][0][1], 1);
      Half(opposite, !bottom, half, motion.dual_prime[0][0], motion.dual_prime[0][1], 0);
    }
  }

  void Direction(int s, int copy) const {
    const bool frame = motion.picture_structure == PICTURE_FRAME;
    if (motion.motion_type == MOTION_DUAL_PRIME) {
      frame ? FrameDualPrime() : FieldDualPrime();
    } else if (frame) {
      motion.motion_type == MOTION_FIELD ? Fields(s, copy) : Frame(s, copy);
    } else {
      FieldPicture(s, copy);
    }
  }
};

}  // namespace

YuvPlanes picture_planes(const Picture* p, int chroma_format) {
  return YuvPlanes{p->y, p->cb, p->cr, p->width, p->height, chroma_format};
}

void clip_motion_vectors(MotionState& m, int x, int y, int width, int height) {
  // The lower half of a 16x8 prediction in a field picture lies 16 frame
  // rows down: its vector is clipped at its own position.
  const bool lower_half = m.picture_structure != PICTURE_FRAME && m.motion_type == MOTION_16X8;
  for (int v = 0; v < 2; ++v)
    for (int s = 0; s < 2; ++s) {
      const int row = v && lower_half ? y + 16 : y;
      m.PMV[v][s][0] = Clamp(m.PMV[v][s][0], -2 * x, 2 * (width - x) - 32);
      m.PMV[v][s][1] = Clamp(m.PMV[v][s][1], -2 * row, 2 * (height - row) - 32);
    }
  for (int v = 0; v < 2; ++v) {
    m.dual_prime[v][0] = Clamp(m.dual_prime[v][0], -2 * x, 2 * (width - x) - 32);
    m.dual_prime[v][1] = Clamp(m.dual_prime[v][1], -y, height - y - 16);
  }
}

void form_predictions(const PredictionPictures& pictures, const MotionState& motion, int x, int y) {
  const Prediction prediction = {pictures, motion, picture_planes(pictures.current, motion.chroma_format),
                                 x, y};
  const bool forward = motion.motion_forward || motion.picture_coding_type == 2;
  if (forward) prediction.Direction(0, 1);
  if (motion.motion_backward && motion.motion_type != MOTION_DUAL_PRIME)
    prediction.Direction(1, !forward);
}
