// Sequence, GOP and picture header parsing and the decoder set-up.
#include "mpeg/headers.h"

#include <cstdint>
#include <cstring>

#include "mpeg/limits.h"

namespace {

const uint8_t kZigzag[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

// ISO/IEC 13818-2 default intra matrix, raster order.
const uint8_t kDefaultIntraMatrix[64] = {
    8,  16, 19, 22, 26, 27, 29, 34, 16, 16, 22, 24, 27, 29, 34, 37,
    19, 22, 26, 27, 29, 34, 34, 38, 22, 22, 26, 27, 29, 34, 37, 40,
    22, 26, 27, 29, 32, 35, 40, 48, 26, 27, 29, 32, 35, 40, 48, 58,
    26, 27, 29, 34, 38, 46, 56, 69, 27, 29, 35, 38, 46, 56, 69, 83};

const uint8_t kNonLinearScale[32] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  10, 12,
                                     14, 16, 18, 20, 22, 24, 28, 32, 36, 40, 44,
                                     48, 52, 56, 64, 72, 80, 88, 96, 104, 112};

const uint32_t kFrameRate[16][2] = {{0, 1},  {24000, 1001}, {24, 1}, {25, 1},
                                    {30000, 1001}, {30, 1}, {50, 1}, {60000, 1001},
                                    {60, 1}, {0, 1}, {0, 1}, {0, 1},
                                    {0, 1},  {0, 1}, {0, 1}, {0, 1}};

// A field of n bits; past the end of the data it reads as all ones.
int32_t bits(Reader& r, uint32_t& pos, int n) {
  return static_cast<int32_t>(get_bits(r, pos, n) & ((1u << n) - 1));
}

void read_matrix(Reader& r, uint32_t& pos, uint16_t* matrix) {
  for (int i = 0; i < 64; ++i) matrix[i] = static_cast<uint16_t>(get_bits(r, pos, 8));
}

void parse_sequence_extension(Reader& r, uint32_t& pos, DecoderContext& c) {
  c.mpeg2 = 1;
  c.profile_and_level_indication = bits(r, pos, 8);
  c.progressive_sequence = bits(r, pos, 1);
  c.chroma_format = bits(r, pos, 2);
  // The high bits go onto the sequence header's own: a repeated extension
  // replaces them, never adds them again (and overflows).
  c.horizontal_size = (c.horizontal_size & 0xFFF) | bits(r, pos, 2) << 12;
  c.vertical_size = (c.vertical_size & 0xFFF) | bits(r, pos, 2) << 12;
  c.bit_rate_value = (c.bit_rate_value & 0x3FFFF) | bits(r, pos, 12) << 18;
  bits(r, pos, 1);  // marker_bit
  c.vbv_buffer_size_value = (c.vbv_buffer_size_value & 0x3FF) | bits(r, pos, 8) << 10;
  c.low_delay = bits(r, pos, 1);
  c.frame_rate_extension_n = bits(r, pos, 2);
  c.frame_rate_extension_d = bits(r, pos, 5);
}

void parse_sequence_display_extension(Reader& r, uint32_t& pos, DecoderContext& c) {
  c.has_display_extension = 1;
  c.video_format = bits(r, pos, 3);
  c.colour_description = bits(r, pos, 1);
  if (c.colour_description) {
    c.colour_primaries = bits(r, pos, 8);
    c.transfer_characteristics = bits(r, pos, 8);
    c.matrix_coefficients = bits(r, pos, 8);
  }
  c.display_horizontal_size = bits(r, pos, 14);
  bits(r, pos, 1);  // marker_bit
  c.display_vertical_size = bits(r, pos, 14);
}

void parse_sequence_scalable_extension(Reader& r, uint32_t& pos, DecoderContext& c) {
  c.has_scalable_extension = 1;
  c.scalable_mode = bits(r, pos, 2);
  c.layer_id = bits(r, pos, 4);
  if (c.scalable_mode == 1) {  // spatial scalability
    c.lower_layer_prediction_horizontal_size = bits(r, pos, 14);
    bits(r, pos, 1);  // marker_bit
    c.lower_layer_prediction_vertical_size = bits(r, pos, 14);
    c.horizontal_subsampling_factor_m = bits(r, pos, 5);
    c.horizontal_subsampling_factor_n = bits(r, pos, 5);
    c.vertical_subsampling_factor_m = bits(r, pos, 5);
    c.vertical_subsampling_factor_n = bits(r, pos, 5);
  } else if (c.scalable_mode == 3) {  // temporal scalability
    c.picture_mux_enable = bits(r, pos, 1);
    if (c.picture_mux_enable) c.mux_to_progressive_sequence = bits(r, pos, 1);
    c.picture_mux_order = bits(r, pos, 3);
    c.picture_mux_factor = bits(r, pos, 3);
  }
}

void parse_quant_matrix_extension(Reader& r, uint32_t& pos, PictureHeader& h) {
  h.has_quant_matrix_extension = 1;
  if ((h.load_intra_quantiser_matrix = bits(r, pos, 1))) read_matrix(r, pos, h.intra_quantiser_matrix);
  if ((h.load_non_intra_quantiser_matrix = bits(r, pos, 1)))
    read_matrix(r, pos, h.non_intra_quantiser_matrix);
  if ((h.load_chroma_intra_quantiser_matrix = bits(r, pos, 1)))
    read_matrix(r, pos, h.chroma_intra_quantiser_matrix);
  if ((h.load_chroma_non_intra_quantiser_matrix = bits(r, pos, 1)))
    read_matrix(r, pos, h.chroma_non_intra_quantiser_matrix);
}

void parse_picture_display_extension(Reader& r, uint32_t& pos, PictureHeader& h,
                                     int32_t progressive_sequence) {
  h.has_display_extension = 1;
  int n;
  if (progressive_sequence) n = h.repeat_first_field ? (h.top_field_first ? 3 : 2) : 1;
  else if (h.picture_structure != 3) n = 1;
  else n = h.repeat_first_field ? 3 : 2;
  h.number_of_frame_centre_offsets = n;
  for (int i = 0; i < n; ++i) {
    h.frame_centre_horizontal_offset[i] = static_cast<int16_t>(get_bits(r, pos, 16));
    bits(r, pos, 1);  // marker_bit
    h.frame_centre_vertical_offset[i] = static_cast<int16_t>(get_bits(r, pos, 16));
    bits(r, pos, 1);  // marker_bit
  }
}

void parse_picture_coding_extension(Reader& r, uint32_t& pos, PictureHeader& h) {
  h.has_coding_extension = 1;
  h.f_code[0][0] = bits(r, pos, 4);
  h.f_code[0][1] = bits(r, pos, 4);
  h.f_code[1][0] = bits(r, pos, 4);
  h.f_code[1][1] = bits(r, pos, 4);
  h.intra_dc_precision = bits(r, pos, 2);
  h.picture_structure = bits(r, pos, 2);
  h.top_field_first = bits(r, pos, 1);
  h.frame_pred_frame_dct = bits(r, pos, 1);
  h.concealment_motion_vectors = bits(r, pos, 1);
  h.q_scale_type = bits(r, pos, 1);
  h.intra_vlc_format = bits(r, pos, 1);
  h.alternate_scan = bits(r, pos, 1);
  h.repeat_first_field = bits(r, pos, 1);
  h.chroma_420_type = bits(r, pos, 1);
  h.progressive_frame = bits(r, pos, 1);
  h.composite_display_flag = bits(r, pos, 1);
  if (h.composite_display_flag) {
    h.v_axis = bits(r, pos, 1);
    h.field_sequence = bits(r, pos, 3);
    h.sub_carrier = bits(r, pos, 1);
    h.burst_amplitude = bits(r, pos, 7);
    h.sub_carrier_phase = bits(r, pos, 8);
  }
}

void parse_picture_spatial_scalable_extension(Reader& r, uint32_t& pos, PictureHeader& h) {
  h.has_spatial_scalable_extension = 1;
  h.lower_layer_temporal_reference = bits(r, pos, 10);
  bits(r, pos, 1);  // marker_bit
  h.lower_layer_horizontal_offset = bits(r, pos, 15);
  bits(r, pos, 1);  // marker_bit
  h.lower_layer_vertical_offset = bits(r, pos, 15);
  h.spatial_temporal_weight_code_table_index = bits(r, pos, 2);
  h.lower_layer_progressive_frame = bits(r, pos, 1);
  h.lower_layer_deinterlaced_field_select = bits(r, pos, 1);
}

void parse_picture_temporal_scalable_extension(Reader& r, uint32_t& pos, PictureHeader& h) {
  h.has_temporal_scalable_extension = 1;
  h.reference_select_code = bits(r, pos, 2);
  h.forward_temporal_reference = bits(r, pos, 10);
  bits(r, pos, 1);  // marker_bit
  h.backward_temporal_reference = bits(r, pos, 10);
}

void parse_copyright_extension(Reader& r, uint32_t& pos, PictureHeader& h) {
  h.has_copyright_extension = 1;
  h.copyright_flag = bits(r, pos, 1);
  h.copyright_identifier = bits(r, pos, 8);
  h.original_or_copy = bits(r, pos, 1);
  bits(r, pos, 7);  // reserved
  bits(r, pos, 1);  // marker_bit
  h.copyright_number_1 = bits(r, pos, 20);
  bits(r, pos, 1);  // marker_bit
  h.copyright_number_2 = bits(r, pos, 22);
  bits(r, pos, 1);  // marker_bit
  h.copyright_number_3 = bits(r, pos, 22);
}

// A matrix as read (zigzag order) into raster order.
void unzigzag(const uint16_t* read, int16_t* raster) {
  for (int i = 0; i < 64; ++i) raster[kZigzag[i]] = static_cast<int16_t>(read[i]);
}

}  // namespace

