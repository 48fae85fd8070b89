// The decoder's state for one open stream: sequence values, the current
// picture header, the per-picture slice state, the reference pictures and
// the display bookkeeping. Field names are the syntax elements of ISO/IEC
// 13818-2 and 11172-2. One zero-filled allocation per open file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <new>

#include "mpeg/big_block.h"
#include "mpeg/picture.h"

struct PictureHeader {
  int32_t temporal_reference;
  int32_t picture_coding_type;  // 1 I, 2 P, 3 B (4 D: MPEG-1 only, never decoded)
  int32_t vbv_delay;
  int32_t full_pel_forward_vector, forward_f_code;
  int32_t full_pel_backward_vector, backward_f_code;

  // Picture coding extension; without one, the MPEG-1 values.
  int32_t has_coding_extension;
  int32_t f_code[2][2];
  int32_t intra_dc_precision;
  int32_t picture_structure;  // 1 top field, 2 bottom field, 3 frame
  int32_t top_field_first;
  int32_t frame_pred_frame_dct;
  int32_t concealment_motion_vectors;
  int32_t q_scale_type;
  int32_t intra_vlc_format;
  int32_t alternate_scan;
  int32_t repeat_first_field;
  int32_t chroma_420_type;
  int32_t progressive_frame;
  int32_t composite_display_flag;
  int32_t v_axis, field_sequence, sub_carrier, burst_amplitude, sub_carrier_phase;

  // Quant matrix extension, values in zigzag order as read.
  int32_t has_quant_matrix_extension;
  int32_t load_intra_quantiser_matrix;
  int32_t load_non_intra_quantiser_matrix;
  int32_t load_chroma_intra_quantiser_matrix;
  int32_t load_chroma_non_intra_quantiser_matrix;
  uint16_t intra_quantiser_matrix[64];
  uint16_t non_intra_quantiser_matrix[64];
  uint16_t chroma_intra_quantiser_matrix[64];
  uint16_t chroma_non_intra_quantiser_matrix[64];

  // Kept but not used for decoding.
  int32_t has_display_extension;
  int32_t number_of_frame_centre_offsets;
  int32_t frame_centre_horizontal_offset[3];
  int32_t frame_centre_vertical_offset[3];
  int32_t has_spatial_scalable_extension;
  int32_t lower_layer_temporal_reference;
  int32_t lower_layer_horizontal_offset;
  int32_t lower_layer_vertical_offset;
  int32_t spatial_temporal_weight_code_table_index;
  int32_t lower_layer_progressive_frame;
  int32_t lower_layer_deinterlaced_field_select;
  int32_t has_temporal_scalable_extension;
  int32_t reference_select_code;
  int32_t forward_temporal_reference;
  int32_t backward_temporal_reference;
  int32_t has_copyright_extension;
  int32_t copyright_flag, copyright_identifier, original_or_copy;
  int32_t copyright_number_1, copyright_number_2, copyright_number_3;
};

struct GopHeader {
  int32_t drop_frame_flag;
  int32_t time_code_hours, time_code_minutes, time_code_seconds, time_code_pictures;
  int32_t closed_gop, broken_link;  // read by the caller after parse_gop_header
};

// What the GOP scan needs of the stream, fixed when the file is opened.
struct FrameRateRecord {
  uint32_t frame_rate_numerator;    // including the MPEG-2 extension factors
  uint32_t frame_rate_denominator;
  int64_t base_frame_number;        // 0
  int32_t top_field_first;          // of the first picture after opening
  int32_t progressive_sequence;     // 1 for MPEG-1
};

// Inverse-quantisation tables: the weighting matrices in raster order, and
// for every quantiser_scale_code the same matrices multiplied by its scale.
enum { INTRA_LUMA = 0, NON_INTRA_LUMA = 1, INTRA_CHROMA = 2, NON_INTRA_CHROMA = 3 };
struct QuantTables {
  int16_t matrices[4][64];
  int16_t scaled[32][4][64];
};

// Per-picture macroblock parameters (the slice decoder picks its
// macroblock_type table from them).
struct MacroblockParams {
  int32_t mpeg1;
  int32_t chroma_format;
  int32_t scalable_mode;  // -1 without a sequence scalable extension
  int32_t picture_coding_type;
  int32_t picture_structure;
  int32_t top_field_first;
  int32_t frame_pred_frame_dct;
  int32_t concealment_motion_vectors;
  int32_t f_code[2][2];
  int32_t full_pel_forward_vector, full_pel_backward_vector;  // 0 for MPEG-2
  int32_t spatial_temporal_weight_code_table_index;
  int32_t has_spatial_scalable_extension;
};

