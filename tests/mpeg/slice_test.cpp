// Slice decoding on hand-made pictures: skipped macroblocks of P pictures,
// concealment of rows the slices miss, and damaged macroblocks.
#include "mpeg/slice.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "mpeg/headers.h"
#include "tests/mpeg/stream_builder.h"

namespace {

const int kWidth = 48, kHeight = 32;  // 3 x 2 macroblocks

struct SliceFixture {
  std::unique_ptr<OpenReader> in;
  DecoderContext ctx;
  Picture* forward = nullptr;
  Picture* current = nullptr;

  SliceFixture(const BitWriter& w, int picture_coding_type) {
    static int serial = 0;
    in.reset(new OpenReader(write_elementary("slice" + std::to_string(serial++) + ".m2v", w.bytes), false));
    memset(&ctx, 0, sizeof ctx);
    ctx.horizontal_size = ctx.coded_width = kWidth;
    ctx.vertical_size = ctx.coded_height = kHeight;
    ctx.mpeg2 = 1;
    ctx.chroma_format = 1;
    EXPECT_EQ(setup_sequence(ctx, ctx.slice_state), 1);
    PictureHeader h;
    memset(&h, 0, sizeof h);
    h.picture_coding_type = picture_coding_type;
    h.has_coding_extension = 1;
    h.picture_structure = 3;
    h.frame_pred_frame_dct = 1;
    h.f_code[0][0] = h.f_code[0][1] = h.f_code[1][0] = h.f_code[1][1] = 1;
    setup_picture(h, ctx.slice_state);
    current = picture_new(kWidth, kHeight);
    memset(current->storage, 0, 3 * kWidth * kHeight + 16);
  }
  ~SliceFixture() {
    picture_release(forward);
    picture_release(current);
  }
  int decode() {
    return decode_picture_slices(in->r, in->pos, PredictionPictures{forward, nullptr, current},
                                 ctx.slice_state);
  }
  int y(int mb_x, int mb_y) const { return current->y[(16 * mb_y + 5) * kWidth + 16 * mb_x + 5]; }
  int cb(int mb_x, int mb_y) const { return current->cb[(8 * mb_y + 2) * kWidth + 8 * mb_x + 2]; }
};

void slice_header(BitWriter& w, int vertical_position) {
  w.start_code(static_cast<uint8_t>(vertical_position));
  w.put(1, 5);  // quantiser_scale_code
  w.put(0, 1);  // extra_bit_slice
}

// An intra macroblock of I picture whose blocks hold only the DC predictor.
void flat_intra_macroblock(BitWriter& w) {
  w.put(1, 1);  // macroblock_type: intra
  for (int i = 0; i < 4; ++i) w.put(0b10010, 5);  // dct_dc_size_luminance 0, end of block
  for (int i = 0; i < 2; ++i) w.put(0b0010, 4);   // dct_dc_size_chrominance 0, end of block
}

TEST(Slices, PSkippedMacroblocksCopyTheForwardReference) {
  BitWriter w;
  slice_header(w, 1);
  w.put(1, 1);       // macroblock_address_increment 1
  w.put(0b001, 3);   // macroblock_type: MC, not coded
  w.put(0b11, 2);    // motion codes 0, 0
  w.put(0b011, 3);   // increment 2: one skipped macroblock
  w.put(0b001, 3);
  w.put(0b11, 2);
  w.start_code(0x00);
  SliceFixture f(w, 2);
  f.forward = picture_new(kWidth, kHeight);
  for (int row = 0; row < kHeight; ++row)
    for (int x = 0; x < kWidth; ++x) f.forward->y[row * kWidth + x] = static_cast<uint8_t>(x / 16 * 40 + 20);
  memset(f.forward->cb, 77, kWidth * kHeight);
  f.decode();
  for (int mb = 0; mb < 3; ++mb) {
    SCOPED_TRACE(mb);
    EXPECT_EQ(f.y(mb, 0), mb * 40 + 20);
    EXPECT_EQ(f.cb(mb, 0), 77);
  }
}

TEST(Slices, MissingRowIsConcealedAndDecodingGoesOn) {
  BitWriter w;
  slice_header(w, 2);
  w.put(1, 1);
  for (int mb = 0; mb < 3; ++mb) {
    if (mb) w.put(1, 1);
    flat_intra_macroblock(w);
  }
  w.start_code(0x00);
  SliceFixture f(w, 1);
  EXPECT_EQ(f.decode(), 0);  // not whole
  for (int mb = 0; mb < 3; ++mb) {
    SCOPED_TRACE(mb);
    EXPECT_EQ(f.y(mb, 0), 16);  // no reference: black
    EXPECT_EQ(f.cb(mb, 0), 128);
    EXPECT_EQ(f.y(mb, 1), 128);  // 128 x 8 through the inverse DCT
  }
}

TEST(Slices, SlicesEndingEarlyConcealTheRestAndFail) {
  BitWriter w;
  slice_header(w, 1);
  w.put(1, 1);
  for (int mb = 0; mb < 3; ++mb) {
    if (mb) w.put(1, 1);
    flat_intra_macroblock(w);
  }
  w.start_code(0x00);
  SliceFixture f(w, 1);
  EXPECT_EQ(f.decode(), 0);
  EXPECT_EQ(f.y(0, 0), 128);
  EXPECT_EQ(f.y(1, 0), 128);
  EXPECT_EQ(f.y(2, 0), 16);  // the last decoded macroblock is concealed too
  for (int mb = 0; mb < 3; ++mb) EXPECT_EQ(f.y(mb, 1), 16);
  // The picture start code is left for the caller.
  EXPECT_EQ(f.in->next(), 0);
}

// Storage comes back from earlier pictures: a macroblock that damaged data
// leaves without a prediction or a block must still be written.
TEST(Slices, DamagedMacroblocksNeverShowWhatTheStorageHeld) {
  const int kOld = 0x5A;
  {
    SCOPED_TRACE("B picture: a skip after an intra macroblock predicts from nothing");
    BitWriter w;
    slice_header(w, 1);
    w.put(1, 1);
    w.put(0b00011, 5);  // macroblock_type: intra
    for (int i = 0; i < 4; ++i) w.put(0b10010, 5);
    for (int i = 0; i < 2; ++i) w.put(0b0010, 4);
    w.put(0b011, 3);  // increment 2: macroblock 1 skipped
    w.put(0b00011, 5);
    for (int i = 0; i < 4; ++i) w.put(0b10010, 5);
    for (int i = 0; i < 2; ++i) w.put(0b0010, 4);
    w.start_code(0x00);
    SliceFixture f(w, 3);
    memset(f.current->storage, kOld, 3 * kWidth * kHeight + 16);
    f.forward = picture_new(kWidth, kHeight);
    memset(f.forward->y, 60, kWidth * kHeight);
    memset(f.forward->cb, 77, kWidth * kHeight);
    f.decode();
    EXPECT_EQ(f.y(1, 0), 60);  // the forward reference in place
    EXPECT_EQ(f.cb(1, 0), 77);
  }
  {
    SCOPED_TRACE("I picture: a block whose run passes 63 is dropped");
    BitWriter w;
    slice_header(w, 1);
    w.put(1, 1);
    w.put(1, 1);  // intra
    w.put(0b100, 3);  // dct_dc_size_luminance 0
    w.put(1, 6);  // escape: run 63 passes the end
    w.put(63, 6);
    w.put(1, 12);
    for (int i = 1; i < 4; ++i) w.put(0b10010, 5);
    for (int i = 0; i < 2; ++i) w.put(0b0010, 4);
    for (int mb = 1; mb < 3; ++mb) {  // the rest of the row, so that none is concealed
      w.put(1, 1);
      flat_intra_macroblock(w);
    }
    w.start_code(0x00);
    SliceFixture f(w, 1);
    memset(f.current->storage, kOld, 3 * kWidth * kHeight + 16);
    f.decode();
    EXPECT_EQ(f.y(0, 0), 0);  // the samples of no coefficients
    EXPECT_EQ(f.current->y[5 * kWidth + 13], 128);  // block 1 decoded
  }
}

}  // namespace
