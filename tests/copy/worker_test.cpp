// The worker's cycles in-process on real files: the request poll, the end of
// the ring, growing inputs and split pieces, pacing, failures, the thread's end.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/settings_table.h"
#include "app/shared_state.h"
#include "control/progress.h"
#include "copy/preview_link.h"
#include "copy/ring_file.h"
#include "copy/worker.h"
#include "resources/resource.h"
#include "tests/copy/copy_harness.h"
#include "tests/copy/player_stand_ins.h"

namespace {

const char kRing[] = "T:\\$Ringfeed.mpg";

std::vector<uint8_t> Pattern(size_t size, uint8_t seed) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = uint8_t((i * 131 + seed * 7 + (i >> 9)) ^ seed);
  return bytes;
}

std::vector<uint8_t> ReadRange(uint64_t at, size_t count) {
  std::vector<uint8_t> bytes(count);
  HANDLE file = CreateFileA(kRing, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  SeekFile(file, int64_t(at), FILE_BEGIN);
  DWORD got = 0;
  ReadFile(file, bytes.data(), DWORD(count), &got, nullptr);
  CloseHandle(file);
  bytes.resize(got);
  return bytes;
}

void WriteRange(uint64_t at, const std::vector<uint8_t>& bytes) {
  HANDLE file = CreateFileA(kRing, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  SeekFile(file, int64_t(at), FILE_BEGIN);
  DWORD done = 0;
  WriteFile(file, bytes.data(), DWORD(bytes.size()), &done, nullptr);
  CloseHandle(file);
}

std::vector<uint8_t> Slice(const std::vector<uint8_t>& bytes, size_t from, size_t count) {
  return std::vector<uint8_t>(bytes.begin() + from, bytes.begin() + from + count);
}

class WorkerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetCopyState();
    // An existing ring of the right length: no initialisation.
    ASSERT_TRUE(MakeSizedFile(kRing, RingFileLengthFor(28)));
    RaiseCommands(CMD_OPEN_OUTPUT | CMD_SIZE);
    PollRequests(1);
    PollRequests(1);
    ASSERT_EQ(g_ring.initialisePending, 0);
  }
  void TearDown() override {
    CloseCopyFiles();
    g_standInPlayer = StandInPlayer{};
  }
  // Takes an input over the way the Input dialog hands it and starts the copy.
  void Start(const std::string& path, int permille = 0) {
    strcpy(g_settings.File, path.c_str());
    g_startPermille = permille;
    RaiseCommands(CMD_NEW_INPUT | CMD_START);
    RunCopyCycle();
  }
  static bool AtEndOfInput() {
    return g_inputOffset.load() == g_inputSize.load() && g_barState.load() == BAR_FILE_END;
  }
};

TEST_F(WorkerTest, ThePollCarriesOutOneCommandPerCall) {
  RaiseCommands(CMD_STOP | CMD_START | CMD_PRIORITY);
  PollRequests(0);
  EXPECT_EQ(g_pendingCommands.load(), uint32_t(CMD_START | CMD_PRIORITY));
  PollRequests(0);
  EXPECT_EQ(g_stopped.load(), 0u);
  EXPECT_EQ(g_pendingCommands.load(), uint32_t(CMD_PRIORITY));
  EXPECT_EQ(PollRequests(0), 0);
  EXPECT_EQ(g_pendingCommands.load(), 0u);

  // Commands that change files wait for the end of the cycle.
  for (uint32_t command : {uint32_t(CMD_NEW_INPUT), uint32_t(CMD_OPEN_OUTPUT), uint32_t(CMD_DRIVE),
                           uint32_t(CMD_SIZE), uint32_t(CMD_QUIT)}) {
    SCOPED_TRACE(command);
    RaiseCommands(command);
    EXPECT_EQ(PollRequests(0), 1);
    EXPECT_EQ(PollRequests(0), 1);
    EXPECT_TRUE(CommandPending(command));
    ClearCommands(command);
    // Also when the call carried out another command first: a start at once
    // after launch must not begin a cycle before the output is checked and
    // sized, nor a new input's path be copied before its takeover.
    g_worker.yieldResult = 0;
    g_stopped = 1;
    RaiseCommands(CMD_START | command);
    EXPECT_EQ(PollRequests(0), 1);
    EXPECT_EQ(g_stopped.load(), 0u);
    EXPECT_EQ(g_pendingCommands.load(), command);
    ClearCommands(command);
    RaiseCommands(CMD_STOP);
    PollRequests(0);
  }
  RaiseCommands(CMD_QUIT);
  PollRequests(1);
  EXPECT_EQ(g_worker.exitRequested, 1);
}

