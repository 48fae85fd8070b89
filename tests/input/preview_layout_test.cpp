#include "input/preview_layout.h"

#include <gtest/gtest.h>

namespace {

TEST(PreviewLayout, FitKeepsAspectAndCentres) {
  struct Case {
    const char* name;
    int32_t w, h, cw, ch;
    FittedImage fit;
  } cases[] = {
      {"wider than the panel: full width, centred vertically", 720, -480, 200, 200, {0, 33, 200, 133}},
      {"flatter panel: full height, centred horizontally", 720, -480, 256, 120, {38, 0, 180, 120}},
      {"720x480 in 256x200", 720, -480, 256, 200, {0, 15, 256, 170}},
      {"taller: full height, centred horizontally", 352, -576, 256, 200, {67, 0, 122, 200}},
      {"same aspect", 320, 240, 160, 120, {0, 0, 160, 120}},
      {"odd margin truncates", 100, 100, 101, 50, {25, 0, 50, 50}},
      {"truncated side", 1000, -333, 100, 100, {0, 33, 100, 33}},
      {"no picture", 0, 0, 100, 100, {0, 0, 0, 0}},
      {"no panel", 720, 480, 0, 100, {0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FittedImage f = FitImage(c.w, c.h, c.cw, c.ch);
    EXPECT_EQ(f.x, c.fit.x);
    EXPECT_EQ(f.y, c.fit.y);
    EXPECT_EQ(f.width, c.fit.width);
    EXPECT_EQ(f.height, c.fit.height);
  }
}

TEST(PreviewLayout, BarRequests) {
  struct Case {
    int32_t current;
    int request;
    int32_t thumb;
    int32_t after;
  } cases[] = {
      {10, 0, 0, 9},   {0, 0, 0, 0},       {10, 1, 0, 11},   {1000, 1, 0, 1000}, {60, 2, 0, 10},
      {30, 2, 0, 0},   {900, 3, 0, 950},   {980, 3, 0, 1000}, {500, 6, 0, 0},    {500, 7, 0, 1000},
      {500, 8, 77, -1}, {500, 4, 123, 123}, {500, 5, 456, 456},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "request " << c.request << " at " << c.current);
    EXPECT_EQ(BarPositionAfter(c.current, c.request, c.thumb), c.after);
  }
}

TEST(PreviewLayout, BytePositionDividesBy1001) {
  struct Case {
    int32_t position;
    uint64_t size, byte;
  } cases[] = {
      {0, 1000000, 0},
      {1000, 1001000, 1000000},
      {1000, 1000, 999},  // just before the end
      {500, 4000000000ull, 1998001998},
      {1000, 0x100000000000ull, 0x100000000000ull / 1001 * 1000 + (0x100000000000ull % 1001) * 1000 / 1001},
      {1000, ~0ull, 18428315757951600014ull},  // no overflow at the top
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.position << " of " << c.size);
    EXPECT_EQ(BarBytePosition(c.position, c.size), c.byte);
  }
}

TEST(PreviewLayout, CopyPositionIsOneStepRight) {
  EXPECT_EQ(CopyBarPosition(0, 0), 0);
  EXPECT_EQ(CopyBarPosition(0, 1000), 1);
  EXPECT_EQ(CopyBarPosition(500, 1000), 501);
  EXPECT_EQ(CopyBarPosition(999, 1000), 1000);
  EXPECT_EQ(CopyBarPosition(3000000000ull, 6000000000ull), 501);
}

}  // namespace