// Slice decoding state, filled per sequence by setup_sequence and per picture
// by setup_picture. 16-byte aligned so the block work area suits vector code.
struct alignas(16) SliceState {
  int16_t coefficients[64];  // the block being decoded, raster order
  // Where its coded coefficients lie, each once, in the order decoded.
  uint8_t coded_positions[64];
  int32_t coded_count;
  QuantTables quant_tables;
  // The four tables of the current quantiser_scale_code (into quant_tables.scaled).
  const int16_t* intra_luma_q;
  const int16_t* non_intra_luma_q;
  const int16_t* intra_chroma_q;
  const int16_t* non_intra_chroma_q;
  int32_t chroma_format;  // 1 4:2:0, 2 4:2:2, 3 4:4:4
  int32_t picture_structure, intra_dc_precision, intra_vlc_format, alternate_scan, q_scale_type;
  int32_t macroblock_intra, dct_type;
  int32_t dc_pred[3];
  int32_t second_field;  // toggled by each field picture, cleared by frame pictures
  MacroblockParams mb_params;
  int32_t vertical_size_for_slices;
  int32_t scalable_mode;
};

// What travels with a picture from decoding to display.
struct DisplayRecord {
  int64_t display_index;
  int32_t picture_coding_type;
  int32_t repeat_first_field;
  int32_t top_field_first;
  int32_t progressive_frame;
  int32_t complete;  // every slice of the picture (both fields) was decoded
};

// Output pictures in display order; see display.h.
const int kDisplayQueueCapacity = 21;
struct DisplayQueue {
  int32_t count;
  DisplayRecord records[kDisplayQueueCapacity];
  Picture* pictures[kDisplayQueueCapacity];
};

enum { FORWARD_REFERENCE = 0, BACKWARD_REFERENCE = 1, CURRENT_PICTURE = 2 };
enum { OLDER_RECORD = 0, NEWER_RECORD = 1, DECODING_RECORD = 2 };

struct DecoderContext {
  // Sequence header and extensions: fixed for the file.
  int32_t horizontal_size, vertical_size;
  int32_t coded_width, coded_height;
  int32_t aspect_ratio_information, frame_rate_code;
  int32_t bit_rate_value;  // units of 400 bit/s
  int32_t vbv_buffer_size_value;
  int32_t constrained_parameters_flag;
  int32_t load_intra_quantiser_matrix;
  uint16_t intra_quantiser_matrix[64];  // zigzag order as read
  int32_t load_non_intra_quantiser_matrix;
  uint16_t non_intra_quantiser_matrix[64];
  int32_t mpeg2;  // a sequence extension was seen
  int32_t profile_and_level_indication, progressive_sequence, chroma_format, low_delay;
  int32_t frame_rate_extension_n, frame_rate_extension_d;
  int32_t has_display_extension, video_format, colour_description;
  int32_t colour_primaries, transfer_characteristics, matrix_coefficients;
  int32_t display_horizontal_size, display_vertical_size;
  int32_t has_scalable_extension, scalable_mode, layer_id;
  int32_t lower_layer_prediction_horizontal_size, lower_layer_prediction_vertical_size;
  int32_t horizontal_subsampling_factor_m, horizontal_subsampling_factor_n;
  int32_t vertical_subsampling_factor_m, vertical_subsampling_factor_n;
  int32_t picture_mux_enable, mux_to_progressive_sequence, picture_mux_order, picture_mux_factor;

  // The picture being parsed or decoded.
  PictureHeader picture;

  // Positioning: the stream's frame rate and the last GOP scan's results
  // (restart token, display number of the GOP's I picture, decodable count).
  FrameRateRecord frame_rate;
  int64_t gop_scan[3];

  // Decoding: forward reference, backward reference, picture being decoded.
  Picture* reference_pictures[3];
  SliceState slice_state;

  // Display: records of the older and newer reference and of the picture
  // being decoded, the queue of output pictures, the render target, and the
  // last output I picture's index and its distance from the one before.
  DisplayRecord display_records[3];
  DisplayQueue display_queue;
  int64_t target_display_index;
  int64_t last_i_display_index;
  int64_t i_picture_distance;
  uint32_t display_frame_rate_numerator, display_frame_rate_denominator;

  // The C heap of 32-bit Windows aligns to 8 bytes, while the compiler moves
  // the slice state with 16-byte aligned vector stores.
  static void* operator new(size_t bytes) {
    void* context = big_block_new(bytes);
    if (!context) throw std::bad_alloc();
    return context;
  }
  static void* operator new(size_t bytes, const std::nothrow_t&) noexcept { return big_block_new(bytes); }
  static void operator delete(void* context, size_t bytes) noexcept {
    big_block_free(static_cast<uint8_t*>(context), bytes);
  }
};
