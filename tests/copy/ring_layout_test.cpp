// Layout arithmetic of the ring file and its failure messages.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "copy/ring_file.h"

namespace {

TEST(RingLayoutTest, LengthAndEndForEverySize) {
  const struct { uint32_t n; uint64_t length, end; const char* text; } cases[] = {
      {28, 268435455, 267911168, "268,435,455\nbytes"},
      {29, 536870911, 536346624, "536,870,911\nbytes"},
      {30, 1073741823, 1073217536, "1,073,741,823\nbytes"},
      {31, 2147483647, 2146959360, "2,147,483,647\nbytes"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.n);
    EXPECT_EQ(RingFileLengthFor(c.n), c.length);
    EXPECT_EQ(RingEndFor(c.n), c.end);
    EXPECT_EQ(SizeExponentOfLength(int64_t(c.length)), int(c.n));
    char text[40];
    FormatRingLength(c.length, text, sizeof text);
    EXPECT_STREQ(text, c.text);
  }
}

TEST(RingLayoutTest, OnlyTheFourLengthsAreRecognised) {
  EXPECT_EQ(SizeExponentOfLength(-1), -1);
  EXPECT_EQ(SizeExponentOfLength(0), 32);
  EXPECT_EQ(SizeExponentOfLength(268435456), 32);
  EXPECT_EQ(SizeExponentOfLength(268435454), 32);
  EXPECT_EQ(SizeExponentOfLength(4294967295LL), 32);
}

TEST(RingLayoutTest, ChunksNeverCrossTheRingEndNorTheInputEnd) {
  const uint64_t e = RingEndFor(28);
  const struct { uint64_t size, in, out; uint32_t expected; } cases[] = {
      {1000000, 0, 0, 32768},          // a full block
      {1000000, 990000, 0, 10000},     // the input's current end
      {1000000, 1000000, 0, 0},        // nothing new
      {999, 1000, 0, 0},               // offset past a truncated input
      {1000000, 0, e - 100, 100},      // the ring end
      {1000000, 0, e, 0},              // at the ring end: wrap first
      {1000000, 999900, e - 100, 100}, // both ends at once
      {1000000, 999950, e - 100, 50},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.size) + " " + std::to_string(c.in) + " " + std::to_string(c.out));
    EXPECT_EQ(ChunkLength(c.size, c.in, c.out, e), c.expected);
  }
}

TEST(RingLayoutTest, WrapMirrorsTheLastTwoMebibytesToTheRingStart) {
  const uint64_t e = RingEndFor(28);
  EXPECT_EQ(WrapSource(e, e), e - 2097152);
  EXPECT_EQ(MirrorDistance(WrapSource(e, e), RingStartFor(1)), uint32_t(e - 2097152 - 4096));
  EXPECT_EQ(MirrorDistance(WrapSource(e, e), RingStartFor(0)), uint32_t(e - 2097152));
  EXPECT_EQ(RingStartFor(1) + 2097152, 2101248u);
  // A stale offset beyond E never mirrors the zero tail.
  EXPECT_EQ(WrapSource(e + 5000, e), e - 2097152);
}

TEST(RingLayoutTest, KeptHeadOnlyAtOffsetZeroOfACopyNotFromTheStart) {
  EXPECT_TRUE(KeptHeadDue(1, 32768, 0));
  EXPECT_FALSE(KeptHeadDue(1, 0, 0));
  EXPECT_FALSE(KeptHeadDue(1, 32768, 1));
  EXPECT_FALSE(KeptHeadDue(0, 32768, 0));
}

TEST(RingLayoutTest, InitialisePercentCountsUp) {
  EXPECT_EQ(InitialisePercent(268435455, 268435455), 0);
  EXPECT_EQ(InitialisePercent(268435455, 134217728), 49);
  EXPECT_EQ(InitialisePercent(268435455, 0), 100);
}

TEST(RingLayoutTest, TheLongestMessageKeepsAFullPath) {
  std::string path = "T:\\" + std::string(255, 'x');  // 259 characters, the most MAX_PATH holds
  char message[kMessageSize];
  FormatFileMessage(message, "出力ファイル%sのクローズでエラーが発生しました!", path.c_str());
  std::string text = message;
  EXPECT_NE(text.find(path), std::string::npos);
  EXPECT_EQ(text.back(), '!');
}

}  // namespace