int parse_sequence_header(Reader& r, uint32_t& pos, DecoderContext& c) {
  c.horizontal_size = bits(r, pos, 12);
  c.vertical_size = bits(r, pos, 12);
  c.aspect_ratio_information = bits(r, pos, 4);
  c.frame_rate_code = bits(r, pos, 4);
  c.bit_rate_value = bits(r, pos, 18);
  bits(r, pos, 1);  // marker_bit
  c.vbv_buffer_size_value = bits(r, pos, 10);
  c.constrained_parameters_flag = bits(r, pos, 1);
  if ((c.load_intra_quantiser_matrix = bits(r, pos, 1))) read_matrix(r, pos, c.intra_quantiser_matrix);
  if ((c.load_non_intra_quantiser_matrix = bits(r, pos, 1)))
    read_matrix(r, pos, c.non_intra_quantiser_matrix);
  if (pos == kReaderFailed) return 0;

  for (;;) {
    uint32_t code = 0;
    if (!next_start_code(r, pos, reader_budget(r, kSearchBudget), code)) break;
    if (code != EXTENSION_START_CODE) break;
    switch (bits(r, pos, 4)) {
      case 1: parse_sequence_extension(r, pos, c); break;
      case 2: parse_sequence_display_extension(r, pos, c); break;
      case 5: parse_sequence_scalable_extension(r, pos, c); break;
      default: break;
    }
  }
  c.coded_width = (c.horizontal_size + 15) & ~15;
  bool frame_rows = !c.mpeg2 || c.progressive_sequence;
  c.coded_height = frame_rows ? (c.vertical_size + 15) & ~15 : (c.vertical_size + 31) & ~31;
  return 1;
}

