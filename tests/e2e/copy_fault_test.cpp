// A failing input in the real program: the message box names the file, the
// copy stops, and the program goes on.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "resources/resource.h"
#include "tests/e2e/driver.h"

using namespace e2e;

namespace {

BOOL CALLBACK FindInputText(HWND child, LPARAM context) {
  std::string text = WindowText(child);
  if (text.find("入力ファイル") == std::string::npos) return TRUE;
  *reinterpret_cast<std::string*>(context) = text;
  return FALSE;
}

TEST(CopyFaultE2e, AnInputThatIsGoneIsNamedInABoxAndTheCopyStopsButTheProgramGoesOn) {
  std::string folder = MakeTestFolder("copy_fault");
  std::string input = folder + "\\gone.mpg";
  ASSERT_TRUE(WriteFileText(input, std::string(100000, 'x')));
  RingfeedRun run(folder);
  ASSERT_TRUE(WriteFileText(run.ProfilePath(), "[Output]\r\nDrive=T:\r\nSize=28\r\nWait=No\r\n"
                                               "[Input]\r\nFile=" + input + "\r\nSerial=No\r\n"));
  ASSERT_TRUE(run.Start());
  HWND control = run.WaitForControlWindow();
  ASSERT_NE(control, nullptr);
  ASSERT_TRUE(DeleteFileA(input.c_str()));

  PostMessageA(control, WM_COMMAND, IDC_START, 0);
  HWND box = nullptr;
  std::string text;
  ASSERT_TRUE(WaitUntil(
      [&] {
        box = MessageBoxOf(run.ProcessId(), control);
        if (box) EnumChildWindows(box, FindInputText, reinterpret_cast<LPARAM>(&text));
        return !text.empty();
      },
      120000));
  EXPECT_EQ(text, "入力ファイル" + input + "をオープンできません!");
  EXPECT_EQ(ControlText(control, IDC_START), "続行(&S)");
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(box); }));

  // Still answering: the window goes on and ends cleanly when closed.
  EXPECT_TRUE(IsWindow(control));
  PostMessageA(control, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.WaitForExit(), 0u);
}

}  // namespace
