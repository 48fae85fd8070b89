// Motion-compensated prediction and block reconstruction of the Preview
// decoder, as plain functions over 8-bit planes.
#pragma once

#include <cstddef>
#include <cstdint>

// The three planes of a picture as the reconstruction and colour stages
// see them. All planes have `width` as row stride (a multiple of 16) and
// `height` rows. Luma fills width x height samples; chroma fills the left
// half of its rows for 4:2:0 and 4:2:2 and, for 4:2:0, the first half of
// the rows (the colour stage up-samples into the right half).
struct YuvPlanes {
  uint8_t* y;
  uint8_t* cb;
  uint8_t* cr;
  int32_t width;          // row stride of every plane, in samples
  int32_t height;         // rows of every plane (the luma height)
  int32_t chroma_format;  // 1 = 4:2:0, 2 = 4:2:2, 3 = 4:4:4
};

// The sample loop: `rows` rows of 8 (width16 = 0) or 16 (width16 = 1)
// samples predicted from `source` with the half-sample flags, stored
// (copy = 1) or averaged with what `destination` holds (copy = 0).
// Reads width + half_x columns and rows + half_y rows of the source.
void predict_rows(int width16, int half_x, int half_y, int copy, const uint8_t* source,
                  uint8_t* destination, ptrdiff_t source_stride, ptrdiff_t destination_stride,
                  int rows);

// What predict_block reads and writes: whole frames (16 luma rows), or one
// field of the reference into one field of the destination (8 luma rows,
// both strides doubled, bottom fields one row lower).
enum PredictionKind : int {
  PREDICT_FRAME = 0,
  PREDICT_TOP_FROM_TOP = 4,
  PREDICT_BOTTOM_FROM_TOP = 5,
  PREDICT_TOP_FROM_BOTTOM = 6,
  PREDICT_BOTTOM_FROM_BOTTOM = 7,
};

inline PredictionKind field_prediction_kind(int source_bottom, int destination_bottom) {
  return static_cast<PredictionKind>(4 | (source_bottom << 1) | destination_bottom);
}

// Predicts one region in all three planes: the 16-wide luma area whose top
// left sample is (x, y) in frame coordinates (for field kinds the region
// starts at field row y / 2), and the matching chroma areas, from
// `reference` displaced by (mvx, mvy) half samples (field units for field
// kinds). `reference` and `destination` must have the same geometry, and
// the destination area must lie inside the picture.
//
// Reads never leave the reference planes: a displaced area that would
// cross a plane edge (possible for field vectors and damaged streams only,
// since frame vectors are clipped beforehand) is moved back inside by
// whole samples, keeping its half-sample flags. For 4:2:0 the chroma
// planes count as their first height / 2 rows.
void predict_block(const YuvPlanes& reference, const YuvPlanes& destination, PredictionKind kind,
                   int mvx, int mvy, int x, int y, int copy);

// Picture structure values as coded in the picture coding extension.
enum : int { PICTURE_TOP_FIELD = 1, PICTURE_BOTTOM_FIELD = 2, PICTURE_FRAME = 3 };

// Stores (intra = 1) or adds (intra = 0) one transformed 8x8 block, with
// samples clipped to 0..255, at its place in the macroblock whose top-left
// luma sample is (x, y) in frame coordinates (field pictures: y = 32 x the
// macroblock row). block_index counts luma 0-3, then Cb and Cr alternately
// (6, 8 or 12 blocks by chroma format); dct_type 1 is field DCT in a frame
// picture.
void write_block(const int16_t block[64], const YuvPlanes& picture, int block_index, int x, int y,
                 int picture_structure, int dct_type, int intra);