int parse_gop_header(Reader& r, uint32_t& pos, GopHeader& gop) {
  gop.drop_frame_flag = bits(r, pos, 1);
  gop.time_code_hours = bits(r, pos, 5);
  gop.time_code_minutes = bits(r, pos, 6);
  bits(r, pos, 1);  // marker_bit
  gop.time_code_seconds = bits(r, pos, 6);
  gop.time_code_pictures = bits(r, pos, 6);
  return pos != kReaderFailed;
}

int parse_picture_header(Reader& r, uint32_t& pos, PictureHeader& h, int32_t progressive_sequence) {
  memset(&h, 0, sizeof h);
  h.temporal_reference = bits(r, pos, 10);
  h.picture_coding_type = bits(r, pos, 3);
  h.vbv_delay = bits(r, pos, 16);
  if (h.picture_coding_type == 2 || h.picture_coding_type == 3) {
    h.full_pel_forward_vector = bits(r, pos, 1);
    h.forward_f_code = bits(r, pos, 3);
  }
  if (h.picture_coding_type == 3) {
    h.full_pel_backward_vector = bits(r, pos, 1);
    h.backward_f_code = bits(r, pos, 3);
  }
  // extra_information_picture; a run of ones ends at the data's end too.
  while (pos != kReaderFailed && get_bits(r, pos, 1) == 1) get_bits(r, pos, 8);
  if (pos == kReaderFailed) return 0;

  // The MPEG-1 values, replaced by a picture coding extension.
  h.f_code[0][0] = h.f_code[0][1] = h.forward_f_code;
  h.f_code[1][0] = h.f_code[1][1] = h.backward_f_code;
  h.picture_structure = 3;
  h.frame_pred_frame_dct = 1;
  h.progressive_frame = 1;

  for (;;) {
    uint32_t code = 0;
    if (!next_start_code(r, pos, reader_budget(r, kSearchBudget), code)) break;
    if (code == USER_DATA_START_CODE) continue;
    if (code != EXTENSION_START_CODE) {
      pos -= 4;  // the caller's next search finds this code again
      break;
    }
    switch (bits(r, pos, 4)) {
      case 3: parse_quant_matrix_extension(r, pos, h); break;
      case 4: parse_copyright_extension(r, pos, h); break;
      case 7: parse_picture_display_extension(r, pos, h, progressive_sequence); break;
      case 8: parse_picture_coding_extension(r, pos, h); break;
      case 9: parse_picture_spatial_scalable_extension(r, pos, h); break;
      case 10: parse_picture_temporal_scalable_extension(r, pos, h); break;
      default: break;
    }
  }
  return 1;
}

