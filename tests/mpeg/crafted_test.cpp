// Tiny hand-made streams over every combination of picture structure,
// progressive_sequence, chroma format and small sizes, with slices beyond
// the picture and predictions pointing far outside it: decoding stays in
// the planes (the sanitizer build checks), and a rendered frame is whole.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mpeg/session.h"
#include "tests/mpeg/stream_builder.h"

namespace {

struct Crafted {
  int width, height, progressive_sequence, chroma_format, structure;
};

void put_coding_extension(BitWriter& w, int structure, int frame_pred_frame_dct) {
  w.start_code(0xB5);
  w.put(8, 4);
  w.put(0x9999, 16);  // f_codes 9: vectors of hundreds of samples
  w.put(0, 2);        // intra_dc_precision
  w.put(structure, 2);
  w.put(1, 1);  // top_field_first
  w.put(frame_pred_frame_dct, 1);
  w.put(0, 5);  // concealment, q_scale_type, intra_vlc_format, alternate_scan, repeat
  w.put(0, 1);  // chroma_420_type
  w.put(structure == 3, 1);  // progressive_frame
  w.put(0, 1);
}

void put_picture_start(BitWriter& w, int type, int structure, int frame_pred_frame_dct) {
  w.start_code(0x00);
  w.put(0, 10);
  w.put(type, 3);
  w.put(0xFFFF, 16);
  if (type == 2) w.put(0x7, 4);
  w.put(0, 1);
  put_coding_extension(w, structure, frame_pred_frame_dct);
}

// A vector of +-256 half samples: motion_code +-1 and residual 255 (f_code 9).
void put_far_vector(BitWriter& w, int dmv) {
  for (uint32_t code : {0b010u, 0b011u}) {
    w.put(code, 3);
    w.put(0xFF, 8);
    if (dmv) w.put(0, 1);  // dmvector 0
  }
}

// Slices for every macroblock row of the frame (more than a field holds):
// whole rows of flat intra macroblocks, or one predicted macroblock and an
// increment past the picture's end.
void put_slices(BitWriter& w, const Crafted& c, int type, int motion_type) {
  const bool frame = c.structure == 3;
  const int blocks = c.chroma_format == 1 ? 6 : (c.chroma_format == 2 ? 8 : 12);
  const int rows = c.progressive_sequence ? (c.height + 15) / 16 : (c.height + 31) / 32 * 2;
  for (int row = 1; row <= rows; ++row) {
    w.start_code(static_cast<uint8_t>(row));
    w.put(1, 5);  // quantiser_scale_code
    w.put(0, 1);
    w.put(1, 1);  // macroblock_address_increment 1
    if (type == 1) {
      for (int mb = 0; mb < (c.width + 15) / 16; ++mb) {
        if (mb) w.put(1, 1);
        w.put(1, 1);  // intra (frame_pred_frame_dct: no dct_type)
        for (int b = 0; b < blocks; ++b) w.put(b < 4 ? 0b10010 : 0b0010, b < 4 ? 5 : 4);
      }
      continue;
    }
    w.put(0b001, 3);  // motion compensated, not coded
    w.put(static_cast<uint32_t>(motion_type), 2);
    const int count = (frame ? motion_type == 1 : motion_type == 2) ? 2 : 1;
    const int dmv = motion_type == 3;
    for (int v = 0; v < count; ++v) {
      if (!dmv && (!frame || motion_type != 2)) w.put(v, 1);  // field_select
      put_far_vector(w, dmv);
    }
    w.put(0b00000001000, 11);  // escape: 33 skipped macroblocks and more
    w.put(1, 1);
    w.put(0b001, 3);
    w.put(0, 2);
  }
}

// A picture, and for a field picture its second field.
void put_picture(BitWriter& w, const Crafted& c, int type, int motion_type) {
  const int fpfd = c.structure == 3 && type == 1;
  put_picture_start(w, type, c.structure, fpfd);
  put_slices(w, c, type, motion_type);
  if (c.structure == 3) return;
  const int second = c.structure == 0 ? 0 : 3 - c.structure;
  put_picture_start(w, type, second, 0);
  put_slices(w, Crafted{c.width, c.height, c.progressive_sequence, c.chroma_format, second}, type,
             motion_type);
}

Bytes crafted_stream(const Crafted& c) {
  BitWriter w;
  put_sequence_header(w, {static_cast<uint32_t>(c.width), static_cast<uint32_t>(c.height), 3, 1000});
  put_sequence_extension(w, c.progressive_sequence, c.chroma_format);
  for (int gop = 0; gop < 3; ++gop) {
    w.start_code(0xB8);
    w.put(0, 1);
    w.put(0, 11);
    w.put(1, 1);
    w.put(0, 6);
    w.put(static_cast<uint32_t>(4 * gop), 6);
    w.put(1, 1);  // closed_gop
    w.put(0, 1);
    put_picture(w, c, 1, 0);
    for (int motion_type = 1; motion_type <= 3; ++motion_type) put_picture(w, c, 2, motion_type);
  }
  w.start_code(0xB7);
  return w.bytes;
}

int count_frames(void* user, int64_t, const uint8_t*) {
  ++*static_cast<int*>(user);
  return 1;
}

// The picture's pixels are all of one colour (row padding aside).
bool one_colour(const std::vector<uint8_t>& pixels, const BitmapHeader& bitmap) {
  const size_t row = 3u * static_cast<size_t>(bitmap.biWidth);
  const size_t stride = (row + 3) & ~size_t(3);
  for (size_t y = 0; y < pixels.size() / stride; ++y)
    for (size_t x = 0; x < row; ++x)
      if (pixels[y * stride + x] != pixels[x % 3]) return false;
  return true;
}

TEST(CraftedStreams, DecodeInsideThePlanesAndRenderWholeFrames) {
  const int sizes[][2] = {{16, 16}, {32, 16}, {16, 48}, {48, 32}, {1, 1}};
  for (int structure = 0; structure <= 3; ++structure)
    for (int progressive = 0; progressive <= 1; ++progressive)
      for (int chroma = 1; chroma <= 3; ++chroma)
        for (const auto& size : sizes) {
          const Crafted c = {size[0], size[1], progressive, chroma, structure};
          const std::string name = "crafted_" + std::to_string(structure) + std::to_string(progressive) +
                                   std::to_string(chroma) + "_" + std::to_string(size[0]) + "x" +
                                   std::to_string(size[1]);
          SCOPED_TRACE(name);
          const Bytes stream = crafted_stream(c);
          const std::string path = write_file(name + ".m2v", stream);
          BitmapHeader bitmap;
          ASSERT_EQ(preview_open(path.c_str(), nullptr, &bitmap, nullptr), 1);
          std::vector<uint8_t> pixels(bitmap.biSizeImage);
          for (int64_t position : {int64_t(0), int64_t(stream.size() / 2)}) {
            if (!preview_render(position, pixels.data())) {
              // Only pictures that cannot be whole may fail: the reserved
              // structure, and fields of a picture of an odd number of rows.
              const bool odd_rows = progressive && (size[1] + 15) / 16 % 2;
              EXPECT_TRUE(structure == 0 || (structure != 3 && odd_rows));
              continue;
            }
            // Flat intra blocks: one colour, no stale or undecoded rows.
            EXPECT_TRUE(one_colour(pixels, bitmap)) << "at " << position;
          }
          int frames = 0;
          preview_decode_all(pixels.data(), count_frames, &frames);
          preview_close();
        }
}

}  // namespace
