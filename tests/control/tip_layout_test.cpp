#include "control/tip_layout.h"

#include <gtest/gtest.h>

namespace {

// A fake font: single-byte characters 6 pixels wide, double-byte ones 12;
// 'H' is 16 pixels high, everything else 12.
struct FakeFont {
  bool splitCharacter = false;
};

bool Lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

TipExtent Measure(const char* text, int length, void* context) {
  FakeFont* font = static_cast<FakeFont*>(context);
  TipExtent size = {0, 12};
  for (int i = 0; i < length; ++i) {
    if (Lead(static_cast<unsigned char>(text[i]))) {
      if (i + 1 >= length) font->splitCharacter = true;
      size.width += 12;
      ++i;
      continue;
    }
    size.width += 6;
    if (text[i] == 'H') size.height = 16;
  }
  return size;
}

TEST(MeasureTipText, LinesBreaksAndHeights) {
  struct Case {
    const char* text;
    int maxWidth;
    int width, height;  // width includes one '@' (6)
  } cases[] = {
      {"ab\r\ncde", 500, 18 + 6, 24},
      {"abcdefghij", 30, 30 + 6, 24},                // "abcde" / "fghij"
      {"abcdefghijk", 30, 30 + 6, 36},               // a third line of one character
      {"aHa\r\nb", 500, 18 + 6, 16 + 12},            // a line is as high as its highest character
      {"a\r\n\r\nb", 500, 6 + 6, 36},                // an empty line still counts
      {"\x82\xA0\x82\xA0\x82\xA0", 30, 24 + 6, 24},  // double-byte characters stay whole
      {"abcdefgh", 3, 6 + 6, 8 * 12},                // at least one character per line
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    FakeFont font;
    TipExtent size = MeasureTipText(c.text, c.maxWidth, Measure, &font);
    EXPECT_EQ(size.width, c.width);
    EXPECT_EQ(size.height, c.height);
    EXPECT_FALSE(font.splitCharacter);
  }
}

TEST(PlaceTip, StaysFourPixelsInsideTheRightAndBottomEdges) {
  TipExtent size = {200, 40};
  TipPlacement at = PlaceTip(1800, 1050, size, 1920, 1080, 0, 0);
  EXPECT_EQ(at.x, 1716);
  EXPECT_EQ(at.x + size.width + 4, 1920);
  EXPECT_EQ(at.y, 1080 - 40 - 4);
  at = PlaceTip(100, 100, size, 1920, 1080, 0, 0);
  EXPECT_EQ(at.x, 100);
  EXPECT_EQ(at.y, 100);
}

TEST(PlaceTip, MovesOffTheCursorByTheShorterWay) {
  struct Case {
    const char* name;
    int x, y, cursorX, cursorY, newX, newY;
    TipExtent size;
  } cases[] = {
      {"near the left edge: to the right of the cursor", 100, 100, 110, 110, 111, 100, {200, 20}},
      {"right half, upward is shorter", 300, 100, 450, 105, 300, 80, {200, 20}},
      {"equal lengths: upward", 300, 100, 310, 114, 300, 89, {200, 20}},
      {"left half: right of the cursor", 300, 100, 310, 101, 311, 100, {200, 20}},
      {"right half: left of the cursor", 300, 100, 500, 101, 295, 100, {200, 20}},
      {"edges belong to the tip", 300, 100, 504, 124, 300, 99, {200, 20}},
      {"cursor outside: unchanged", 300, 100, 505, 124, 300, 100, {200, 20}},
      {"near the right edge: to the left even in the left half",
       1716,
       100,
       1720,
       110,
       1515,
       100,
       {200, 400}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TipPlacement at = PlaceTip(c.x, c.y, c.size, 1920, 1080, c.cursorX, c.cursorY);
    EXPECT_EQ(at.x, c.newX);
    EXPECT_EQ(at.y, c.newY);
  }
}

}  // namespace
