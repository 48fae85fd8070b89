// The ring file's operations on real files on T:: check, resize, initialise
// with and without Clear, interrupted fills, the tail clear.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "app/app.h"
#include "app/settings_table.h"
#include "app/shared_state.h"
#include "copy/ring_file.h"
#include "copy/worker.h"
#include "resources/resource.h"
#include "tests/copy/copy_harness.h"

namespace {

const char kRing[] = "T:\\$Ringfeed.mpg";

uint64_t FileLength(const char* path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return ~uint64_t(0);
  return (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

int ComboSelection() { return int(SendDlgItemMessageA(g_controlWindow, IDC_SIZE_COMBO, CB_GETCURSEL, 0, 0)); }
bool PlayEnabled() { return IsWindowEnabled(GetDlgItem(g_controlWindow, IDC_PLAY)) != 0; }

class RingFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetCopyState();
    DeleteFileA(kRing);
    g_stopped = 0;  // a stopped copy ends a fill after its first block
  }
  void TearDown() override { CloseCopyFiles(); }
};

TEST_F(RingFileTest, ALargerExistingRingChangesTheSizeAndRewinds) {
  ASSERT_TRUE(MakeSizedFile(kRing, RingFileLengthFor(29)));
  g_outputOffset = 123456;
  RaiseCommands(CMD_OPEN_OUTPUT);
  PollRequests(1);
  EXPECT_EQ(g_settings.Size, 29u);
  EXPECT_EQ(g_outputOffset.load(), 0u);
  EXPECT_EQ(ComboSelection(), 1);
  EXPECT_TRUE(CommandPending(CMD_SIZE));
  EXPECT_FALSE(CommandPending(CMD_OPEN_OUTPUT));
  PollRequests(1);
  EXPECT_EQ(g_ringFileLength.load(), RingFileLengthFor(29));
  EXPECT_EQ(g_ringEnd.load(), RingEndFor(29));
  EXPECT_EQ(g_ring.initialisePending, 0);
  EXPECT_TRUE(PlayEnabled());
  char text[64];
  GetDlgItemTextA(g_controlWindow, IDC_OUTPUT_SIZE, text, sizeof text);
  EXPECT_STREQ(text, "536,870,911\nbytes");
  EXPECT_EQ(FileLength(kRing), RingFileLengthFor(29));  // left as it is
}

TEST_F(RingFileTest, AnOddLengthKeepsTheSizeAndIsBuiltAgain) {
  ASSERT_TRUE(MakeSizedFile(kRing, 1000));
  SendDlgItemMessageA(g_controlWindow, IDC_SIZE_COMBO, CB_SETCURSEL, 0, 0);
  g_outputOffset = 5000;
  RaiseCommands(CMD_OPEN_OUTPUT);
  PollRequests(1);
  EXPECT_EQ(g_settings.Size, 28u);
  EXPECT_EQ(ComboSelection(), 0);
  EXPECT_EQ(g_outputOffset.load(), 0u);
  PollRequests(1);
  EXPECT_EQ(g_ring.initialisePending, 1);
  EXPECT_FALSE(PlayEnabled());
}

TEST_F(RingFileTest, ADriveChangeRewindsEvenWhenTheSizeMatches) {
  ASSERT_TRUE(MakeSizedFile(kRing, RingFileLengthFor(28)));
  g_outputOffset = 5000;
  RaiseCommands(CMD_OPEN_OUTPUT);
  PollRequests(1);
  EXPECT_EQ(g_outputOffset.load(), 5000u);
  EXPECT_FALSE(CommandPending(CMD_SIZE));
  RaiseCommands(CMD_DRIVE);
  PollRequests(1);
  EXPECT_EQ(g_outputOffset.load(), 0u);
}

// The fill's request poll: counts blocks and can interrupt at one of them.
int g_polls = 0;
int g_interruptAt = -1;
int CountingPoll(int) { return ++g_polls == g_interruptAt; }

struct InitCase {
  const char* name;
  uint32_t clear;
  DWORD platform;
  int blocks;  // zero blocks written (and polled)
};

TEST_F(RingFileTest, InitialiseFillsWhatTheSystemDoesNotFillItself) {
  const InitCase cases[] = {
      {"Clear on NT: one byte at L - 1", 1, VER_PLATFORM_WIN32_NT, 0},
      {"Clear elsewhere: the tail zone", 1, VER_PLATFORM_WIN32_WINDOWS, 16},
      {"no Clear: the whole file", 0, VER_PLATFORM_WIN32_NT, 8192},
  };
  std::vector<uint8_t> block(kChunkSize);
  for (const InitCase& c : cases) {
    SCOPED_TRACE(c.name);
    DeleteFileA(kRing);
    g_settings.Clear = c.clear;
    g_osVersion.dwPlatformId = c.platform;
    RaiseCommands(CMD_SIZE);
    PollRequests(1);
    ASSERT_EQ(g_ring.initialisePending, 1);
    char message[kMessageSize] = "";
    ASSERT_EQ(OpenOutputFile(message), 1) << message;
    g_polls = 0;
    g_interruptAt = -1;
    g_outputOffset = 777;
    ASSERT_EQ(InitialiseOutputFile(CountingPoll, block.data(), message), INIT_DONE) << message;
    EXPECT_EQ(g_polls, c.blocks);
    EXPECT_EQ(g_ring.initialisePending, 0);
    EXPECT_EQ(g_outputOffset.load(), 0u);
    EXPECT_NE(g_outputFile, INVALID_HANDLE_VALUE);
    CloseCopyFiles();
    EXPECT_EQ(FileLength(kRing), RingFileLengthFor(28));
  }
}

TEST_F(RingFileTest, AnInterruptedFillResumesAtTheFileEnd) {
  g_settings.Clear = 0;
  RaiseCommands(CMD_SIZE);
  PollRequests(1);
  std::vector<uint8_t> block(kChunkSize);
  char message[kMessageSize] = "";
  ASSERT_EQ(OpenOutputFile(message), 1);
  g_polls = 0;
  g_interruptAt = 100;
  ASSERT_EQ(InitialiseOutputFile(CountingPoll, block.data(), message), INIT_INTERRUPTED);
  EXPECT_EQ(g_ring.initialisePending, 1);
  g_polls = 0;
  g_interruptAt = -1;
  ASSERT_EQ(InitialiseOutputFile(CountingPoll, block.data(), message), INIT_DONE);
  EXPECT_EQ(g_polls, 8192 - 100);
  CloseCopyFiles();
  EXPECT_EQ(FileLength(kRing), RingFileLengthFor(28));
}

TEST_F(RingFileTest, AWrapFailureLeavesTheOffsetForTheNextCycle) {
  RaiseCommands(CMD_SIZE);
  PollRequests(1);
  ASSERT_TRUE(MakeSizedFile(kRing, 1000000));  // far too short to read the mirror from
  g_ring.initialisePending = 0;
  char message[kMessageSize] = "";
  ASSERT_EQ(OpenOutputFile(message), 1);
  g_outputOffset = g_ringEnd.load();
  std::vector<uint8_t> block(kChunkSize);
  EXPECT_EQ(WrapOutput(block.data(), message), 0);
  EXPECT_STREQ(message, "出力ファイルT:\\$Ringfeed.mpgを読み出せません!");
  EXPECT_EQ(g_outputOffset.load(), g_ringEnd.load());
}

}  // namespace
