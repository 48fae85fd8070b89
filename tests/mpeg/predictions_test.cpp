// Macroblock predictions: which reference fields a prediction reads in
// frame and field pictures, dual prime, bidirectional averaging, and the
// second field of a P frame reading the first one.
#include "mpeg/predictions.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

const int kWidth = 32, kHeight = 64;

// A 4:2:0 picture whose top-field rows hold `top` and bottom-field rows `bottom`.
Picture* fields(int top, int bottom) {
  Picture* p = picture_new(kWidth, kHeight);
  for (uint8_t* plane : {p->y, p->cb, p->cr})
    for (int row = 0; row < kHeight; ++row)
      memset(plane + row * kWidth, row & 1 ? bottom : top, kWidth);
  return p;
}

MotionState state(int structure, int type, int motion_type) {
  MotionState m;
  memset(&m, 0, sizeof m);
  m.chroma_format = 1;
  m.picture_structure = structure;
  m.picture_coding_type = type;
  m.motion_type = motion_type;
  return m;
}

// The luma sample of the macroblock at (0, 0) in row `row` of the frame.
int luma(const Picture* p, int row) { return p->y[row * kWidth + 3]; }

struct Pictures {
  Picture* forward;
  Picture* backward;
  Picture* current;
  ~Pictures() {
    picture_release(forward);
    picture_release(backward);
    picture_release(current);
  }
  PredictionPictures refs() const { return PredictionPictures{forward, backward, current}; }
};

TEST(Predictions, FrameDualPrimeAveragesSameAndOppositeParity) {
  Pictures p = {fields(100, 50), nullptr, fields(0, 0)};
  MotionState m = state(PICTURE_FRAME, 2, MOTION_DUAL_PRIME);
  m.motion_forward = 1;
  form_predictions(p.refs(), m, 0, 0);
  for (int row = 0; row < 16; ++row) EXPECT_EQ(luma(p.current, row), 75) << row;
}

TEST(Predictions, FrameFieldPredictionTakesTheSelectedFields) {
  Pictures p = {fields(100, 50), nullptr, fields(0, 0)};
  MotionState m = state(PICTURE_FRAME, 2, MOTION_FIELD);
  m.motion_forward = 1;
  m.field_select[0][0] = 1;  // top field from the bottom field
  m.field_select[1][0] = 1;  // bottom field from the bottom field
  form_predictions(p.refs(), m, 0, 0);
  for (int row = 0; row < 16; ++row) EXPECT_EQ(luma(p.current, row), 50) << row;
}

TEST(Predictions, BidirectionalAveragesRoundingUp) {
  Pictures p = {fields(10, 10), fields(13, 13), fields(0, 0)};
  MotionState m = state(PICTURE_FRAME, 3, MOTION_FRAME);
  m.motion_forward = m.motion_backward = 1;
  form_predictions(p.refs(), m, 0, 0);
  EXPECT_EQ(luma(p.current, 0), 12);
  EXPECT_EQ(p.current->cb[3], 12);
}

TEST(Predictions, SecondFieldOfPFrameReadsTheFirstField) {
  struct Case {
    const char* name;
    int select, second_field, want;
    bool reference = true;
  };
  const Case cases[] = {
      {"opposite parity in the second field: the first field", 0, 1, 200},
      {"same parity in the second field: the reference", 1, 1, 11},
      {"opposite parity in the first field: the reference", 0, 0, 10},
      {"same parity, no reference (after a restart): the first field", 1, 1, 200, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Pictures p = {c.reference ? fields(10, 11) : nullptr, nullptr, fields(200, 0)};
    MotionState m = state(PICTURE_BOTTOM_FIELD, 2, MOTION_FIELD);
    m.motion_forward = 1;
    m.second_field = c.second_field;
    m.field_select[0][0] = c.select;
    form_predictions(p.refs(), m, 0, 0);
    for (int row = 1; row < 32; row += 2) EXPECT_EQ(luma(p.current, row), c.want) << row;
    for (int row = 0; row < 32; row += 2) EXPECT_EQ(luma(p.current, row), 200) << row;  // untouched
  }
}

TEST(Predictions, FieldPicture16x8UsesOneVectorPerHalf) {
  Pictures p = {fields(10, 11), nullptr, fields(0, 0)};
  MotionState m = state(PICTURE_TOP_FIELD, 2, MOTION_16X8);
  m.motion_forward = 1;
  m.field_select[0][0] = 0;
  m.field_select[1][0] = 1;
  form_predictions(p.refs(), m, 0, 0);
  for (int k = 0; k < 8; ++k) EXPECT_EQ(luma(p.current, 2 * k), 10) << k;
  for (int k = 8; k < 16; ++k) EXPECT_EQ(luma(p.current, 2 * k), 11) << k;
}

TEST(Predictions, ClippingKeepsFrameVectorsInsideThePicture) {
  MotionState m = state(PICTURE_FRAME, 2, MOTION_FRAME);
  m.PMV[0][0][0] = -1000;
  m.PMV[0][0][1] = 1000;
  m.dual_prime[1][1] = 1000;
  clip_motion_vectors(m, 16, 32, kWidth, kHeight);
  EXPECT_EQ(m.PMV[0][0][0], -32);              // -2x
  EXPECT_EQ(m.PMV[0][0][1], 2 * (64 - 32) - 32);
  EXPECT_EQ(m.dual_prime[1][1], 64 - 32 - 16);

  // The lower 16x8 half of a top-row macroblock of a field picture may
  // point up to 8 field rows up; the upper half not at all.
  MotionState f = state(PICTURE_TOP_FIELD, 2, MOTION_16X8);
  f.PMV[0][0][1] = f.PMV[1][0][1] = -16;
  clip_motion_vectors(f, 0, 0, kWidth, kHeight);
  EXPECT_EQ(f.PMV[0][0][1], 0);
  EXPECT_EQ(f.PMV[1][0][1], -16);
}

}  // namespace
