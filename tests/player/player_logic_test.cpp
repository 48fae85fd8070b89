// The Player automation's arithmetic and text rules, without any window.
#include <gtest/gtest.h>

#include <string>

#include "player/output_path.h"
#include "player/seek_knob.h"
#include "player/text_match.h"

namespace {

// Code page 932: lead bytes 0x81..0x9F and 0xE0..0xFC.
bool IsCp932Lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

struct MatchCase {
  const char* text;
  const char* pattern;
  bool contains;
};

TEST(TextMatch, ContainsIgnoresAsciiCaseAndRespectsCharacters) {
  const MatchCase cases[] = {
      {"Lumoria Media Theater - a.mpg", "Lumoria Media Theater ", true},
      {"LUMORIA MEDIA THEATER x", "lumoria media theater ", true},
      {"Lumoria Media Theater", "Lumoria Media Theater ", false},  // the blank counts
      {"TheaterHScroll", "hscroll", true},
      {"hscrol", "hscroll", false},
      {"anything", "", true},
      {"", "a", false},
      // "表" is 0x95 0x5C: its trail byte is not a backslash.
      {"\x95\x5C", "\\", false},
      {"a\x95\x5C\\", "\\", true},
      // Trail byte 0x41 ('A') of "ア"-like pairs must not fold or match 'a'.
      {"\x83\x41", "a", false},
      {"\x83\x41", "\x83\x61", false},
      {"x\x83\x41y", "\x83\x41Y", true},
      // A match never starts on a trail byte: "\x95\x5C" + "\x5C\x41"...
      {"\x95\x5C\x41", "\x5C\x41", false},
      {"\x83\x72\x83\x66\x83\x49", "\x83\x66", true},
  };
  for (const MatchCase& c : cases) {
    SCOPED_TRACE(std::string(c.text) + " / " + c.pattern);
    EXPECT_EQ(ContainsIgnoringCase(c.text, c.pattern, IsCp932Lead), c.contains);
  }
}

TEST(TextMatch, EqualIgnoresCaseButNotLength) {
  EXPECT_TRUE(EqualIgnoringCase("Button", "BUTTON", IsCp932Lead));
  EXPECT_FALSE(EqualIgnoringCase("Button", "Butto", IsCp932Lead));
  EXPECT_FALSE(EqualIgnoringCase("Butto", "Button", IsCp932Lead));
  EXPECT_TRUE(EqualIgnoringCase("", "", IsCp932Lead));
  EXPECT_FALSE(EqualIgnoringCase("\x83\x41", "\x83\x61", IsCp932Lead));
}

struct KnobCase {
  int32_t trackLeft, trackRight, knobLeft;
  bool measured;
  int32_t k;
};

TEST(SeekKnob, PositionFromEdges) {
  const KnobCase cases[] = {
      {100, 506, 103, true, 0},        // 3 px inside: the start
      {100, 506, 503, true, 10000},    // 3 px before the right edge: the end
      {100, 506, 303, true, 5000},
      {100, 506, 104, true, 25},       // 10000 / 400 per pixel
      {100, 506, 102, true, -25},      // left of the margin: negative, truncated toward zero
      {-500, -94, -497, true, 0},      // on a screen left of the primary one
      {-500, -94, -496, true, 25},
      {100, 107, 104, true, 10000},    // the narrowest measurable track
      {100, 106, 103, false, 0},       // 6 px: nothing to divide by
      {100, 100, 103, false, 0},
      {106, 100, 103, false, 0},       // inverted
      {INT32_MIN, INT32_MAX, INT32_MAX, true, 10000},  // no overflow
  };
  for (const KnobCase& c : cases) {
    SCOPED_TRACE(std::to_string(c.trackLeft) + ".." + std::to_string(c.trackRight) + " knob " +
                 std::to_string(c.knobLeft));
    int32_t k = -77;
    ASSERT_EQ(KnobPosition(c.trackLeft, c.trackRight, c.knobLeft, &k), c.measured);
    EXPECT_EQ(k, c.measured ? c.k : -77);
  }
}

TEST(OutputPath, AtTheDriveRoot) {
  char path[32];
  ASSERT_TRUE(FormatOutputPath("D:", path, sizeof path));
  EXPECT_STREQ(path, "D:\\$Ringfeed.mpg");
  ASSERT_TRUE(FormatOutputPath("T:", path, sizeof path));
  EXPECT_STREQ(path, "T:\\$Ringfeed.mpg");
}

TEST(OutputPath, RefusesWhatDoesNotFit) {
  char path[17];
  ASSERT_TRUE(FormatOutputPath("D:", path, sizeof path));  // 16 characters and the terminator
  char small[16];
  EXPECT_FALSE(FormatOutputPath("D:", small, sizeof small));
  EXPECT_STREQ(small, "");
}

}  // namespace
