// Reference-counted picture buffers, shared by the reference slots, the
// display queue and whoever renders from them.
//
// All three planes have the luma size and the stride `width`; a 4:2:0 or
// 4:2:2 chroma sample (x, y) lives at column x < width/2 of its plane, so the
// right half of the chroma rows is free for up-sampled chroma.
#pragma once

#include <cstdint>

struct Picture {
  int32_t height;           // rows (coded_height)
  int32_t width;            // bytes per row (coded_width), the stride of every plane
  int32_t reference_count;  // starts at 1
  uint8_t* storage;         // 3 * width * height + 16 bytes
  uint8_t* y;               // storage moved up to the next multiple of 16 (by 1..16)
  uint8_t* cb;              // y + width * height
  uint8_t* cr;              // cb + width * height
};

// A picture of width x height (both multiples of 16, at most 4096), or none.
Picture* picture_new(int32_t width, int32_t height);
// A new picture of the same size holding the same samples; none for none.
Picture* picture_copy(const Picture* p);
// Drops one reference; frees the picture with the last one. Accepts none.
void picture_release(Picture* p);
// Frees the storage that released pictures leave for later ones (a few
// pictures' worth is kept while decoding).
void picture_pool_clear();
// Takes one more reference and returns the picture.
Picture* picture_retain(Picture* p);
