// The GOP scan's picture counting on hand-made streams: leading B pictures
// of open, closed and broken GOPs, repeated fields, and the check of the
// count against the next GOP's time code.
#include "mpeg/gop_scan.h"

#include <gtest/gtest.h>

#include "tests/mpeg/stream_builder.h"

namespace {

void put_gop(BitWriter& w, int pictures, int closed_gop, int broken_link) {
  w.start_code(0xB8);
  w.put(0, 1);   // drop_frame_flag
  w.put(0, 5);   // hours
  w.put(0, 6);   // minutes
  w.put(1, 1);   // marker_bit
  w.put(1, 6);   // seconds
  w.put(pictures, 6);
  w.put(closed_gop, 1);
  w.put(broken_link, 1);
}

// One frame picture: 'I', 'P', 'B'; lower case repeats its first field.
void put_picture(BitWriter& w, char kind, int top_field_first) {
  int type = (kind | 0x20) == 'i' ? 1 : (kind | 0x20) == 'p' ? 2 : 3;
  w.start_code(0x00);
  w.put(0, 10);
  w.put(type, 3);
  w.put(0xFFFF, 16);
  if (type > 1) w.put(0x7, 4);
  if (type > 2) w.put(0x7, 4);
  w.put(0, 1);
  w.start_code(0xB5);
  w.put(8, 4);
  w.put(0x2222, 16);  // f_codes
  w.put(0, 2);
  w.put(3, 2);        // frame picture
  w.put(top_field_first, 1);
  w.put(0, 5);
  w.put(kind >= 'a', 1);  // repeat_first_field
  w.put(0, 1);
  w.put(1, 1);
  w.put(0, 1);
  w.start_code(0x01);  // a slice
  w.put(0x55, 8);
}

TEST(GopScan, CountsPicturesInDisplayOrder) {
  struct Case {
    const char* name;
    const char* first_gop;
    int closed_gop, broken_link;
    int second_gop_pictures;  // time code of the next GOP (the first is 00:00:01:00)
    const char* second_gop;
    int ok;
    int64_t display_number, decodable;
  } cases[] = {
      {"closed, B after P", "IPBB", 0, 0, 4, "IBBP", 1, 25, 6},
      {"open: leading B pictures count before the I", "IBBPBB", 0, 0, 6, "IP", 1, 27, 4},
      {"closed: leading B pictures decodable", "IBBPBB", 1, 0, 6, "IP", 1, 25, 6},
      {"broken link: leading B pictures not counted", "IBBPBB", 0, 1, 4, "IP", 1, 25, 4},
      {"repeated first field counts twice", "iPBB", 0, 0, 5, "IBBP", 1, 25, 7},
      {"time code disagrees with the count (3:2 pulldown)", "IPBB", 0, 0, 5, "IBBP", 1, 25, 6},
      {"GOP must start with an I picture", "PIBB", 0, 0, 4, "IP", 0, 0, 0},
      {"second I picture in a GOP", "IPIP", 0, 0, 4, "IP", 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    BitWriter w;
    put_gop(w, 0, c.closed_gop, c.broken_link);
    for (const char* k = c.first_gop; *k; ++k) put_picture(w, *k, 1);
    put_gop(w, c.second_gop_pictures, 0, 0);
    for (const char* k = c.second_gop; *k; ++k) put_picture(w, *k, 1);
    w.start_code(0xB7);
    OpenReader in(write_elementary("gop_scan.m2v", w.bytes), false);
    FrameRateRecord rate = {25, 1, 0, 1, 0};
    int64_t result[3] = {0, 0, 0};
    ASSERT_EQ(scan_gop(in.r, in.pos, rate, result), c.ok);
    if (!c.ok) continue;
    EXPECT_EQ(result[GOP_I_DISPLAY_NUMBER], c.display_number);
    EXPECT_EQ(result[GOP_DECODABLE_PICTURES], c.decodable);
    // The restart point is the GOP header at the start of the file.
    in.pos = seek_token(in.r, static_cast<uint64_t>(result[GOP_RESTART_TOKEN]));
    EXPECT_EQ(in.pos, 0u);
    EXPECT_EQ(in.next(), 0xB8);
  }
}

}  // namespace
