// The picture loop of a preview session: decoding from a GOP's restart
// point in coded order, display numbering, and the pictures that come out
// in display order, for one frame (Render frame at position) or for all.
#pragma once

#include <cstdint>

#include "mpeg/colour.h"
#include "mpeg/decoder_context.h"
#include "mpeg/reader.h"

// Called for each output picture in display order (a picture shown twice
// comes out twice); 4:2:0 chroma is not up-sampled yet. Returns 0 to stop
// the loop.
typedef int (*OutputVisitor)(void* user, const DisplayRecord& record, const Picture* picture);

// The colour facts of the context's sequence.
ColourSequence colour_sequence_of(const DecoderContext& ctx);

// Positions at the first GOP after byte `position`: the reader is left at its
// restart point, the display state reset to its I picture's display number
// (returned in `target`). 0 when no usable GOP follows (before the file
// offset `search_end`, when that is not negative).
int position_at_gop(Reader& r, uint32_t& pos, DecoderContext& ctx, int64_t position, int64_t& target,
                    int64_t search_end = -1);

// Decodes pictures from the reader position, calling `visit` for each
// output picture, until it returns 0 (result 1) or the data ends (the newer
// reference is output then, and the result is 2) or a picture cannot be
// allocated (0). With `drop_shown` a picture leaves the display queue once
// it was visited.
int decode_pictures(Reader& r, uint32_t& pos, DecoderContext& ctx, OutputVisitor visit, void* user,
                    bool drop_shown = false);

// Render frame at position into `pixels` (the bitmap layout of the
// conversion). The display index of the frame in `shown`. 1 on success.
int render_frame(Reader& r, DecoderContext& ctx, int64_t position, uint8_t* pixels, int64_t& shown);

// Every picture from the first GOP on, in display order, converted into
// `pixels` and handed to sink (0 from it stops). The number of frames.
typedef int (*FrameSink)(void* user, int64_t display_index, const uint8_t* pixels);
int64_t decode_all_frames(Reader& r, DecoderContext& ctx, uint8_t* pixels, FrameSink sink, void* user);
