#include "input/frame_layout.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(FrameLayout, SizeRequestRoundTrip) {
  struct Case {
    uint32_t w, h;
    bool deferred;
    uint32_t wParam;
  } cases[] = {
      {0, 0, false, 0x80000000u},
      {0, 0, true, 0x80008000u},  // also the "not ready" reply
      {800, 600, false, 0x80000000u | (600u << 16) | 800u},
      {0x7FFF, 0x7FFF, true, 0xFFFFFFFFu},
      {0x8001, 0x8002, false, 0x80000000u | (2u << 16) | 1u},  // 15 bits each
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.w << " x " << c.h);
    uint32_t wParam = EncodeSizeRequest(c.w, c.h, c.deferred);
    EXPECT_EQ(wParam, c.wParam);
    EXPECT_TRUE(IsSizeRequest(wParam));
    SizeRequest r = DecodeSizeRequest(wParam);
    EXPECT_EQ(uint32_t(r.width), c.w & 0x7FFF);
    EXPECT_EQ(uint32_t(r.height), c.h & 0x7FFF);
    EXPECT_EQ(r.deferred, c.deferred);
  }
  EXPECT_FALSE(IsSizeRequest(0));  // SIZE_RESTORED from the system
  EXPECT_FALSE(IsSizeRequest(2));  // SIZE_MAXIMIZED
}

TEST(FrameLayout, GrowthLeavesWhatTheControlsAlreadyTook) {
  // Opened at 500 x 400 with the list 300 wide and the label at 250.
  struct Case {
    const char* name;
    int32_t w, h, listW, labelTop;
    Growth g;
  } cases[] = {
      {"unchanged", 500, 400, 300, 250, {0, 0}},
      {"grown, nothing moved yet", 600, 450, 300, 250, {100, 50}},
      {"grown and already followed", 600, 450, 400, 300, {0, 0}},
      {"shrunk back after growing", 550, 420, 400, 300, {-50, -30}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Growth g = FrameGrowth(c.w, c.h, 500, 400, c.listW, 300, c.labelTop, 250);
    EXPECT_EQ(g.dw, c.g.dw);
    EXPECT_EQ(g.dh, c.g.dh);
  }
  EXPECT_TRUE(MovesWithLabel(250, 250));
  EXPECT_TRUE(MovesWithLabel(242, 250));
  EXPECT_FALSE(MovesWithLabel(241, 250));
}

TEST(FrameLayout, SizingKeepsTheMinimumAtTheDraggedEdge) {
  // Minimum 400 x 300; every drag proposes 100..350 x 100..250.
  struct Case {
    int edge;
    Box after;
  } cases[] = {
      {1, {-50, 100, 350, 400}},  // left
      {2, {100, 100, 500, 400}},  // right
      {3, {100, -50, 500, 250}},  // top
      {4, {-50, -50, 350, 250}},  // top left
      {5, {100, -50, 500, 250}},  // top right
      {6, {100, 100, 500, 400}},  // bottom
      {7, {-50, 100, 350, 400}},  // bottom left
      {8, {100, 100, 500, 400}},  // bottom right
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.edge);
    Box r = {100, 100, 350, 250};
    KeepMinimumSize(r, c.edge, 400, 300);
    EXPECT_EQ(r.left, c.after.left);
    EXPECT_EQ(r.top, c.after.top);
    EXPECT_EQ(r.right, c.after.right);
    EXPECT_EQ(r.bottom, c.after.bottom);
  }
  Box big = {0, 0, 800, 600};
  KeepMinimumSize(big, 8, 400, 300);
  EXPECT_EQ(big.right, 800);
  EXPECT_EQ(big.bottom, 600);
}

TEST(FrameLayout, PlacementInsideTheDesktopAndOffTheTaskbar) {
  const Box desktop = {0, 0, 1024, 768};
  const Box bottomBar = {0, 728, 1024, 768};
  const Box rightBar = {964, 0, 1024, 768};
  struct Case {
    const char* name;
    int32_t x, y;
    const Box* bar;
    Point32 at;
  } cases[] = {
      {"fits", 100, 100, nullptr, {100, 100}},
      {"left of the desktop", -30, 100, nullptr, {0, 100}},
      {"beyond the right", 900, 100, nullptr, {624, 100}},
      {"above the desktop", 100, -5, nullptr, {100, 0}},
      {"beyond the bottom", 100, 700, nullptr, {100, 368}},
      {"tray point over a bottom taskbar", 900, 740, &bottomBar, {624, 328}},
      {"clear of the bottom taskbar", 100, 100, &bottomBar, {100, 100}},
      {"overlapping a right taskbar", 600, 100, &rightBar, {564, 100}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Point32 at = FramePlacement(c.x, c.y, 400, 400, desktop, c.bar);
    EXPECT_EQ(at.x, c.at.x);
    EXPECT_EQ(at.y, c.at.y);
  }
}

TEST(FrameLayout, FileListStateText) {
  FileListState s = {};
  ASSERT_TRUE(ParseFileListState("1,200,80,120,140", s));
  EXPECT_EQ(s.style, 1);
  EXPECT_EQ(s.widths[0], 200);
  EXPECT_EQ(s.widths[3], 140);
  char text[96];
  FormatFileListState(s, text, sizeof text);
  EXPECT_STREQ(text, "1,200,80,120,140");

  struct Bad {
    const char* text;
  } bad[] = {{""}, {"1,2,3,4"}, {"x,1,2,3,4"}, {"1;2;3;4;5"}};
  for (const Bad& b : bad) {
    SCOPED_TRACE(b.text);
    FileListState kept = {3075, {1, 2, 3, 4}};
    EXPECT_FALSE(ParseFileListState(b.text, kept));
    EXPECT_EQ(kept.style, 3075);
    EXPECT_EQ(kept.widths[2], 3);
  }
}

}  // namespace
