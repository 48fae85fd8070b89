// Slice decoding: all slices of one picture or field into the picture
// being decoded, with concealment of the macroblocks the data misses.
#pragma once

#include <cstdint>

#include "mpeg/decoder_context.h"
#include "mpeg/predictions.h"
#include "mpeg/reader.h"

// From the reader position after the picture header (and its extensions).
// 1 when every macroblock of the picture was decoded from its slices; 0
// when the slices or the data ended early, left rows out or pointed outside
// the picture (those macroblocks are then concealed), and for the reserved
// picture_structure 0. A start code that is not a slice is left for the caller.
int decode_picture_slices(Reader& r, uint32_t& pos, const PredictionPictures& pictures, SliceState& s);
