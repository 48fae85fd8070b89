// Colour conversion of decoded pictures to 24-bit top-down BGR rows, with
// the vertical chroma up-sampling of 4:2:0 pictures that precedes it.
#pragma once

#include <cstdint>

#include "mpeg/motion.h"  // YuvPlanes

// Fixed-point conversion parameters, built once per sequence. The field
// order and widths are part of the design; keep them.
struct ColourConversion {
  int32_t width;          // output pixels per row (horizontal_size)
  int32_t height;         // output rows (vertical_size)
  int32_t source_stride;  // the picture's row stride
  int32_t output_stride;  // bytes per bitmap row
  int32_t chroma_offset;  // where a row's chroma starts within the chroma row
  int32_t luma_offset;    // 16
  int32_t luma_gain;      // 1.164 in 16.16
  int32_t cb_to_blue;
  int32_t cb_to_green;
  int32_t cr_to_green;
  int32_t cr_to_red;
};

// The facts of a sequence the conversion depends on, filled by the session
// from its parsed headers.
struct ColourSequence {
  int32_t horizontal_size;
  int32_t vertical_size;
  int32_t stride;                  // picture row stride (a multiple of 16)
  int32_t mpeg2;                   // a sequence extension was present
  int32_t chroma_format;           // 1, 2, 3 (MPEG-1: 1)
  int32_t colour_description;      // a sequence display extension carried one
  int32_t matrix_coefficients;     // from it
  int32_t frame_rate_code;         // 0..15
  int32_t frame_rate_extension_n;  // MPEG-2, else 0
  int32_t frame_rate_extension_d;  // MPEG-2, else 0
};

// The matrix code 0..7 whose coefficients the conversion uses (reserved
// matrix_coefficients above 7 count as 0, the default).
int colour_matrix_code(const ColourSequence& sequence);

// Bytes per row of a 24-bit bitmap of `width` pixels: 3 x width rounded up
// to a multiple of 4.
int32_t bitmap_row_stride(int32_t width);

ColourConversion build_colour_conversion(const ColourSequence& sequence);

// Fills the right half of every chroma row of a 4:2:0 picture with the
// chroma interpolated to full height from the left halves of the first
// height / 2 rows; progressive = 0 interpolates each field on its own.
// Does nothing for 4:2:2 and 4:4:4 pictures.
void upsample_chroma(const YuvPlanes& picture, int progressive);

// Writes conversion.height rows of conversion.output_stride bytes, top row
// first, of blue, green, red triples; the padding bytes at the end of each
// row are left alone. A 4:2:0 picture must have been up-sampled.
void convert_to_bgr(const YuvPlanes& picture, const ColourConversion& conversion,
                    uint8_t* pixels);

// The row loops convert_to_bgr and upsample_chroma use, each giving the
// same bytes: the plain one, SSE2, SSE2 with the SSSE3 byte shuffle and
// multiply-add, AVX2 or AVX-512 (4:2:x rows and up-sampling, with the
// narrower loops for what is left). By default the best this processor
// runs; `loops` >= 0 chooses that one or the best below it (for tests and
// benches). Returns the loops in use.
enum {
  kColourLoopsPlain = 0,
  kColourLoopsSse2 = 1,
  kColourLoopsSsse3 = 2,
  kColourLoopsAvx2 = 3,
  kColourLoopsAvx512 = 4,
};
int colour_row_loops(int loops);
