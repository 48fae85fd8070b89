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

TEST(PreviewSize, TwoHundredFortyRowsBelowFourHundredEightyElseHalf) {
  struct Case { int32_t width, height; int w, h; };
  const Case cases[] = {
      {720, -480, 360, 240}, {720, -576, 360, 288}, {1280, -720, 640, 360},
      {352, -240, 352, 240}, {720, 479, 360, 240},  {1920, -1080, 960, 540},
      {0, -480, 0, 0},       {720, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.width << "x" << c.height);
    PictureSize size = PreviewSizeFor(c.width, c.height);
    EXPECT_EQ(size.width, c.w);
    EXPECT_EQ(size.height, c.h);
  }
}

TEST(PreviewOrigin, CentredAboveTheWindowOrBelowItAtTheTopOfTheScreen) {
  // Control window 400 wide at (100, 500)-(500, 600); preview 360 x 240 with a 6 x 25 frame.
  ScreenPoint above = PreviewOrigin(100, 500, 400, 600, 360, 240, 6, 25);
  EXPECT_EQ(above.x, 100 + (400 - 360 - 6) / 2);
  EXPECT_EQ(above.y, 500 - 25 - 240);
  ScreenPoint below = PreviewOrigin(100, 0, 400, 100, 360, 240, 6, 25);
  EXPECT_EQ(below.y, 100);
  EXPECT_EQ(PreviewOrigin(100, 265, 400, 365, 360, 240, 0, 25).y, 0);  // just fits above
}
