// Motion-compensated prediction of whole macroblocks: which reference
// fields and vectors make up a macroblock's prediction in frame and field
// pictures, on top of predict_block.
#pragma once

#include <cstdint>

#include "mpeg/motion.h"
#include "mpeg/picture.h"

// motion_type as the prediction sees it. Frame and field pictures share
// 1 (field) and 3 (dual prime); 2 is frame prediction in frame pictures,
// and field pictures' 16x8 prediction is 4.
enum : int { MOTION_FIELD = 1, MOTION_FRAME = 2, MOTION_DUAL_PRIME = 3, MOTION_16X8 = 4 };

struct MotionState {
  int32_t chroma_format;
  int32_t second_field;
  int32_t picture_structure;
  int32_t picture_coding_type;
  int32_t motion_forward, motion_backward;
  int32_t motion_type;
  // [vector][forward/backward][horizontal/vertical], half samples; vertical
  // components of field vectors in frame pictures in frame units (doubled).
  int32_t PMV[2][2][2];
  int32_t field_select[2][2];  // [vector][forward/backward]: 1 = bottom field
  int32_t dual_prime[2][2];    // derived vectors, field units
};

// The pictures a prediction reads and writes. Either reference may be
// absent; a field of a field picture then reads the other field of its
// frame, and a frame prediction the picture being decoded (damaged streams
// only: the session decodes only pictures whose references it holds).
struct PredictionPictures {
  Picture* forward;
  Picture* backward;
  Picture* current;
};

YuvPlanes picture_planes(const Picture* picture, int chroma_format);

// Limits the state's vectors so that frame predictions of the macroblock at
// (x, y) (frame coordinates; field pictures: y = 32 x macroblock row, and
// the lower 16x8 half 16 rows further down) stay inside a width x height
// picture.
void clip_motion_vectors(MotionState& motion, int x, int y, int width, int height);

// Builds the prediction of the macroblock at (x, y) into the current picture.
void form_predictions(const PredictionPictures& pictures, const MotionState& motion, int x, int y);