int32_t quantiser_scale(int32_t q_scale_type, int32_t code) {
  code &= 31;
  return q_scale_type ? kNonLinearScale[code] : 2 * code;
}

void sequence_frame_rate(const DecoderContext& c, uint32_t& numerator, uint32_t& denominator) {
  numerator = kFrameRate[c.frame_rate_code & 15][0];
  denominator = kFrameRate[c.frame_rate_code & 15][1];
  if (c.mpeg2) {
    numerator *= static_cast<uint32_t>(c.frame_rate_extension_n + 1);
    denominator *= static_cast<uint32_t>(c.frame_rate_extension_d + 1);
  }
}

uint32_t sequence_bit_rate(const DecoderContext& c) {
  // 30 bits of 400 bit/s (with bit_rate_extension) do not fit 32 bits.
  const uint64_t rate = static_cast<uint64_t>(static_cast<uint32_t>(c.bit_rate_value)) * 400u;
  return rate > UINT32_MAX ? UINT32_MAX : static_cast<uint32_t>(rate);
}

int setup_sequence(DecoderContext& c, SliceState& s) {
  if (c.horizontal_size <= 0 || c.vertical_size <= 0) return 0;
  if (c.coded_width > kMaxCodedSize || c.coded_height > kMaxCodedSize) return 0;
  int32_t chroma_format = c.mpeg2 ? c.chroma_format : 1;
  if (chroma_format < 1 || chroma_format > 3) return 0;  // 0 is reserved

  s.vertical_size_for_slices = c.vertical_size;
  s.scalable_mode = c.has_scalable_extension ? c.scalable_mode : -1;
  s.chroma_format = chroma_format;
  s.mb_params.mpeg1 = !c.mpeg2;
  s.mb_params.chroma_format = chroma_format;
  s.mb_params.scalable_mode = s.scalable_mode;
  load_quant_matrices(c, s.quant_tables);
  s.intra_luma_q = s.quant_tables.scaled[0][INTRA_LUMA];
  s.non_intra_luma_q = s.quant_tables.scaled[0][NON_INTRA_LUMA];
  s.intra_chroma_q = s.quant_tables.scaled[0][INTRA_CHROMA];
  s.non_intra_chroma_q = s.quant_tables.scaled[0][NON_INTRA_CHROMA];
  return 1;
}