TEST_F(WorkerTest, StartAfterTheNewInputStartsOnlyAStoppedCopy) {
  std::string input = TestPath("start_after.m2p");
  ASSERT_TRUE(WriteTestFile(input, Pattern(1000, 1)));
  strcpy(g_settings.File, input.c_str());
  RaiseCommands(CMD_NEW_INPUT | CMD_START_AFTER_INPUT);
  PollRequests(1);
  EXPECT_EQ(g_pendingCommands.load(), 0u);
  PumpMessages();  // the posted click
  EXPECT_TRUE(CommandPending(CMD_START));
  PollRequests(1);
  EXPECT_EQ(g_stopped.load(), 0u);

  RaiseCommands(CMD_NEW_INPUT | CMD_START_AFTER_INPUT);
  PollRequests(1);
  PumpMessages();
  EXPECT_EQ(g_pendingCommands.load(), 0u);
  EXPECT_EQ(g_stopped.load(), 0u);

  // Without a new input the bit has no purpose: it holds neither a yield
  // left from an earlier command nor the pause schedule, and it goes.
  g_worker.yieldResult = 1;
  RaiseCommands(CMD_START_AFTER_INPUT);
  int32_t polls = g_worker.pauseCounter;
  EXPECT_EQ(PollRequests(0), 0);
  EXPECT_EQ(g_worker.pauseCounter, polls + 1);
  EXPECT_EQ(g_pendingCommands.load(), 0u);
}

TEST_F(WorkerTest, WithoutTheGuardTheCopyStopsAtTheRingEndAfterZeroingTheTailThenWraps) {
  const uint64_t e = g_ringEnd.load();
  const uint64_t l = g_ringFileLength.load();
  WriteRange(e, std::vector<uint8_t>(size_t(l - e), 0xAA));
  g_settings.Wait = 0;
  std::vector<uint8_t> input = Pattern(300000, 2);
  std::string path = TestPath("ring_end.m2p");
  ASSERT_TRUE(WriteTestFile(path, input));
  g_outputOffset = e - 100000 + 1024;  // the takeover moves it back by 1,024
  Start(path);
  ASSERT_TRUE(RunCyclesUntil([] { return g_stopped.load() == 1; }, 20));
  EXPECT_EQ(g_outputOffset.load(), e);
  EXPECT_EQ(g_inputOffset.load(), 100000u);
  EXPECT_EQ(ReadRange(e - 100000, 100000), Slice(input, 0, 100000));
  EXPECT_EQ(ReadRange(e, size_t(l - e)), std::vector<uint8_t>(size_t(l - e), 0));
  RunCopyCycle();
  EXPECT_EQ(g_outputFile, INVALID_HANDLE_VALUE);  // the next cycle of a stopped copy closes its files

  // Going on wraps: the last 2 MiB before E reappear after the kept head.
  std::vector<uint8_t> mirror = ReadRange(e - kWrapCopySize, size_t(kWrapCopySize));
  RaiseCommands(CMD_START);
  ASSERT_TRUE(RunCyclesUntil(AtEndOfInput, 20));
  EXPECT_EQ(ReadRange(4096, size_t(kWrapCopySize)), mirror);
  EXPECT_EQ(ReadRange(4096 + kWrapCopySize, 200000), Slice(input, 100000, 200000));
  EXPECT_EQ(g_outputOffset.load(), 4096 + kWrapCopySize + 200000);
}

