// Slice decoding: all slices of one picture or field into the picture
// being decoded, with concealment of the macroblocks the data misses.
#pragma once

#include <cstdint>

#include "mpeg/decoder_context.h"
#include "mpeg/predictions.h"
#include "mpeg/reader.h"

// From the reader position after the picture header (and its extensions).
// 1 when the picture was decoded to its last macroblock or the data ended;
// 0 when it ended early or a slice pointed outside it (the rest is then
// concealed). A start code that is not a slice is left for the caller.
int decode_picture_slices(Reader& r, uint32_t& pos, const PredictionPictures& pictures, SliceState& s);