void load_quant_matrices(const DecoderContext& c, QuantTables& t) {
  if (c.load_intra_quantiser_matrix) {
    unzigzag(c.intra_quantiser_matrix, t.matrices[INTRA_LUMA]);
  } else {
    for (int i = 0; i < 64; ++i) t.matrices[INTRA_LUMA][i] = kDefaultIntraMatrix[i];
  }
  if (c.load_non_intra_quantiser_matrix) {
    unzigzag(c.non_intra_quantiser_matrix, t.matrices[NON_INTRA_LUMA]);
  } else {
    for (int i = 0; i < 64; ++i) t.matrices[NON_INTRA_LUMA][i] = 16;
  }
  memcpy(t.matrices[INTRA_CHROMA], t.matrices[INTRA_LUMA], sizeof t.matrices[0]);
  memcpy(t.matrices[NON_INTRA_CHROMA], t.matrices[NON_INTRA_LUMA], sizeof t.matrices[0]);
}

void setup_picture(const PictureHeader& h, SliceState& s) {
  s.picture_structure = h.picture_structure;
  s.intra_dc_precision = h.intra_dc_precision;
  s.intra_vlc_format = h.intra_vlc_format;
  s.alternate_scan = h.alternate_scan;
  s.q_scale_type = h.q_scale_type;
  s.second_field = h.picture_structure != 3 ? !s.second_field : 0;

  MacroblockParams& m = s.mb_params;
  m.picture_coding_type = h.picture_coding_type;
  m.picture_structure = h.picture_structure;
  m.top_field_first = h.top_field_first;
  m.frame_pred_frame_dct = h.frame_pred_frame_dct;
  m.concealment_motion_vectors = h.concealment_motion_vectors;
  memcpy(m.f_code, h.f_code, sizeof m.f_code);
  m.full_pel_forward_vector = h.has_coding_extension ? 0 : h.full_pel_forward_vector;
  m.full_pel_backward_vector = h.has_coding_extension ? 0 : h.full_pel_backward_vector;
  m.has_spatial_scalable_extension = h.has_spatial_scalable_extension;
  m.spatial_temporal_weight_code_table_index =
      h.has_spatial_scalable_extension ? h.spatial_temporal_weight_code_table_index : 0;

  QuantTables& t = s.quant_tables;
  if (h.has_quant_matrix_extension) {
    if (h.load_intra_quantiser_matrix) unzigzag(h.intra_quantiser_matrix, t.matrices[INTRA_LUMA]);
    if (h.load_non_intra_quantiser_matrix)
      unzigzag(h.non_intra_quantiser_matrix, t.matrices[NON_INTRA_LUMA]);
    if (h.load_chroma_intra_quantiser_matrix)
      unzigzag(h.chroma_intra_quantiser_matrix, t.matrices[INTRA_CHROMA]);
    else
      memcpy(t.matrices[INTRA_CHROMA], t.matrices[INTRA_LUMA], sizeof t.matrices[0]);
    if (h.load_chroma_non_intra_quantiser_matrix)
      unzigzag(h.chroma_non_intra_quantiser_matrix, t.matrices[NON_INTRA_CHROMA]);
    else
      memcpy(t.matrices[NON_INTRA_CHROMA], t.matrices[NON_INTRA_LUMA], sizeof t.matrices[0]);
  }
  for (int code = 0; code < 32; ++code) {
    int32_t scale = quantiser_scale(h.q_scale_type, code);
    for (int k = 0; k < 4; ++k)
      for (int i = 0; i < 64; ++i)
        t.scaled[code][k][i] = static_cast<int16_t>(t.matrices[k][i] * scale);
  }
}
