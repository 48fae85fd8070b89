#include "control/number_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CleanNumberText, KeepsALeadingMinusAndDigitsWithinTheRange) {
  struct Case {
    const char* typed;
    int min, max;
    const char* text;
    int value;
    bool changed;
    int caret;
  } cases[] = {
      {"1x5", -8, 8, "1", 1, true, 1},  // x removed, then 15 > 8 cuts the 5
      {"-9", -8, 8, "-", 0, true, 1},   // -9 < -8: a lone minus remains
      {"-8", -8, 8, "-8", -8, false, 0},
      {"8", -8, 8, "8", 8, false, 0},
      {"", -8, 8, "", 0, false, 0},
      {"-", -8, 8, "-", 0, false, 0},
      {"x-3", -5, 5, "-3", -3, true, 0},  // the minus moves to the front
      {"3-", -5, 5, "3", 3, true, 1},     // a minus after a digit is removed
      {"--2", -5, 5, "-2", -2, true, 1},
      {"ab", -5, 5, "", 0, true, 0},
      {"05", -5, 5, "05", 5, false, 0},
      {"6", -5, 5, "", 0, true, 0},
      {"12345678901", -8, 8, "1", 1, true, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    char text[32];
    snprintf(text, sizeof text, "%s", c.typed);
    CleanedNumber result = CleanNumberText(text, c.min, c.max);
    EXPECT_EQ(std::string(text), c.text);
    EXPECT_EQ(result.value, c.value);
    EXPECT_EQ(result.changed, c.changed);
    if (c.changed) {
      EXPECT_EQ(result.caret, c.caret);
    }
  }
}

}  // namespace
