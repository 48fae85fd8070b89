// Next-piece names, table-driven, and their search in real folders.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "copy/split_recording.h"
#include "tests/copy/copy_harness.h"

namespace {

struct NameCase {
  const char* path;
  std::vector<std::string> candidates;  // numbered ones first, as tried
};

TEST(SplitRecordingTest, CandidatesInTheOrderTheyAreTried) {
  const NameCase cases[] = {
      {"D:\\rec\\Show.m2p", {"d:\\rec\\show.001.m2p", "d:\\rec\\show.m2p.000", "d:\\rec\\show[Retry 00].m2p"}},
      {"show.009.m2p", {"show.010.m2p"}},
      {"show.999.m2p", {"show.1000.m2p"}},
      {"show.m2p.000", {"show.m2p.001", "show[Retry 00].m2p"}},
      {"show.m2p.099", {"show.m2p.100", "show[Retry 00].m2p"}},
      {"show[Retry 00].m2p", {"show[retry 00].001.m2p", "show[retry 00].m2p.000", "show[retry 01].m2p"}},
      {"show[retry].m2p", {"show[retry].001.m2p", "show[retry].m2p.000", "show[retry 01].m2p"}},
      {"a[retry 3]b[retry 41].M2P", {"a[retry 3]b[retry 41].001.m2p", "a[retry 3]b[retry 41].m2p.000",
                                     "a[retry 3]b[retry 42].m2p"}},
      {"show.mpg", {}},
      {"show.m2p.1", {}},
      {"show.m2p.0001", {}},
      {"show.m2p.a01", {}},
      {"show.m2pv", {}},
      // Code page 932: 0x83 0x5C (a katakana) ends in the byte of '\'.
      {"T:\\\x83\x5c.m2p", {"t:\\\x83\x5c.001.m2p", "t:\\\x83\x5c.m2p.000", "t:\\\x83\x5c[Retry 00].m2p"}},
      {"\x95\x5c\\\x83\x5c.005.m2p", {"\x95\x5c\\\x83\x5c.006.m2p"}},
      // Trail bytes equal to 'M' and '[' stay as they are.
      {"\x83\x4d.M2P", {"\x83\x4d.001.m2p", "\x83\x4d.m2p.000", "\x83\x4d[Retry 00].m2p"}},
      {"x\x81\x5bretry 05].m2p.007", {"x\x81\x5bretry 05].m2p.008", "x\x81\x5bretry 05][Retry 00].m2p"}},
  };
  for (const NameCase& c : cases) {
    SCOPED_TRACE(c.path);
    PieceCandidate found[3];
    int count = BuildPieceCandidates(c.path, found);
    ASSERT_EQ(count, int(c.candidates.size()));
    for (int i = 0; i < count; ++i) {
      EXPECT_EQ(found[i].path, c.candidates[i]);
      bool retry = c.candidates[i].find(i == count - 1 ? "etry " : "\x01") != std::string::npos;
      EXPECT_EQ(found[i].numbered, retry ? 0 : 1);
    }
  }
}

TEST(SplitRecordingTest, NamesThatWouldOverflowThePathGiveNoCandidate) {
  std::string path = "T:\\" + std::string(250, 'a') + ".999.m2p";
  PieceCandidate found[3];
  EXPECT_EQ(BuildPieceCandidates(path.c_str(), found), 0);
}

class SplitSearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = TestPath("split");
    CreateDirectoryA(folder_.c_str(), nullptr);
    for (const char* name : {"Show.m2p", "Show.001.m2p", "Show.002.m2p", "Tv.m2p.000", "Tv[Retry 00].m2p",
                             "\x83\x5c.m2p", "\x83\x5c.001.M2P", "Odd.m2p"})
      WriteTestFile(folder_ + "\\" + name, {1, 2, 3});
    CreateDirectoryA((folder_ + "\\Odd.001.m2p").c_str(), nullptr);
  }
  std::string Next(const std::string& name, int* numbered) {
    char path[MAX_PATH];
    strcpy(path, (folder_ + "\\" + name).c_str());
    if (!FindNextPiece(path, numbered)) return "";
    return path;
  }
  std::string folder_;
};

TEST_F(SplitSearchTest, FindsThePieceAndTakesItsNameAsStoredOnDisk) {
  const struct { const char* current; const char* next; int numbered; } cases[] = {
      {"SHOW.m2p", "Show.001.m2p", 1},
      {"Show.001.m2p", "Show.002.m2p", 1},
      {"Show.002.m2p", "", 0},           // Show.003 missing: no retry name is tried
      {"Tv.m2p.000", "Tv[Retry 00].m2p", 0},
      {"Tv[Retry 00].m2p", "", 0},
      {"\x83\x5c.m2p", "\x83\x5c.001.M2P", 1},
      {"Odd.m2p", "", 0},                 // Odd.001.m2p is a folder
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.current);
    int numbered = -1;
    std::string next = Next(c.current, &numbered);
    EXPECT_EQ(next, c.next[0] ? folder_ + "\\" + c.next : "");
    if (c.next[0]) {
      EXPECT_EQ(numbered, c.numbered);
    }
  }
}

}  // namespace
