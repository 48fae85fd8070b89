// Start-up, single instance and shutdown, seen from outside the program.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/driver.h"

using namespace e2e;

namespace {

// Lines of the profile in order, each expected after the one before.
void ExpectInOrder(const std::string& text, const std::vector<std::string>& lines) {
  size_t at = 0;
  for (const std::string& line : lines) {
    SCOPED_TRACE(line);
    size_t found = text.find(line + "\r\n", at);
    ASSERT_NE(found, std::string::npos) << text;
    at = found + line.size();
  }
}

TEST(Startup, ShowsTheControlWindowWithItsTexts) {
  RingfeedRun run(MakeTestFolder("startup_texts"));
  ASSERT_TRUE(run.Start());
  HWND window = run.WaitForControlWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_TRUE(IsWindowVisible(window));
  EXPECT_EQ(ControlText(window, 1), "開始(&S)");
  EXPECT_EQ(ControlText(window, 1001), "参照(&B)");
  EXPECT_EQ(ControlText(window, 1002), "VT+で再生(&P)");
  EXPECT_FALSE(IsWindowEnabled(GetDlgItem(window, 1002)));
  EXPECT_EQ(ControlText(window, 1062), "0.0%");
  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.WaitForExit(), 0u);
}

TEST(Startup, SecondStartForwardsToTheFirstAndEnds) {
  std::string folder = MakeTestFolder("startup_single");
  RingfeedRun first(folder);
  ASSERT_TRUE(first.Start());
  HWND window = first.WaitForControlWindow();
  ASSERT_NE(window, nullptr);
  ShowWindow(window, SW_MINIMIZE);
  ASSERT_TRUE(WaitUntil([&] { return IsIconic(window) != 0; }));

  RingfeedRun second(folder);
  ASSERT_TRUE(second.Start());
  EXPECT_EQ(second.WaitForExit(), 0u);
  EXPECT_TRUE(WaitUntil([&] { return !IsIconic(window); }));
  EXPECT_TRUE(WaitUntil([&] { return GetForegroundWindow() == window; }));
  EXPECT_EQ(GetFileAttributesA(first.ProfilePath().c_str()), INVALID_FILE_ATTRIBUTES)
      << "the second instance must write nothing";

  PostMessageA(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(first.WaitForExit(), 0u);
}

TEST(Shutdown, CloseWritesPositionAndSettingsInOrder) {
  RingfeedRun run(MakeTestFolder("shutdown_order"));
  ASSERT_TRUE(WriteFileText(run.ProfilePath(),
                            "[Window]\r\nX=40\r\nY=30\r\nPriority=-3\r\nTop=yes\r\n"
                            "[Output]\r\nSize=27\r\nStop=20\r\nDrive=T:\r\n"
                            "[Input]\r\nFile=T:\\gone\\missing.m2p\r\nOffsetLo=5\r\n"
                            "[Color]\r\nWorking=FF\r\n"));
  ASSERT_TRUE(run.Start());
  HWND window = run.WaitForControlWindow();
  ASSERT_NE(window, nullptr);
  RECT frame;
  GetWindowRect(window, &frame);
  EXPECT_EQ(frame.left, 40);
  EXPECT_EQ(frame.top, 30);
  SetWindowPos(window, nullptr, 70, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  PostMessageA(window, WM_CLOSE, 0, 0);
  ASSERT_EQ(run.WaitForExit(), 0u);

  std::string text = ReadFileText(run.ProfilePath());
  ExpectInOrder(text, {"[Window]", "X=70", "Y=60", "Priority=-3", "Top=Yes", "Tip=Yes",
                       "Progress=Yes", "Minimized=No", "Priority2=0"});
  // Keys already in the file keep their places; new ones follow in writing order.
  ExpectInOrder(text, {"[Input]", "File=", "OffsetLo=0", "FolderList=", "Folder=", "OffsetHi=0",
                       "Serial=Yes"});
  ExpectInOrder(text, {"[Output]", "Size=28", "Stop=20", "Drive=T:", "Offset=0", "Clear=No",
                       "Wait=Yes", "Head=1"});
  ExpectInOrder(text, {"[Color]", "Working=FF", "[Play]", "NoStop=No", "Rewind=No"});
  // The vanished input is forgotten, its position with it.
  EXPECT_EQ(ProfileValue(run.ProfilePath(), "Input", "File"), "");
}

TEST(Shutdown, InputThatStillExistsKeepsItsPosition) {
  RingfeedRun run(MakeTestFolder("shutdown_input"));
  std::string input = run.Folder() + "\\録画.m2p";
  ASSERT_TRUE(WriteFileText(input, std::string(100000, 'x')));
  ASSERT_TRUE(WriteFileText(run.ProfilePath(), "[Input]\r\nFile=" + input +
                                                   "\r\nOffsetLo=65536\r\nOffsetHi=1\r\n"
                                                   "[Output]\r\nOffset=1234\r\n"));
  ASSERT_TRUE(run.Start());
  HWND window = run.WaitForControlWindow();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(ControlText(window, 1031), input);
  PostMessageA(window, WM_CLOSE, 0, 0);
  ASSERT_EQ(run.WaitForExit(), 0u);
  EXPECT_EQ(ProfileValue(run.ProfilePath(), "Input", "File"), input);
  EXPECT_EQ(ProfileValue(run.ProfilePath(), "Input", "OffsetLo"), "65536");
  EXPECT_EQ(ProfileValue(run.ProfilePath(), "Input", "OffsetHi"), "1");
  EXPECT_EQ(ProfileValue(run.ProfilePath(), "Output", "Offset"), "1234");
}

TEST(Shutdown, MinimisedAtExitKeepsTheStoredPosition) {
  RingfeedRun run(MakeTestFolder("shutdown_minimised"));
  ASSERT_TRUE(WriteFileText(run.ProfilePath(), "[Window]\r\nX=11\r\nY=22\r\n"));
  ASSERT_TRUE(run.Start());
  HWND window = run.WaitForControlWindow();
  ASSERT_NE(window, nullptr);
  ShowWindow(window, SW_MINIMIZE);
  ASSERT_TRUE(WaitUntil([&] { return IsIconic(window) != 0; }));
  PostMessageA(window, WM_CLOSE, 0, 0);
  ASSERT_EQ(run.WaitForExit(), 0u);
  EXPECT_EQ(ProfileValue(run.ProfilePath(), "Window", "X"), "11");
  EXPECT_EQ(ProfileValue(run.ProfilePath(), "Window", "Y"), "22");
  EXPECT_EQ(ProfileValue(run.ProfilePath(), "Play", "Rewind"), "No");
}

TEST(Shutdown, EndOfSessionSavesAtOnce) {
  RingfeedRun run(MakeTestFolder("shutdown_session"));
  ASSERT_TRUE(run.Start());
  HWND window = run.WaitForControlWindow();
  ASSERT_NE(window, nullptr);
  DWORD_PTR result = 0;
  SendMessageTimeoutA(window, WM_ENDSESSION, 0, 0, SMTO_ABORTIFHUNG, 5000, &result);
  Sleep(200);
  EXPECT_EQ(GetFileAttributesA(run.ProfilePath().c_str()), INVALID_FILE_ATTRIBUTES)
      << "WM_ENDSESSION with wParam 0 changes nothing";
  SendMessageTimeoutA(window, WM_ENDSESSION, 1, 0, SMTO_ABORTIFHUNG, 5000, &result);
  EXPECT_EQ(ProfileValue(run.ProfilePath(), "Play", "Rewind"), "No");
  EXPECT_EQ(ProfileValue(run.ProfilePath(), "Output", "Stop"), "50");
  EXPECT_EQ(run.WaitForExit(), 0u);
}

}  // namespace
