// The shipped program (RINGFEED_PROGRAM, the i686 build under the 32-bit
// loader) driven from outside. Each start of a 32-bit process costs a minute
// or more under qemu, so one case does everything in two starts: a copy
// across the ring's wrap paced by the stand-in Player, the Input dialog and
// the settings it leaves; then a second run that shows those settings.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/e2e/driver.h"
#include "tests/player/theater_run.h"

using namespace e2e;

namespace {

const char kRing[] = "T:\\$Ringfeed.mpg";
const char kClip[] = "T:\\ship\\clip.mpg";  // made by ffmpeg before the test
const char kDialogTitle[] = "Ringfeed / ビデオファイル選択";
const uint64_t kRingLength = (uint64_t(1) << 28) - 1;  // Size=28
const uint64_t kRingEnd = (uint64_t(1) << 28) - 524288;
const uint64_t kHead = 4096;           // kept head; the ring starts after it
const uint64_t kMirror = 2 << 20;      // the wrap copies the last 2 MiB to the ring start
// The copy starts 1 MiB into the input, 4 MiB before the ring's end (a whole
// lap is 256 MiB, minutes under qemu), wraps, and ends with the input 3 MiB
// after the mirror. The stand-in Player's knob stands at the ring's middle,
// beyond the Stop margin (37%) from everything written: without a Player,
// or with "Wait" off, the copy would stop at the ring's end.
const uint64_t kInputStart = 1 << 20;
const uint64_t kBeforeWrap = 4 << 20;
const uint64_t kPastWrap = 3 << 20;
const uint64_t kOutputStart = kRingEnd - kBeforeWrap;
const uint64_t kInputSize = kInputStart + kBeforeWrap + kPastWrap;
const uint64_t kOutputEnd = kHead + kMirror + kPastWrap;

uint8_t PatternByte(uint64_t i) { return uint8_t((i * 131 + (i >> 9) * 7 + (i >> 20)) ^ 0x5A); }

std::vector<uint8_t> Pattern(uint64_t from, size_t count) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = PatternByte(from + i);
  return bytes;
}

bool WritePatternFile(const std::string& path, uint64_t size) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = true;
  for (uint64_t at = 0; ok && at < size; at += 1 << 22) {
    std::vector<uint8_t> block = Pattern(at, size_t(std::min<uint64_t>(1 << 22, size - at)));
    DWORD wrote = 0;
    ok = WriteFile(file, block.data(), DWORD(block.size()), &wrote, nullptr) && wrote == block.size();
  }
  CloseHandle(file);
  return ok;
}

