#include "control/tray_tip.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(TrayTip, PositionDashAndPath) {
  char tip[kTrayTipSize];
  FormatTrayTip(" 42.7%", "C:\\rec\\a.m2p", tip);
  EXPECT_STREQ(tip, " 42.7% - C:\\rec\\a.m2p");
}

TEST(TrayTip, CutTo63BytesWithoutHalfACharacter) {
  struct Case {
    const char* name;
    std::string text;
    size_t length;
  } cases[] = {
      {"single bytes", std::string(100, 'a'), 63},
      {"exactly 63", std::string(63, 'b'), 63},
      // A double-byte character at bytes 62 and 63 would be cut in half: it goes.
      {"straddling character", std::string(62, 'c') + "\x82\xA0" + "dd", 62},
      {"character ending at 63", std::string(61, 'c') + "\x82\xA0" + "dd", 63},
      // 0x5C as a trail byte is part of its character, not a backslash.
      {"trail byte 0x5C", std::string(60, 'e') + "\x95\x5C" + "\x95\x5C", 62},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    char tip[kTrayTipSize];
    CopyTrayTip(tip, c.text.c_str());
    EXPECT_EQ(std::string(tip), c.text.substr(0, c.length));
  }
}

}  // namespace
