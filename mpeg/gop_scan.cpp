// GOP scan for positioning.
#include "mpeg/gop_scan.h"

#include "mpeg/headers.h"

uint32_t whole_frames_per_second(uint32_t numerator, uint32_t denominator) {
  if (denominator == 0) return 0;
  return static_cast<uint32_t>((static_cast<uint64_t>(numerator) + denominator - 1) / denominator);
}

int64_t gop_frame_number(const GopHeader& g, uint32_t fps) {
  int64_t seconds = static_cast<int64_t>(g.time_code_hours) * 3600 + g.time_code_minutes * 60 +
                    g.time_code_seconds;
  int64_t frames = seconds * fps + g.time_code_pictures;
  if (g.drop_frame_flag) {
    int64_t minutes = static_cast<int64_t>(g.time_code_hours) * 60 + g.time_code_minutes;
    frames -= 2 * (minutes - minutes / 10);
  }
  return frames;
}

namespace {

bool next_code(Reader& r, uint32_t& pos, uint32_t& code) {
  code = 0;
  return next_start_code(r, pos, reader_budget(r, kSearchBudget), code) != 0;
}

bool read_gop(Reader& r, uint32_t& pos, GopHeader& gop) {
  if (!parse_gop_header(r, pos, gop)) return false;
  gop.closed_gop = static_cast<int32_t>(get_bits(r, pos, 1) & 1);
  gop.broken_link = static_cast<int32_t>(get_bits(r, pos, 1) & 1);
  return pos != kReaderFailed;
}

bool is_field_picture(const PictureHeader& h) {
  return h.has_coding_extension && h.picture_structure != 3;
}

}  // namespace

int scan_gop(Reader& r, uint32_t& pos, const FrameRateRecord& rate, int64_t result[3], int64_t search_end) {
  // 1. The next GOP header, and the sequence header right before it.
  uint64_t sequence_token = 0;
  bool have_sequence = false;
  uint32_t code;
  for (;;) {
    if (!next_code(r, pos, code)) return 0;
    if (search_end >= 0 && static_cast<int64_t>(r.buffer_offset + pos) - 4 > search_end) return 0;
    if (code == GROUP_START_CODE) break;
    have_sequence = code == SEQUENCE_HEADER_CODE;
    if (have_sequence) sequence_token = stream_token(r, pos - 4);
  }
  uint64_t restart = have_sequence ? sequence_token : stream_token(r, pos - 4);
  const uint64_t count_end = r.buffer_offset + pos + kGopScanReach;

  GopHeader first, second = GopHeader();
  if (!read_gop(r, pos, first)) return 0;
  int32_t closed_gop = first.closed_gop;
  int32_t broken_link = first.broken_link;

  // 2. Count the pictures in display order until the next GOP's I picture
  // and its first P picture show where this period ends.
  int state = 0;
  int64_t c[5] = {0, 0, 0, 0, 0};
  uint32_t last_code = GROUP_START_CODE;
  PictureHeader h;
  while (state != 5 && next_code(r, pos, code)) {
    if (r.buffer_offset + pos > count_end) break;
    last_code = code;
    if (code == GROUP_START_CODE) {
      if (state == 4) {
        state = 5;
        continue;
      }
      if (!read_gop(r, pos, second) || state == 0) return 0;
      state = second.closed_gop ? 5 : 3;
      continue;
    }
    if (code != PICTURE_START_CODE) continue;

    if (!parse_picture_header(r, pos, h, rate.progressive_sequence)) return 0;
    if (is_field_picture(h)) {
      // The second field of the frame must follow as a field picture.
      PictureHeader second_field;
      do {
        if (!next_code(r, pos, code)) return 0;
      } while (code != PICTURE_START_CODE);
      if (!parse_picture_header(r, pos, second_field, rate.progressive_sequence) ||
          !is_field_picture(second_field))
        return 0;
    }
    int64_t d = h.has_coding_extension && h.repeat_first_field &&
                        h.top_field_first == rate.top_field_first
                    ? 2
                    : 1;
    int type = h.picture_coding_type;
    if (type < 1 || type > 3) return 0;
    switch (state) {
      case 0:
        if (type != 1) return 0;
        c[0] += d;
        state = 1;
        break;
      case 1:
        if (type == 1) return 0;
        if (type == 2) {
          closed_gop = broken_link = 0;
          c[2] += d;
          state = 2;
        } else if (!broken_link) {
          c[closed_gop ? 0 : 1] += d;
        }
        break;
      case 2:
        if (type == 1) return 0;
        c[2] += d;
        break;
      case 3:
        if (type != 1) return 0;
        c[3] += d;
        state = 4;
        break;
      case 4:
        if (type == 1) return 0;
        if (type == 2) state = 5;
        else if (!second.broken_link) c[4] += d;
        break;
    }
  }

  uint32_t fps = whole_frames_per_second(rate.frame_rate_numerator, rate.frame_rate_denominator);
  int64_t t1 = gop_frame_number(first, fps);
  // The pictures counted need not match the next GOP's time code: 3:2
  // pulldown encoders count coded frames in it while the frame rate says
  // 29.97. The I picture is then numbered by its own GOP's time code.
  if (state != 5 && last_code != SEQUENCE_END_CODE) c[2] -= 2;
  result[GOP_RESTART_TOKEN] = static_cast<int64_t>(restart);
  result[GOP_I_DISPLAY_NUMBER] = t1 - rate.base_frame_number + c[1];
  result[GOP_DECODABLE_PICTURES] = c[0] + c[2] + c[4];
  return 1;
}
