// Sequence, GOP and picture headers; the decoder set-up they drive.
#pragma once

#include <cstdint>

#include "mpeg/decoder_context.h"
#include "mpeg/reader.h"

// After 00 00 01 B3: the sequence header and the sequence, sequence display
// and sequence scalable extensions that follow it. The first start code that
// is not an extension ends it and stays consumed. 0 when the header itself
// ran past the end of the data.
int parse_sequence_header(Reader& r, uint32_t& pos, DecoderContext& ctx);
// After 00 00 01 B8: the time code (closed_gop and broken_link are the caller's).
int parse_gop_header(Reader& r, uint32_t& pos, GopHeader& gop);
// After 00 00 01 00: the picture header and every picture-level extension;
// the start code that ends them is un-read. progressive_sequence is 1 for MPEG-1.
int parse_picture_header(Reader& r, uint32_t& pos, PictureHeader& header, int32_t progressive_sequence);

// Checks the sequence is one this decoder can hold and prepares the slice
// state for it. 0 for sizes or a chroma format it refuses.
int setup_sequence(DecoderContext& ctx, SliceState& slice_state);
// The sequence's matrices (or the defaults) into the raster-order tables.
void load_quant_matrices(const DecoderContext& ctx, QuantTables& tables);
// Picture-level parameters into the slice state; rebuilds the scaled tables.
void setup_picture(const PictureHeader& header, SliceState& slice_state);

// quantiser_scale for q_scale_type and quantiser_scale_code (0..31).
int32_t quantiser_scale(int32_t q_scale_type, int32_t quantiser_scale_code);
// Frame rate of the sequence, with the MPEG-2 extension factors; 0/1 for
// a frame_rate_code outside 1..8.
void sequence_frame_rate(const DecoderContext& ctx, uint32_t& numerator, uint32_t& denominator);
// The bit rate shown to the user, in bit/s: 400 x bit_rate_value, at most
// 2^32 - 1 (the stream information record holds 32 bits).
uint32_t sequence_bit_rate(const DecoderContext& ctx);
