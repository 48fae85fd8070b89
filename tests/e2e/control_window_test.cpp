// The Control window of the real program, worked from outside as a user
// works it: typing, menu commands, the tray, and what reaches the profile.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "resources/resource.h"
#include "tests/e2e/driver.h"

using namespace e2e;

namespace {

const UINT kTrayNotify = 0x7777;

BOOL CALLBACK MatchId(HWND child, LPARAM context) {
  auto* search = reinterpret_cast<std::pair<int, HWND>*>(context);
  if (GetDlgCtrlID(child) != search->first) return TRUE;
  search->second = child;
  return FALSE;
}

// The first window below `parent` with control ID `id`, or null.
HWND FindById(HWND parent, int id) {
  std::pair<int, HWND> search(id, nullptr);
  EnumChildWindows(parent, MatchId, reinterpret_cast<LPARAM>(&search));
  return search.second;
}

void Type(HWND field, const char* keys) {
  SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(""));
  for (const char* p = keys; *p; ++p)
    SendMessageA(field, WM_CHAR, static_cast<unsigned char>(*p), 1);
}

TEST(ControlWindowE2e, TypedPriorityIsCleanedAndSavedWithTheMenuToggles) {
  RingfeedRun run(MakeTestFolder("control_priority"));
  ASSERT_TRUE(run.Start());
  HWND window = run.WaitForControlWindow();
  ASSERT_NE(window, nullptr);
  HWND priority = GetDlgItem(window, 1028);
  Type(priority, "1x5");
  EXPECT_EQ(ControlText(window, 1028), "1");
  Type(priority, "-9");
  EXPECT_EQ(ControlText(window, 1028), "-");
  SendMessageA(window, WM_COMMAND, 40020, 0);  // priority -3 from the tray menu
  EXPECT_EQ(ControlText(window, 1028), "-3");
  SendMessageA(window, WM_COMMAND, 40004, 0);  // Serial: on by default, now off
  SendMessageA(window, WM_COMMAND, 40010, 0);  // Clear: off by default, now on
  SendMessageA(window, WM_COMMAND, 40034, 0);  // pause frequency -3
  PostMessageA(window, WM_CLOSE, 0, 0);
  ASSERT_EQ(run.WaitForExit(), 0u);
  EXPECT_EQ(ProfileValue(run.ProfilePath(), "Window", "Priority"), "-3");
  EXPECT_EQ(ProfileValue(run.ProfilePath(), "Window", "Priority2"), "-3");
  EXPECT_EQ(ProfileValue(run.ProfilePath(), "Input", "Serial"), "No");
  EXPECT_EQ(ProfileValue(run.ProfilePath(), "Output", "Clear"), "Yes");
}

TEST(ControlWindowE2e, MinimiseGoesToTheTrayAndAClickOnTheIconRestores) {
  RingfeedRun run(MakeTestFolder("control_tray"));
  ASSERT_TRUE(run.Start());
  HWND window = run.WaitForControlWindow();
  ASSERT_NE(window, nullptr);
  PostMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(window); }));
  PostMessageA(window, kTrayNotify, 0, WM_LBUTTONUP);
  EXPECT_TRUE(WaitUntil([&] { return IsWindowVisible(window) && !IsIconic(window); }));
  PostMessageA(window, WM_CLOSE, 0, 0);
  ASSERT_EQ(run.WaitForExit(), 0u);
  EXPECT_EQ(ProfileValue(run.ProfilePath(), "Window", "Minimized"), "No");
}

TEST(ControlWindowE2e, MinimizedAtStartUpStartsInTheTray) {
  RingfeedRun run(MakeTestFolder("control_tray_start"));
  ASSERT_TRUE(WriteFileText(run.ProfilePath(), "[Window]\r\nMinimized=Yes\r\n"));
  ASSERT_TRUE(run.Start());
  HWND window = run.WaitForControlWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowVisible(window); }));
  PostMessageA(window, WM_CLOSE, 0, 0);
  ASSERT_EQ(run.WaitForExit(), 0u);
  EXPECT_EQ(ProfileValue(run.ProfilePath(), "Window", "Minimized"), "Yes");
}

TEST(ControlWindowE2e, FirstRunTakesTheFirstFixedDriveAndSavesIt) {
  char first = 0;
  for (char letter = 'A'; letter <= 'Z' && !first; ++letter) {
    char root[4] = {letter, ':', '\\', '\0'};
    if (GetDriveTypeA(root) == DRIVE_FIXED) first = letter;
  }
  ASSERT_NE(first, 0);
  RingfeedRun run(MakeTestFolder("control_drive"));
  ASSERT_TRUE(run.Start());
  HWND window = run.WaitForControlWindow();
  ASSERT_NE(window, nullptr);
  std::string shown = ControlText(window, 1021);
  EXPECT_EQ(shown.substr(0, 3), std::string(1, first) + ":\\");
  PostMessageA(window, WM_CLOSE, 0, 0);
  ASSERT_EQ(run.WaitForExit(), 0u);
  EXPECT_EQ(ProfileValue(run.ProfilePath(), "Output", "Drive"), std::string(1, first) + ":");
}

// A cancelled Input dialog must leave nothing behind that holds the copy:
// its "開始(&S)" box, checked as it opens, once kept the copy from ever
// starting after the next output change.
TEST(ControlWindowE2e, StartCopiesAfterACancelledInputDialogAndASizeChange) {
  std::string folder = MakeTestFolder("control_cancel");
  std::string input = folder + "\\input.m2p";
  ASSERT_TRUE(WriteFileText(input, std::string(1 << 20, 'x')));
  RingfeedRun run(folder);
  ASSERT_TRUE(WriteFileText(run.ProfilePath(), "[Output]\r\nDrive=T:\r\nSize=29\r\nWait=No\r\nClear=Yes\r\n"
                                               "[Input]\r\nSerial=No\r\nFile=" + input + "\r\n"));
  ASSERT_TRUE(run.Start());
  HWND window = run.WaitForControlWindow();
  ASSERT_NE(window, nullptr);

  PostMessageA(window, WM_COMMAND, IDC_BROWSE, 0);
  HWND frame = nullptr, start = nullptr;
  ASSERT_TRUE(WaitUntil([&] {
    frame = FindProcessWindow(run.ProcessId(), "Ringfeed / ビデオファイル選択");
    return frame && IsWindowVisible(frame) && (start = FindById(frame, IDC_IN_START)) != nullptr;
  }, 30000));
  EXPECT_EQ(SendMessageA(start, BM_GETCHECK, 0, 0), BST_CHECKED);
  PostMessageA(frame, WM_COMMAND, IDCANCEL, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(frame); }));

  // A user's pause: the stopped worker's cycles go on meanwhile. Then the
  // new size, which the worker takes at the end of a cycle it left for it.
  Sleep(1500);
  PostMessageA(window, WM_COMMAND, IDM_SIZE_FIRST, 0);  // 2^28
  ASSERT_TRUE(WaitUntil([&] { return ControlText(window, IDC_OUTPUT_SIZE).rfind("268,435,455", 0) == 0; }));
  PostMessageA(window, WM_COMMAND, IDC_START, 0);
  EXPECT_TRUE(WaitUntil([&] { return ControlText(window, IDC_POSITION_TEXT) == "100.0%"; }, 30000))
      << ControlText(window, IDC_POSITION_TEXT) << " " << ControlText(window, IDC_START);
  EXPECT_EQ(MessageBoxOf(run.ProcessId(), window), nullptr);
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.WaitForExit(), 0u);
}

}  // namespace
