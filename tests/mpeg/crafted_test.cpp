// Tiny hand-made streams over every combination of picture structure,
// progressive_sequence, chroma format and small sizes, with slices beyond
// the picture and predictions pointing far outside it: decoding stays in
// the planes (the sanitizer build checks), and a rendered frame is whole.
#include <gtest/gtest.h>

#include <cstdio>
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

// Three GOPs of one 16x16 I picture whose blocks hold one AC coefficient;
// the second GOP's picture loads an intra matrix of 100s.
Bytes quant_matrix_stream(std::vector<size_t>& gops) {
  BitWriter w;
  put_sequence_header(w, {16, 16, 3, 1000});
  put_sequence_extension(w, 1, 1);
  for (int gop = 0; gop < 3; ++gop) {
    gops.push_back(w.bytes.size());
    w.start_code(0xB8);
    w.put(0, 19);
    w.put(1, 1);
    w.put(static_cast<uint32_t>(gop), 6);  // seconds
    w.put(0, 6);
    w.put(1, 1);
    w.put(0, 1);
    put_picture_start(w, 1, 3, 1);
    if (gop == 1) {
      w.start_code(0xB5);
      w.put(3, 4);
      w.put(1, 1);  // load_intra_quantiser_matrix
      for (int i = 0; i < 64; ++i) w.put(100, 8);
      w.put(0, 3);
    }
    w.start_code(0x01);
    w.put(1, 5);
    w.put(0, 1);
    w.put(1, 1);  // increment 1
    w.put(1, 1);  // intra
    for (int b = 0; b < 4; ++b) w.put(0b10011010, 8);  // DC size 0, AC run 0 level 1, end
    for (int b = 0; b < 2; ++b) w.put(0b0010, 4);
  }
  w.start_code(0xB7);
  return w.bytes;
}

// The same position gives the same frame whatever was rendered before.
TEST(CraftedStreams, QuantMatricesOfAnEarlierRenderDoNotCarryOver) {
  std::vector<size_t> gops;
  const std::string path = write_file("crafted_quant.m2v", quant_matrix_stream(gops));
  BitmapHeader bitmap;
  ASSERT_EQ(preview_open(path.c_str(), nullptr, &bitmap, nullptr), 1);
  std::vector<std::vector<uint8_t>> frames;
  for (size_t gop : {0, 1, 0, 0, 2, 1, 2}) {
    std::vector<uint8_t> pixels(bitmap.biSizeImage);
    ASSERT_EQ(preview_render(static_cast<int64_t>(gops[gop]), pixels.data()), 1);
    frames.push_back(pixels);
  }
  preview_close();
  EXPECT_TRUE(frames[0] != frames[1]);  // the matrix shows
  EXPECT_TRUE(frames[2] == frames[0]);
  EXPECT_TRUE(frames[3] == frames[0]);
  EXPECT_TRUE(frames[6] == frames[4]);
  EXPECT_TRUE(frames[4] == frames[0]);  // no extension: the sequence's matrix
}

// Bytes this process has read from files so far, or -1 where the system
// does not say.
int64_t bytes_read_so_far() {
  long long rchar = -1;
#ifdef __linux__
  if (FILE* f = fopen("/proc/self/io", "r")) {
    if (fscanf(f, "rchar: %lld", &rchar) != 1) rchar = -1;
    fclose(f);
  }
#endif
  return rchar;
}

// A 16x16 stream: optionally a GOP header and a flat I picture, then 46 MiB
// of P pictures, each followed by 64 KiB of user data, and no GOP header.
Bytes stream_without_later_gops(bool first_gop) {
  BitWriter w;
  put_sequence_header(w, {16, 16, 3, 1000});
  put_sequence_extension(w, 1, 1);
  if (first_gop) {
    w.start_code(0xB8);
    w.put(0, 19);
    w.put(1, 1);
    w.put(0, 12);
    w.put(1, 1);  // closed_gop
    w.put(0, 1);
    put_picture_start(w, 1, 3, 1);
    w.start_code(0x01);
    w.put(0b10000011, 8);  // quantiser 16, no extra bit, increment 1, intra
    for (int b = 0; b < 6; ++b) w.put(b < 4 ? 0b10010 : 0b0010, b < 4 ? 5 : 4);
  }
  BitWriter p;
  put_picture_start(p, 2, 3, 1);
  p.start_code(0x01);
  p.put(0b1000001001, 10);  // quantiser 16, increment 1, motion compensated, not coded
  p.put(0b11, 2);         // zero vector
  p.start_code(0xB2);
  p.bytes.resize(p.bytes.size() + 65536, 0x55);
  Bytes stream = w.bytes;
  for (int i = 0; i < 700; ++i) append(stream, p.bytes);
  append(stream, {0, 0, 1, 0xB7});
  return stream;
}

// A position is served from at most a few MiB around it, however long the
// stream runs on without a GOP header.
TEST(CraftedStreams, RenderReadsABoundedStretchOfAStreamWithoutGopHeaders) {
  if (bytes_read_so_far() < 0) GTEST_SKIP() << "this system does not count the bytes a process reads";
  for (bool first_gop : {false, true}) {
    SCOPED_TRACE(first_gop ? "one GOP header at the start" : "no GOP header");
    const std::string path = write_file("crafted_no_gops.m2v", stream_without_later_gops(first_gop));
    BitmapHeader bitmap;
    ASSERT_EQ(preview_open(path.c_str(), nullptr, &bitmap, nullptr), 1);
    std::vector<uint8_t> pixels(bitmap.biSizeImage);
    const int64_t before = bytes_read_so_far();
    EXPECT_EQ(preview_render(0, pixels.data()), first_gop ? 1 : 0);
    EXPECT_LT(bytes_read_so_far() - before, int64_t(24) << 20);
    preview_close();
  }
}

}  // namespace