TEST_F(WorkerTest, AGrowingInputIsFollowedAndTheNextPieceContinuesTheStream) {
  std::string first = TestPath("growing.m2p"), second = TestPath("growing.001.m2p");
  DeleteFileA(second.c_str());
  DeleteFileA(TestPath("growing.m2p.000").c_str());
  DeleteFileA(TestPath("growing[Retry 00].m2p").c_str());
  std::vector<uint8_t> one = Pattern(150000, 3), two = Pattern(70001, 4);
  ASSERT_TRUE(WriteTestFile(first, Slice(one, 0, 100000)));
  Start(first);
  ASSERT_TRUE(RunCyclesUntil(AtEndOfInput, 10));
  uint64_t start = 0;  // a fresh ring starts at 0, and the input from its start
  EXPECT_EQ(g_inputOffset.load(), 100000u);

  // A recorder appends: the next cycle copies the new bytes.
  ASSERT_TRUE(WriteTestFile(first, one));
  RunCopyCycle();
  EXPECT_EQ(g_inputOffset.load(), 150000u);
  EXPECT_EQ(g_barState.load(), BAR_FILE_END);
  // Within the grace nothing else happens, even with the next piece there.
  ASSERT_TRUE(WriteTestFile(second, two));
  RunCopyCycle();
  RunCopyCycle();
  EXPECT_FALSE(CommandPending(CMD_NEW_INPUT));
  EXPECT_STREQ(g_settings.File, first.c_str());

  // The grace has run out: the numbered piece is taken over at the cycle's end.
  g_worker.endDeadline = GetTickCount() - 10;
  RunCopyCycle();
  EXPECT_STREQ(g_settings.File, second.c_str());
  char shown[MAX_PATH];
  GetDlgItemTextA(g_controlWindow, IDC_INPUT_PATH, shown, sizeof shown);
  EXPECT_STREQ(shown, second.c_str());
  EXPECT_EQ(g_inputOffset.load(), 0u);
  EXPECT_EQ(g_outputOffset.load(), start + 150000);
  EXPECT_NE(g_previousInputFile, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(RunCyclesUntil(AtEndOfInput, 10));
  EXPECT_EQ(ReadRange(start, 150000), one);
  EXPECT_EQ(ReadRange(start + 150000, 70001), two);

  // No growing.002.m2p: the copy stops once the grace has run out.
  g_worker.endDeadline = GetTickCount() - 10;
  RunCopyCycle();
  EXPECT_EQ(g_stopped.load(), 1u);
  RunCopyCycle();
  EXPECT_EQ(g_previousInputFile, INVALID_HANDLE_VALUE);
}

TEST_F(WorkerTest, ARetryPieceOverwritesTheLastKilobyte) {
  std::string first = TestPath("show.m2p.004"), retry = TestPath("show[Retry 00].m2p");
  DeleteFileA(TestPath("show.m2p.005").c_str());
  std::vector<uint8_t> one = Pattern(50000, 5), two = Pattern(9000, 6);
  ASSERT_TRUE(WriteTestFile(first, one));
  ASSERT_TRUE(WriteTestFile(retry, two));
  Start(first);
  ASSERT_TRUE(RunCyclesUntil(AtEndOfInput, 10));
  g_worker.endDeadline = GetTickCount() - 10;
  RunCopyCycle();
  EXPECT_STREQ(g_settings.File, retry.c_str());
  EXPECT_EQ(g_previousInputFile, INVALID_HANDLE_VALUE);
  EXPECT_EQ(g_outputOffset.load(), 50000u - 1024);
  ASSERT_TRUE(RunCyclesUntil(AtEndOfInput, 10));
  EXPECT_EQ(ReadRange(0, 50000 - 1024), Slice(one, 0, 50000 - 1024));
  EXPECT_EQ(ReadRange(50000 - 1024, 9000), two);
}

TEST_F(WorkerTest, TheCopyWaitsBehindTheKnob) {
  std::string path = TestPath("paced.m2p");
  ASSERT_TRUE(WriteTestFile(path, Pattern(100000, 7)));
  g_standInPlayer = StandInPlayer{true, true, 6000, 0};
  g_outputOffset = g_ringFileLength.load() / 5 + 1024;  // 20 % after the takeover
  Start(path);
  RunCopyCycle();
  EXPECT_EQ(g_barState.load(), BAR_WAITING);
  EXPECT_EQ(g_inputOffset.load(), 0u);
  EXPECT_GT(g_standInPlayer.knobReads, 0);
  // The Player moves on: copying resumes.
  g_standInPlayer.knob = 9000;
  ASSERT_TRUE(RunCyclesUntil(AtEndOfInput, 10));
}

TEST_F(WorkerTest, WithoutAPlayerTheGuardStopsTheCopyWithOneClick) {
  std::string path = TestPath("no_player.m2p");
  ASSERT_TRUE(WriteTestFile(path, Pattern(200000, 8)));
  g_standInPlayer.present = false;
  Start(path);
  RunCopyCycle();
  PumpMessages();
  EXPECT_TRUE(CommandPending(CMD_STOP));
  EXPECT_FALSE(CommandPending(CMD_START));
  PollRequests(0);
  EXPECT_EQ(g_stopped.load(), 1u);
  PumpMessages();
  EXPECT_EQ(g_pendingCommands.load(), 0u);  // no second click that would start it again
}

TEST_F(WorkerTest, AMissingInputIsReportedWithItsPathAndStopsTheCopy) {
  std::string path = TestPath("vanished.m2p");
  DeleteFileA(path.c_str());
  std::vector<uint8_t> before = ReadRange(0, 65536);
  strcpy(g_settings.File, path.c_str());
  RaiseCommands(CMD_START);
  PollRequests(0);
  MessageBoxCatcher box;
  RunCopyCycle();
  EXPECT_EQ(box.Text(), "入力ファイル" + path + "をオープンできません!");
  EXPECT_EQ(g_stopped.load(), 1u);
  EXPECT_EQ(ReadRange(0, 65536), before);
}

TEST_F(WorkerTest, AnOutputThatCannotBeOpenedIsReportedWithItsPath) {
  std::string path = TestPath("locked_out.m2p");
  ASSERT_TRUE(WriteTestFile(path, Pattern(1000, 9)));
  // Another program holds the ring without sharing it.
  HANDLE holder = CreateFileA(kRing, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  strcpy(g_settings.File, path.c_str());
  RaiseCommands(CMD_START);
  PollRequests(0);
  MessageBoxCatcher box;
  RunCopyCycle();
  CloseHandle(holder);
  EXPECT_EQ(box.Text(), "出力ファイルT:\\$Ringfeed.mpgをオープンできません!");
  EXPECT_EQ(g_stopped.load(), 1u);
}

// Pumps the test thread's messages (the worker sends its caption) until
// done() or 30 s.
bool WaitPumping(const std::function<bool()>& done) {
  for (int i = 0; i < 3000 && !done(); ++i) {
    PumpMessages();
    Sleep(10);
  }
  PumpMessages();
  return done();
}

uint64_t RingLength() {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(kRing, GetFileExInfoStandard, &data)) return 0;
  return (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

TEST_F(WorkerTest, QuittingDuringTheFillEndsAtTheSafePointAndTheFillResumesLater) {
  DeleteFileA(kRing);
  g_settings.Clear = 0;
  RaiseCommands(CMD_OPEN_OUTPUT | CMD_SIZE);
  PollRequests(1);
  PollRequests(1);
  ASSERT_EQ(g_ring.initialisePending, 1);
  std::string path = TestPath("fill.m2p");
  ASSERT_TRUE(WriteTestFile(path, Pattern(1000, 10)));
  strcpy(g_settings.File, path.c_str());
  RaiseCommands(CMD_START);
  PollRequests(0);
  g_workerFinishedPosts = 0;
  HANDLE thread = CreateThread(nullptr, 0, CopyWorkerMain, nullptr, 0, nullptr);
  ASSERT_TRUE(WaitPumping([] { return RingLength() >= (uint64_t(32) << 20); }));
  RaiseCommands(CMD_QUIT);
  ASSERT_TRUE(WaitPumping([&] { return WaitForSingleObject(thread, 0) == WAIT_OBJECT_0; }));
  CloseHandle(thread);
  EXPECT_EQ(g_workerFinishedPosts, 1);
  EXPECT_EQ(g_ring.initialisePending, 1);
  uint64_t reached = RingLength();
  EXPECT_LT(reached, g_ringFileLength.load());
  char caption[64];
  GetWindowTextA(g_controlWindow, caption, sizeof caption);
  EXPECT_STREQ(caption, "Ringfeed");

  // The handle is still open (the shutdown closes it): the next run of the
  // fill goes on from where it stopped and the copy follows.
  g_worker.exitRequested = 0;
  ASSERT_TRUE(RunCyclesUntil(AtEndOfInput, 5));
  EXPECT_EQ(g_ring.initialisePending, 0);
  EXPECT_EQ(RingLength(), g_ringFileLength.load());
  EXPECT_EQ(ReadRange(0, 1000), Pattern(1000, 10));
  EXPECT_EQ(ReadRange(1000, 1 << 20), std::vector<uint8_t>(1 << 20, 0));
}

TEST_F(WorkerTest, TheThreadEndsAfterQuitAndSaysSo) {
  g_workerFinishedPosts = 0;
  RaiseCommands(CMD_QUIT);
  HANDLE thread = CreateThread(nullptr, 0, CopyWorkerMain, nullptr, 0, nullptr);
  ASSERT_EQ(WaitForSingleObject(thread, 20000), WAIT_OBJECT_0);
  CloseHandle(thread);
  PumpMessages();
  EXPECT_EQ(g_workerFinishedPosts, 1);
}

}  // namespace

TEST_F(WorkerTest, ThePreviewSessionEndsWhenTheWorkerLeavesOrClosesItsInput) {
  const std::string path = "T:\\copy\\av.mpg";
  if (ProbeFileSize(path.c_str()) <= 0) GTEST_SKIP() << path << " is made by the ctest fixture copy_make_av_stream";
  g_settings.Wait = 0;
  g_audioBitRate = 0;
  StreamInfo info = {};
  ASSERT_EQ(OpenPreviewSession(path.c_str(), nullptr, nullptr, &info), 1);
  EXPECT_EQ(g_audioBitRate.load(), 224u);

  Start(path);  // the takeover
  EXPECT_FALSE(preview_is_open());

  // A session opened while copying lasts until the stop closes the input.
  ASSERT_EQ(OpenPreviewSession(path.c_str(), nullptr, nullptr, nullptr), 1);
  RunCopyCycle();
  EXPECT_TRUE(preview_is_open());
  RaiseCommands(CMD_STOP);
  RunCopyCycle();
  EXPECT_EQ(g_inputFile, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(preview_is_open());

  // Stopped cycles with nothing to close leave a new session alone.
  ASSERT_EQ(OpenPreviewSession(path.c_str(), nullptr, nullptr, nullptr), 1);
  RunCopyCycle();
  RunCopyCycle();
  EXPECT_TRUE(preview_is_open());
  preview_close();
}

TEST(PreviewLinkTest, OnlyASessionThatFoundAudioChangesTheBitRate) {
  StreamInfo info = {};
  info.audio_bit_rate = 384;
  EXPECT_EQ(AudioBitRateAfterOpen(info, 224), 224u);
  info.audio_found = 1;
  EXPECT_EQ(AudioBitRateAfterOpen(info, 224), 384u);
}
