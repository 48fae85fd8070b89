// The Control window of the real program, worked from outside as a user
// works it: typing, menu commands, the tray, and what reaches the profile.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/driver.h"

using namespace e2e;

namespace {

const UINT kTrayNotify = 0x7777;

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

}  // namespace