// A ring of zeros at its size (the saved output offset stands only then)
// but for the head an earlier lap kept: the input's first 4,096 bytes.
bool MakeRing() {
  DeleteFileA(kRing);
  HANDLE file = CreateFileA(kRing, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER end;
  end.QuadPart = LONGLONG(kRingLength);
  bool ok = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  std::vector<uint8_t> head = Pattern(0, kHead);
  LARGE_INTEGER start = {};
  DWORD wrote = 0;
  ok = ok && SetFilePointerEx(file, start, nullptr, FILE_BEGIN) &&
       WriteFile(file, head.data(), DWORD(kHead), &wrote, nullptr) && wrote == kHead;
  CloseHandle(file);
  return ok;
}

std::vector<uint8_t> ReadRing(uint64_t at, size_t count) {
  std::vector<uint8_t> bytes(count);
  HANDLE file = CreateFileA(kRing, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  LARGE_INTEGER to;
  to.QuadPart = LONGLONG(at);
  bool ok = SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != 0;
  for (size_t done = 0; ok && done < count;) {
    DWORD got = 0, want = DWORD(std::min<size_t>(count - done, 1 << 24));
    ok = ReadFile(file, &bytes[done], want, &got, nullptr) && got == want;
    done += got;
  }
  CloseHandle(file);
  return ok ? bytes : std::vector<uint8_t>();
}

// Where ring and input first differ over `count` bytes, or "" when equal.
std::string Compare(const char* what, uint64_t ringAt, uint64_t inputAt, uint64_t count) {
  for (uint64_t done = 0; done < count; done += 16 << 20) {
    size_t n = size_t(std::min<uint64_t>(16 << 20, count - done));
    std::vector<uint8_t> got = ReadRing(ringAt + done, n), want = Pattern(inputAt + done, n);
    if (got.size() != n) return std::string("cannot read ") + what;
    auto d = std::mismatch(got.begin(), got.end(), want.begin());
    if (d.first != got.end())
      return std::string(what) + " differs at ring offset " + std::to_string(ringAt + done + (d.first - got.begin()));
  }
  return "";
}

// A picture on the screen inside the window: most sample points are not
// the dialog background.
bool ShowsPicture(HWND window) {
  RECT r;
  if (!GetWindowRect(window, &r)) return false;
  HDC screen = GetDC(nullptr);
  int picture = 0;
  for (int i = 1; i < 8; ++i) {
    for (int j = 1; j < 8; ++j) {
      COLORREF c = GetPixel(screen, r.left + (r.right - r.left) * i / 8, r.top + (r.bottom - r.top) * j / 8);
      if (c != CLR_INVALID && c != GetSysColor(COLOR_BTNFACE)) ++picture;
    }
  }
  ReleaseDC(nullptr, screen);
  return picture > 24;
}

// Wine's mount manager answers questions about drives by device requests,
// which under qemu-i386 hang the program at random (scripts/wine-env says
// why and leaves it out).
bool WineMountManagerRuns() {
  if (!GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version")) return false;
  HANDLE manager = CreateFileA("\\\\.\\MountPointManager", 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                               OPEN_EXISTING, 0, nullptr);
  if (manager == INVALID_HANDLE_VALUE) return false;
  CloseHandle(manager);
  return true;
}

}  // namespace

// Under qemu on a loaded machine a 32-bit process may get a small share of
// a core for minutes: each wait is long, and only a fault makes it run out.
const DWORD kSlowMs = 600000;

TEST(ShippedProgram, CopiesAcrossAWrapPreviewsAProgramStreamAndKeepsItsSettings) {
  ASSERT_NE(getenv("RINGFEED_PROGRAM"), nullptr) << "RINGFEED_PROGRAM names the program under test";
  ASSERT_FALSE(WineMountManagerRuns())
      << "Wine's mount manager runs in this session (scripts/wine-env leaves it out: wineserver -k, then again)";
  ASSERT_EQ(player_test::AnyTheaterWindow(), nullptr) << "another stand-in Player is running";
  std::string folder = MakeTestFolder("ship");
  std::string input = folder + "\\recording.m2p";
  ASSERT_TRUE(WritePatternFile(input, kInputSize));
  // The Input dialog opens in the input's folder.
  ASSERT_TRUE(CopyFileA(kClip, (folder + "\\clip.mpg").c_str(), FALSE)) << "no " << kClip;
  ASSERT_TRUE(MakeRing());
  player_test::TheaterRun theater;
  ASSERT_TRUE(theater.Start(std::string("\"") + kRing + "\""));
  ASSERT_TRUE(player_test::SeekTheater(theater.Window(), kRingLength / 2));
  RingfeedRun run(folder);
  ASSERT_TRUE(WriteFileText(run.ProfilePath(), "[Output]\r\nDrive=T:\r\nSize=28\r\nWait=Yes\r\nStop=37\r\nOffset=" +
                                               std::to_string(kOutputStart) + "\r\n"
                                               "[Input]\r\nFile=" + input + "\r\nOffsetLo=" +
                                               std::to_string(kInputStart) + "\r\nSerial=No\r\n"
                                               "[Window]\r\nPriority2=3\r\n"));

  // 1. The copy, across the wrap to the input's end.
  DWORD started = GetTickCount();
  ASSERT_TRUE(run.Start());
  HWND control = run.WaitForControlWindow(kSlowMs);
  ASSERT_NE(control, nullptr) << "no Control window";
  printf("first start: %lu ms\n", GetTickCount() - started);
  fflush(stdout);
  EXPECT_EQ(ControlText(control, IDC_INPUT_PATH), input);
  started = GetTickCount();
  PostMessageA(control, WM_COMMAND, IDC_START, 0);
  EXPECT_TRUE(WaitUntil([&] { return ControlText(control, IDC_START) == "停止(&S)"; }, kSlowMs));
  // At the input's end it stops by itself.
  EXPECT_TRUE(WaitUntil([&] { return ControlText(control, IDC_START) == "続行(&S)"; }, kSlowMs))
      << ControlText(control, IDC_START);
  printf("copy of %llu MiB across the wrap: %lu ms\n", (unsigned long long)((kInputSize - kInputStart) >> 20),
         GetTickCount() - started);
  fflush(stdout);
  EXPECT_EQ(MessageBoxOf(run.ProcessId(), control), nullptr);
  EXPECT_EQ(Compare("the kept head", 0, 0, kHead), "");
  EXPECT_EQ(Compare("the mirror", kHead, kInputStart + kBeforeWrap - kMirror, kMirror), "");
  EXPECT_EQ(Compare("the copy after the wrap", kHead + kMirror, kInputStart + kBeforeWrap, kPastWrap), "");
  EXPECT_EQ(ReadRing(kOutputEnd, 4096), std::vector<uint8_t>(4096, 0)) << "written beyond the input's end";
  EXPECT_EQ(Compare("the copy before the wrap", kOutputStart, kInputStart, kBeforeWrap), "");
  EXPECT_EQ(ReadRing(kRingEnd, 4096), std::vector<uint8_t>(4096, 0)) << "written beyond the ring's end";
  theater.End();

  // 2. The Input dialog previews an MPEG-2 program stream, picked as a user
  // types its name.
  started = GetTickCount();
  PostMessageA(control, WM_COMMAND, MAKEWPARAM(IDC_BROWSE, BN_CLICKED), LPARAM(GetDlgItem(control, IDC_BROWSE)));
  HWND frame = nullptr, child = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (frame = FindProcessWindow(run.ProcessId(), kDialogTitle)) && IsWindowVisible(frame); },
                        kSlowMs) &&
              WaitUntil([&] { return (child = GetParent(FindById(frame, IDC_IN_VIDEO))) != nullptr; }))
      << "the Input dialog did not open";
  printf("dialog: %lu ms\n", GetTickCount() - started);
  fflush(stdout);
  started = GetTickCount();
  SendMessageA(FindById(frame, 1152), WM_SETTEXT, 0, LPARAM("clip.mpg"));
  EXPECT_TRUE(WaitUntil([&] { return ControlText(child, IDC_IN_AUDIO) == "Layer2 stereo\n224Kbps 48.0KHz"; }, kSlowMs))
      << ControlText(child, IDC_IN_AUDIO);
  EXPECT_EQ(ControlText(child, IDC_IN_VIDEO), " 8.00Mbps 29.97fps\n720 x 480 pixel");
  EXPECT_TRUE(WaitUntil([&] { return ShowsPicture(GetDlgItem(child, IDC_IN_FRAME)); }, kSlowMs)) << "the panel is blank";
  printf("preview: %lu ms\n", GetTickCount() - started);
  fflush(stdout);
  PostMessageA(frame, WM_COMMAND, IDCANCEL, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(frame); }, kSlowMs)) << "the Input dialog did not close";
  PostMessageA(control, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.WaitForExit(kSlowMs), 0u) << "the first run did not end cleanly";

  // 3. What it left for the next run.
  const std::string profile = run.ProfilePath();
  EXPECT_EQ(ProfileValue(profile, "Output", "Offset"), std::to_string(kOutputEnd));
  EXPECT_EQ(ProfileValue(profile, "Input", "OffsetLo"), std::to_string(kInputSize));
  EXPECT_EQ(ProfileValue(profile, "Input", "File"), input);
  EXPECT_EQ(ProfileValue(profile, "Output", "Stop"), "37");
  EXPECT_EQ(ProfileValue(profile, "Output", "Wait"), "Yes");
  EXPECT_EQ(ProfileValue(profile, "Window", "Priority2"), "3");
  EXPECT_EQ(ProfileValue(profile, "Input", "Folder"), folder);

  // 4. The next run shows them and leaves them as they were.
  RingfeedRun next(folder);
  started = GetTickCount();
  ASSERT_TRUE(next.Start());
  control = next.WaitForControlWindow(kSlowMs);
  ASSERT_NE(control, nullptr) << "no Control window at the second start";
  printf("second start: %lu ms\n", GetTickCount() - started);
  fflush(stdout);
  EXPECT_EQ(ControlText(control, IDC_INPUT_PATH), input);
  EXPECT_EQ(ControlText(control, IDC_MARGIN), "37");
  EXPECT_EQ(ControlText(control, IDC_PAUSE), "3");
  EXPECT_EQ(IsDlgButtonChecked(control, IDC_WAIT_CHECK), UINT(BST_CHECKED));
  PostMessageA(control, WM_CLOSE, 0, 0);
  EXPECT_EQ(next.WaitForExit(kSlowMs), 0u) << "the second run did not end cleanly";
  EXPECT_EQ(ProfileValue(profile, "Output", "Offset"), std::to_string(kOutputEnd));
  EXPECT_EQ(ProfileValue(profile, "Input", "OffsetLo"), std::to_string(kInputSize));
  EXPECT_EQ(ProfileValue(profile, "Output", "Stop"), "37");
}
