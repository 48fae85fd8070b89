#include "control/number_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "control/drive_text.h"

namespace {

std::string Grouped(uint64_t value) {
  char buffer[kGroupedNumberSize];
  memset(buffer, 'x', sizeof buffer);
  EXPECT_EQ(FormatGroupedNumber(value, buffer, sizeof buffer), 1);
  return buffer;
}

TEST(GroupedNumber, BelowATrillionIsFifteenCharactersRightAligned) {
  struct Case {
    uint64_t value;
    const char* text;
  } cases[] = {
      {0, "              0"},
      {7, "              7"},
      {999, "            999"},
      {1000, "          1,000"},
      {12345678, "     12,345,678"},
      {268435455, "    268,435,455"},
      {1000000000, "  1,000,000,000"},
      {1000000007, "  1,000,000,007"},  // zeros after the first digit stay
      {999999999999ull, "999,999,999,999"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(Grouped(c.value), c.text);
  }
}

TEST(GroupedNumber, FromATrillionWidensInsteadOfWrapping) {
  struct Case {
    uint64_t value;
    const char* text;
  } cases[] = {
      {1000000000000ull, "1,000,000,000,000"},
      {3999680000000ull, "3,999,680,000,000"},
      {18446744073709551615ull, "18,446,744,073,709,551,615"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(Grouped(c.value), c.text);
    EXPECT_LT(strlen(c.text), kGroupedNumberSize);
  }
}

TEST(GroupedNumber, ASixteenByteBufferHoldsTheFixedLayoutOnly) {
  char buffer[16];
  EXPECT_EQ(FormatGroupedNumber(999999999999ull, buffer, sizeof buffer), 1);
  EXPECT_STREQ(buffer, "999,999,999,999");
  EXPECT_EQ(FormatGroupedNumber(1000000000000ull, buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "") << "never a cut, wrong number";
}

TEST(OutputSizeText, DropsTheBlanksAndAddsBytesOnASecondLine) {
  char text[64];
  FormatOutputSizeText(268435455, text, sizeof text);
  EXPECT_STREQ(text, "268,435,455\nbytes");
  FormatOutputSizeText(0, text, sizeof text);
  EXPECT_STREQ(text, "0\nbytes");
}

TEST(PositionText, PercentAndGigabytes) {
  struct Case {
    uint64_t offset, size;
    bool gigabytes;
    const char* text;
  } cases[] = {
      {0, 0, false, "  0.0%"},
      {427, 1000, false, " 42.7%"},
      {1000, 1000, false, "100.0%"},
      {4265, 10000, false, " 42.7%"},  // 426.5 rounds up
      {4264, 10000, false, " 42.6%"},
      {0, 0, true, " 0.00GB"},
      {3420000000ull, 0, true, " 3.42GB"},
      {4995000000ull, 0, true, " 5.00GB"},
      {4994999999ull, 0, true, " 4.99GB"},
      {123456000000ull, 0, true, "123.46GB"},  // three digits widen the field
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    char text[32];
    FormatPositionText(c.offset, c.size, c.gigabytes, text, sizeof text);
    EXPECT_STREQ(text, c.text);
  }
}

TEST(PositionPermille, RoundsToNearestAndSurvivesLargeFiles) {
  EXPECT_EQ(PositionPermille(0, 0), 0);
  EXPECT_EQ(PositionPermille(5, 0), 0);
  EXPECT_EQ(PositionPermille(1, 2000), 1);  // 0.5 rounds up
  EXPECT_EQ(PositionPermille(1, 2001), 0);
  EXPECT_EQ(PositionPermille(50000000000ull, 100000000000ull), 500);
  EXPECT_EQ(PositionPermille(100000000000ull, 100000000000ull), 1000);
}

TEST(DriveItem, RootFreeBytesAndSuffix) {
  char text[kDriveItemSize];
  FormatDriveItem('D', true, 12345678, text);
  EXPECT_STREQ(text, "D:\\     12,345,678 バイト空き");
  FormatDriveItem('C', false, 12345678, text);
  EXPECT_STREQ(text, "C:\\");
  FormatDriveItem('E', true, 2000398934016ull, text);
  EXPECT_STREQ(text, "E:\\2,000,398,934,016 バイト空き");
}

}  // namespace
