#include "control/position_math.h"

#include <gtest/gtest.h>

namespace {

TEST(ScrolledPermille, EachCodeAtTheEdges) {
  struct Case {
    int code, d, thumb, bar, result;
  } cases[] = {
      {SCROLL_LINE_LEFT, 0, 0, 0, 0},
      {SCROLL_LINE_LEFT, 10, 0, 0, 9},
      {SCROLL_LINE_RIGHT, 1000, 0, 0, 1000},
      {SCROLL_LINE_RIGHT, 999, 0, 0, 1000},
      {SCROLL_PAGE_LEFT, 4, 0, 0, 0},
      {SCROLL_PAGE_LEFT, 5, 0, 0, 0},
      {SCROLL_PAGE_LEFT, 6, 0, 0, 1},
      {SCROLL_PAGE_RIGHT, 995, 0, 0, 1000},
      {SCROLL_PAGE_RIGHT, 996, 0, 0, 1000},
      {SCROLL_PAGE_RIGHT, 990, 0, 0, 995},
      {SCROLL_LEFT, 500, 0, 0, 0},
      {SCROLL_RIGHT, 500, 0, 0, 1000},
      {SCROLL_THUMB_TRACK, 5, 321, 0, 321},
      {SCROLL_THUMB_POSITION, 5, 654, 0, 654},
      {SCROLL_END, 5, 0, 77, 77},
      {42, 5, 1, 2, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "code " << c.code << " at " << c.d);
    EXPECT_EQ(ScrolledPermille(c.code, c.d, c.thumb, c.bar), c.result);
  }
}

TEST(OffsetForPermille, RoundsDownTo32KiB) {
  EXPECT_EQ(OffsetForPermille(500, 1000000000), 499974144u);
  EXPECT_EQ(OffsetForPermille(500, 0), 0u);
  EXPECT_EQ(OffsetForPermille(0, 1000000000), 0u);
  EXPECT_EQ(OffsetForPermille(1000, 65536), 65536u);
  EXPECT_EQ(OffsetForPermille(1000, 65535), 32768u);
  // A 40 GB recording: no 32-bit overflow on the way.
  EXPECT_EQ(OffsetForPermille(999, 40000000000ull), 39960000000ull & ~32767ull);
}

TEST(FilledWidth, ScalesTheWritePositionToTheRing) {
  const uint64_t end = (1ull << 28) - 524288;
  const uint64_t length = (1ull << 28) - 1;
  EXPECT_EQ(FilledWidth(338, 0, end, length), 0);
  EXPECT_EQ(FilledWidth(338, end / 2, end, length), 169);
  EXPECT_EQ(FilledWidth(338, end, end, length), 338);
  EXPECT_EQ(FilledWidth(338, end / 2, end, 0), 0) << "unknown file length";
  EXPECT_EQ(FilledWidth(338, end * 2, end, length), 338) << "never past the frame";
  EXPECT_EQ(FilledWidth(338, 5, 0, length), 0) << "no division by a zero ring end";
}

TEST(OverlayOrigin, TwoPixelsInsideTheTrackOrAtTwoTwo) {
  ScreenPoint at = OverlayOrigin(true, 100, 400);
  EXPECT_EQ(at.x, 102);
  EXPECT_EQ(at.y, 402);
  at = OverlayOrigin(false, 100, 400);
  EXPECT_EQ(at.x, 2);
  EXPECT_EQ(at.y, 2);
}

}  // namespace
