// Failing files in the real program: the message box names the file, the
// copy stops, the program goes on, and what the ring already holds stays.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/e2e/driver.h"

using namespace e2e;

namespace {

const char kRing[] = "T:\\$Ringfeed.mpg";

BOOL CALLBACK FindFileText(HWND child, LPARAM context) {
  std::string text = WindowText(child);
  if (text.find("ファイル") == std::string::npos) return TRUE;
  *reinterpret_cast<std::string*>(context) = text;
  return FALSE;
}

// Waits for the program's message box about a file; its text, or empty.
std::string WaitForFileMessage(RingfeedRun& run, HWND control, HWND* box, DWORD timeoutMs = 120000) {
  std::string text;
  WaitUntil(
      [&] {
        *box = MessageBoxOf(run.ProcessId(), control);
        if (*box) EnumChildWindows(*box, FindFileText, reinterpret_cast<LPARAM>(&text));
        return !text.empty();
      },
      timeoutMs);
  return text;
}

void Dismiss(HWND box) {
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  WaitUntil([&] { return !IsWindow(box); });
}

std::string Pattern(size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = char((i * 131 + seed * 7 + (i >> 9)) ^ seed);
  return bytes;
}

// A recorder's write: appends to its file, sharing it as recorders do.
bool Append(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD done = 0;
  bool ok = WriteFile(file, bytes.data(), DWORD(bytes.size()), &done, nullptr) && done == bytes.size();
  CloseHandle(file);
  return ok;
}

// Zeros over the start of an existing ring, so that what an earlier run left
// there is never taken for this run's copy.
void BlankRingStart(size_t count) {
  HANDLE file = CreateFileA(kRing, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  std::string zeros(count, '\0');
  DWORD done = 0;
  WriteFile(file, zeros.data(), DWORD(count), &done, nullptr);
  CloseHandle(file);
}

// Starts the program copying `input` onto `drive` without waiting for a
// Player; its Control window, or null.
HWND StartCopyProgram(RingfeedRun& run, const char* drive, const std::string& input, const char* options) {
  if (!WriteFileText(run.ProfilePath(), std::string("[Output]\r\nDrive=") + drive + "\r\nSize=28\r\nWait=No\r\n" +
                                            options + "[Input]\r\nFile=" + input + "\r\nSerial=No\r\n") ||
      !run.Start())
    return nullptr;
  return run.WaitForControlWindow();
}

uint64_t SavedOutputOffset(RingfeedRun& run) {
  return std::strtoull(ProfileValue(run.ProfilePath(), "Output", "Offset").c_str(), nullptr, 10);
}

TEST(CopyFaultE2e, AnInputThatIsGoneIsNamedInABoxAndTheCopyStopsButTheProgramGoesOn) {
  std::string folder = MakeTestFolder("copy_fault");
  std::string input = folder + "\\gone.mpg";
  ASSERT_TRUE(WriteFileText(input, std::string(100000, 'x')));
  RingfeedRun run(folder);
  HWND control = StartCopyProgram(run, "T:", input, "");
  ASSERT_NE(control, nullptr);
  ASSERT_TRUE(DeleteFileA(input.c_str()));

  PostMessageA(control, WM_COMMAND, IDC_START, 0);
  HWND box = nullptr;
  EXPECT_EQ(WaitForFileMessage(run, control, &box), "入力ファイル" + input + "をオープンできません!");
  EXPECT_EQ(ControlText(control, IDC_START), "続行(&S)");
  Dismiss(box);
  ASSERT_FALSE(IsWindow(box));

  // Still answering: the window goes on and ends cleanly when closed.
  EXPECT_TRUE(IsWindow(control));
  PostMessageA(control, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.WaitForExit(), 0u);
}

// A recorder that deletes its recording while it is copied: the copy holds
// the file as Windows programs do (shared for reading and writing, not for
// deleting), so the delete is refused and the copy goes on following the
// recording. Once the user stops the copy the delete goes through; resuming
// then names the file in a box, the copy stays stopped, and the ring keeps
// every byte it had.
TEST(CopyFaultE2e, ARecordingDeletedWhileCopiedGoesOnceTheCopyStopsAndResumingNamesIt) {
  std::string folder = MakeTestFolder("copy_deleted");
  std::string input = folder + "\\recording.m2p";
  const std::string recording = Pattern(4 << 20, 3);
  const size_t piece = 65536;
  size_t recorded = 1 << 20;
  ASSERT_TRUE(WriteFileText(input, recording.substr(0, recorded)));
  BlankRingStart(recording.size());
  RingfeedRun run(folder);
  HWND control = StartCopyProgram(run, "T:", input, "Head=Yes\r\nClear=Yes\r\n");
  ASSERT_NE(control, nullptr);
  PostMessageA(control, WM_COMMAND, IDC_START, 0);

  // The recorder goes on writing; the copy follows it to the first mebibyte.
  auto record = [&] {
    if (recorded < recording.size() && Append(input, recording.substr(recorded, piece))) recorded += piece;
  };
  ASSERT_TRUE(WaitUntil([&] { record(); return ReadShared(kRing, 0, 1 << 20) == recording.substr(0, 1 << 20); }, 120000));
  ASSERT_EQ(MessageBoxOf(run.ProcessId(), control), nullptr);

  EXPECT_FALSE(DeleteFileA(input.c_str()));
  EXPECT_EQ(GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
  ASSERT_TRUE(WaitUntil([&] { record(); return recorded == recording.size(); }, 60000));
  ASSERT_TRUE(WaitUntil([&] { return ReadShared(kRing, 0, recorded) == recording; }, 60000));
  EXPECT_EQ(ControlText(control, IDC_START), "停止(&S)");

  // The user stops the copy; the recorder's delete now goes through.
  PostMessageA(control, WM_COMMAND, IDC_START, 0);
  ASSERT_TRUE(WaitUntil([&] { return DeleteFileA(input.c_str()) != 0; }, 20000));
  EXPECT_EQ(ControlText(control, IDC_START), "続行(&S)");

  PostMessageA(control, WM_COMMAND, IDC_START, 0);
  HWND box = nullptr;
  EXPECT_EQ(WaitForFileMessage(run, control, &box), "入力ファイル" + input + "をオープンできません!");
  EXPECT_EQ(ControlText(control, IDC_START), "続行(&S)");
  Dismiss(box);
  EXPECT_EQ(ReadShared(kRing, 0, recorded), recording);

  PostMessageA(control, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.WaitForExit(), 0u);
  EXPECT_EQ(SavedOutputOffset(run), recorded);
}

// A full output drive: U: is a 4 MiB tmpfs (fixture copy_full_drive) holding
// a sparse 2^28 - 1 ring, so the copy runs until the drive has no room left.
TEST(CopyFaultE2e, AFullOutputDriveIsNamedInABoxAndWhatTheRingHoldsStays) {
  const char ring[] = "U:\\$Ringfeed.mpg";
  if (GetFileAttributesA(ring) == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "no small drive U:: the fixture copy_full_drive mounts a tmpfs, which needs the right to mount";
  std::string folder = MakeTestFolder("copy_full");
  std::string input = folder + "\\large.m2p";
  const std::string recording = Pattern(16 << 20, 5);
  ASSERT_TRUE(WriteFileText(input, recording));
  RingfeedRun run(folder);
  HWND control = StartCopyProgram(run, "U:", input, "Head=Yes\r\nClear=Yes\r\n");
  ASSERT_NE(control, nullptr);

  PostMessageA(control, WM_COMMAND, IDC_START, 0);
  HWND box = nullptr;
  EXPECT_EQ(WaitForFileMessage(run, control, &box), std::string("出力ファイル") + ring + "に書き込めません!");
  EXPECT_EQ(ControlText(control, IDC_START), "続行(&S)");
  Dismiss(box);
  ASSERT_FALSE(IsWindow(box));

  PostMessageA(control, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.WaitForExit(), 0u);
  // Up to the chunk the drive refused, the ring holds the recording.
  uint64_t written = SavedOutputOffset(run);
  EXPECT_GT(written, 1u << 20);
  EXPECT_LE(written, 4u << 20);  // the drive's size
  EXPECT_TRUE(ReadShared(ring, 0, size_t(written)) == recording.substr(0, size_t(written)));
}

}  // namespace
