// Macroblock syntax: address increments, macroblock modes, motion vectors,
// coded block patterns and the DCT block decoders with inverse quantisation.
#pragma once

#include <cstdint>

#include "mpeg/decoder_context.h"
#include "mpeg/predictions.h"
#include "mpeg/reader.h"

struct MacroblockModes {
  int32_t flags;  // MB_* of vlc.h
  int32_t motion_type;  // MOTION_* of predictions.h
  int32_t motion_vector_count;
  int32_t mv_format;  // 1 field, 2 frame
  int32_t dmv;
  int32_t dct_type;
  int32_t quantiser_scale_code;  // when MB_QUANT
  int32_t field_select[2][2];
  int32_t PMV[2][2][2];  // unclipped: the predictors of the next vectors
  int32_t dual_prime[2][2];
  int32_t coded;  // bit per block, block 0 highest
  int32_t block_count;
};

// The increment, or 0 for an invalid code or a start code.
int macroblock_address_increment(Reader& r, uint32_t& pos, int mpeg1);

// The macroblock's modes, vectors and coded block pattern. 0 on an invalid
// macroblock_type, motion_type or pattern, or at the end of the data.
int parse_macroblock(Reader& r, uint32_t& pos, MacroblockModes& modes, const MacroblockParams& params);

// Clears the vectors and sets the prediction a macroblock without vectors
// gets: from the same-parity field in field pictures, else by frame.
void reset_motion(MacroblockModes& modes, const MacroblockParams& params);

// The motion state of a predicted macroblock from its modes.
void motion_from_modes(const MacroblockModes& modes, const MacroblockParams& params,
                       int second_field, MotionState& motion);

// One vector component: prediction `predictor` (already halved where the
// vector is), motion code and residual read with f_code; wrapped.
int decode_motion_component(Reader& r, uint32_t& pos, int f_code, int predictor);

// Dequantised coefficients of one block into s.coefficients (raster order).
// component: 0 Y, 1 Cb, 2 Cr. 1 when the block is to be transformed.
int decode_intra_block(Reader& r, uint32_t& pos, SliceState& s, int component);
int decode_non_intra_block(Reader& r, uint32_t& pos, SliceState& s, int component);
