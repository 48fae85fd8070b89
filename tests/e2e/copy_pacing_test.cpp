// The guard against overtaking, in the real program against the stand-in
// Player playing the ring: the copy, read from the Control window's progress
// bar, never comes closer behind the Player's position than the Stop margin,
// lap after lap; without a Player the guard stops the copy quietly.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "resources/resource.h"
#include "tests/e2e/driver.h"
#include "tests/player/theater_run.h"

using namespace e2e;

namespace {

const char kRing[] = "T:\\$Ringfeed.mpg";
const uint64_t kRingLength = (uint64_t(1) << 28) - 1;       // Size=28
const uint64_t kRingEnd = (uint64_t(1) << 28) - 524288;     // where the copy wraps
const uint64_t kInputLength = uint64_t(640) << 20;          // more than two rings
const int32_t kStopUnits = 10 * 100;                        // Stop=10 in 1/10000
const uint32_t kPlayerRate = 12 << 20;                      // a lap in about 21 s

// The copy position as the progress bar shows it: the filled width F of the
// inner width W stands for an output offset in [F, F + 1) x E / W. Gives the
// upper end in 1/10000 of the ring file, and one bar pixel in that unit.
bool ReadCopyPosition(HWND control, int32_t* upper, int32_t* pixel) {
  RECT filled, empty;
  if (!GetWindowRect(GetDlgItem(control, IDC_PROGRESS_FILLED), &filled) ||
      !GetWindowRect(GetDlgItem(control, IDC_PROGRESS_EMPTY), &empty))
    return false;
  uint64_t f = uint64_t(filled.right - filled.left);
  uint64_t w = f + uint64_t(empty.right - empty.left);
  if (w == 0) return false;
  uint64_t offset = std::min<uint64_t>(f + 1, w) * kRingEnd / w;
  *upper = int32_t(offset * 10000 / kRingLength);
  *pixel = int32_t(kRingEnd * 10000 / kRingLength / w) + 1;
  return true;
}

// The way left for the copy to the Player's position, going forward around
// the ring, in 1/10000 of the ring file.
int32_t GapAhead(int32_t knob, int32_t copy) { return ((knob - copy) % 10000 + 10000) % 10000; }

uint64_t FileLength(const char* path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return 0;
  return (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

bool RingClosed() {
  HANDLE file = CreateFileA(kRing, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  CloseHandle(file);
  return true;
}

void ClickStartStop(HWND control) { PostMessageA(control, WM_COMMAND, IDC_START, 0); }

TEST(CopyPacingE2e, TheCopyStaysTheStopMarginBehindThePlayerForAWholeLap) {
  ASSERT_EQ(player_test::AnyTheaterWindow(), nullptr) << "another stand-in Player is running";
  std::string folder = MakeTestFolder("copy_pacing");
  std::string input = folder + "\\recording.mpg";
  ASSERT_TRUE(player_test::MakeFile(input, kInputLength));
  RingfeedRun run(folder);
  ASSERT_TRUE(WriteFileText(run.ProfilePath(),
                            "[Output]\r\nDrive=T:\r\nSize=28\r\nWait=Yes\r\nStop=10\r\n"
                            "[Input]\r\nFile=" + input + "\r\nSerial=No\r\n"));
  ASSERT_TRUE(run.Start());
  HWND control = run.WaitForControlWindow();
  ASSERT_NE(control, nullptr);

  // No Player: the guard stops the copy (after it made the ring) and says nothing.
  ClickStartStop(control);
  ASSERT_TRUE(WaitUntil([&] { return ControlText(control, IDC_START) == "続行(&S)" && RingClosed(); }, 120000))
      << "button: " << ControlText(control, IDC_START);
  EXPECT_EQ(MessageBoxOf(run.ProcessId(), control), nullptr);
  ASSERT_EQ(FileLength(kRing), kRingLength);

  // The Player plays the ring from its middle; the copy starts behind it.
  player_test::TheaterRun theater;
  ASSERT_TRUE(theater.Start("--rate " + std::to_string(kPlayerRate) + " --play \"" + kRing + "\""));
  ASSERT_TRUE(player_test::SeekTheater(theater.Window(), kRingLength / 2));
  ClickStartStop(control);
  ASSERT_TRUE(WaitUntil([&] { return ControlText(control, IDC_START) == "停止(&S)"; }));

  // The Player only ever widens the way left to it, until it passes the
  // copy (the way drops to 0: the copy under wine is slower than this
  // Player). So whenever the bar shows that the copy moved, the way left must
  // still be the margin: the copy moves only while it is larger.
  int32_t smallestGapAfterMove = 10000, pixel = 0, lastCopy = -1;
  int64_t copied = 0, played = 0;
  uint64_t lastPlayer = 0;
  int samples = 0, moves = 0, heldInMargin = 0;
  std::string failure;
  bool lap = WaitUntil(
      [&] {
        player_test::TheaterState state;
        int32_t copy = 0;
        // The Player first: the copy read after it can only be further on.
        if (!player_test::ReadState(theater.Window(), &state) || state.size != kRingLength ||
            !ReadCopyPosition(control, &copy, &pixel))
          return false;
        if (MessageBoxOf(run.ProcessId(), control)) {
          failure = "a message box came up";
          return true;
        }
        int32_t knob = int32_t(state.position * 10000 / state.size);
        int32_t gap = GapAhead(knob, copy);
        if (samples++ > 0) {
          played += state.position >= lastPlayer ? int64_t(state.position - lastPlayer)
                                                 : int64_t(state.size - lastPlayer + state.position);
          if (copy != lastCopy) {
            ++moves;
            copied += copy > lastCopy ? copy - lastCopy : 10000 - lastCopy + copy;
            smallestGapAfterMove = std::min(smallestGapAfterMove, gap);
          } else if (gap + pixel < kStopUnits && state.position != lastPlayer) {
            ++heldInMargin;
          }
        }
        lastPlayer = state.position;
        lastCopy = copy;
        return played > int64_t(kRingLength) + int64_t(kRingLength / 20);
      },
      180000);
  ASSERT_TRUE(failure.empty()) << failure;
  ASSERT_TRUE(lap) << "the Player did not finish a lap; played " << played;
  std::printf("samples %d, copy moves %d, smallest gap after a move %d/10000 (margin %d, bar pixel %d), "
              "held in the margin %d samples, copy moved %lld/10000\n",
              samples, moves, smallestGapAfterMove, kStopUnits, pixel, heldInMargin,
              static_cast<long long>(copied));
  // The program may come as close as its own rounding of the copy position
  // and one chunk allow; the bar's pixel is this side's uncertainty.
  EXPECT_GE(smallestGapAfterMove, kStopUnits - pixel - 3);
  // Either the copy caught up with the Player or the Player passed the
  // copy: both bring the copy to the margin, where a missing guard shows.
  EXPECT_GE(moves, 2);

  PostMessageA(control, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.WaitForExit(), 0u);
}

}  // namespace
