#include "input/folder_list.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(FolderList, PathsWithoutDigitsInOrderWithoutRepeats) {
  struct Case {
    const char* list;
    std::vector<std::string> paths;
  } cases[] = {
      {"", {}},
      {"4C:\\Rec", {"C:\\Rec"}},
      {"4C:\\Rec|", {"C:\\Rec"}},
      {"4C:\\Rec|0D:\\TV|2E:\\", {"C:\\Rec", "D:\\TV", "E:\\"}},
      {"1C:\\Rec|3c:\\rec|0D:\\x", {"C:\\Rec", "D:\\x"}},
      {"1C:\\Rec||0D:\\x", {"C:\\Rec", "D:\\x"}},
      {"1|0D:\\x", {"D:\\x"}},  // an entry with a digit and no folder
      // 0x7C is never a trail byte in code page 932, but 0x5C is: the
      // folder ending in a double-byte character stays whole.
      {"0C:\\\x95\x5C|1D:\\a", {"C:\\\x95\x5C", "D:\\a"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    EXPECT_EQ(FolderListPaths(c.list), c.paths);
  }
}

TEST(FolderList, FilterIndexFromLeadingDigits) {
  struct Case {
    const char* list;
    int index;
  } cases[] = {{"", 1}, {"0C:\\a", 1}, {"4C:\\Rec", 5}, {"5D:\\|0C:\\", 6}, {"C:\\a", 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    EXPECT_EQ(FolderListFilterIndex(c.list), c.index);
  }
}

TEST(FolderList, FilterOfAFolderIsTheDigitOfItsWholeEntry) {
  const char* list = "3C:\\A\\B|2C:\\A|5\x95\x5C\\x";
  struct Case {
    const char* folder;
    int filter;
  } cases[] = {
      {"C:\\A", 2},       // not the "C:\A" inside "C:\A\B"
      {"c:\\a\\b", 3},    // case does not matter
      {"\x95\x5C\\x", 5},
      {"\x95\x7C\\x", -1},  // a different double-byte character
      {"C:\\", -1},
      {"", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    EXPECT_EQ(FolderFilter(list, c.folder), c.filter);
  }
}

TEST(FolderList, RebuildPutsTheAcceptedFolderFirstWithItsFilter) {
  struct Case {
    const char* name;
    const char* previous;
    int filter;
    std::vector<std::string> items;
    std::string list;
  } cases[] = {
      {"first use", "", 4, {"C:\\Rec"}, "4C:\\Rec"},
      {"others keep their digits", "1D:\\TV|3E:\\x", 0, {"C:\\Rec", "D:\\TV", "E:\\x"}, "0C:\\Rec|1D:\\TV|3E:\\x"},
      {"again at the top", "1D:\\TV|3C:\\Rec", 2, {"C:\\Rec", "D:\\TV"}, "2C:\\Rec|1D:\\TV"},
      {"unknown items dropped", "1D:\\TV", 0, {"C:\\Rec", "F:\\new", "D:\\TV"}, "0C:\\Rec|1D:\\TV"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(RebuildFolderList(c.previous, c.filter, c.items), c.list);
  }
}

TEST(FolderList, RebuildStaysBelow4096Characters) {
  // 40 folders of 100 characters: the list can hold 40 entries of 101 plus
  // separators only while it stays below 4096.
  std::vector<std::string> items;
  std::string previous;
  for (int i = 0; i < 45; ++i) {
    char head[16];
    snprintf(head, sizeof head, "C:\\%03d", i);
    std::string folder = head + std::string(100 - strlen(head), 'x');
    items.push_back(folder);
    if (i) previous += (previous.empty() ? "" : "|") + std::string("7") + folder;
  }
  std::string list = RebuildFolderList(previous.c_str(), 1, items);
  EXPECT_LT(list.size(), kFolderListLimit);
  EXPECT_GT(list.size(), kFolderListLimit - 102 - 1);
  EXPECT_EQ(list.substr(0, 2), "1C");
  // Every entry is whole: digit, then a 100-character folder.
  std::vector<std::string> paths = FolderListPaths(list.c_str());
  for (const std::string& p : paths) EXPECT_EQ(p.size(), 100u);
  EXPECT_EQ(list.size(), paths.size() * 102 - 1);
}

TEST(FolderList, WildcardAfterAFolder) {
  struct Case {
    const char* folder;
    const char* result;
  } cases[] = {
      {"C:\\Rec", "C:\\Rec\\*"},
      {"C:\\", "C:\\*"},
      // The 0x5C of a double-byte character is no backslash.
      {"C:\\\x95\x5C", "C:\\\x95\x5C\\*"},
      {"C:\\\x95\x5C\\", "C:\\\x95\x5C\\*"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    char out[64];
    ASSERT_TRUE(AppendWildcard(c.folder, out, sizeof out));
    EXPECT_STREQ(out, c.result);
  }
  char small[9];  // exactly "C:\\Rec\\*"
  EXPECT_FALSE(AppendWildcard("C:\\Recs", small, sizeof small));
  EXPECT_TRUE(AppendWildcard("C:\\Rec", small, sizeof small));
  EXPECT_STREQ(small, "C:\\Rec\\*");
}

TEST(FolderList, SameTextFoldsOnlyAsciiLetters) {
  EXPECT_TRUE(SameText("C:\\Rec\\a.MPG", "c:\\rec\\A.mpg"));
  EXPECT_FALSE(SameText("C:\\Rec", "C:\\Rec2"));
  EXPECT_FALSE(SameText("C:\\Rec2", "C:\\Rec"));
  // Trail bytes 0x41 and 0x61 are different characters.
  EXPECT_FALSE(SameText("\x83\x41", "\x83\x61"));
  EXPECT_TRUE(SameText("\x83\x41", "\x83\x41"));
}

}  // namespace
