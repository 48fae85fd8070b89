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

struct BoxSearch {
  DWORD processId;
  HWND control;
  HWND found;
};

BOOL CALLBACK MatchBox(HWND window, LPARAM context) {
  BoxSearch* search = reinterpret_cast<BoxSearch*>(context);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  char cls[32] = "";
  GetClassNameA(window, cls, sizeof cls);
  if (pid != search->processId || window == search->control || strcmp(cls, "#32770") != 0) return TRUE;
  if (WindowText(window) != "Ringfeed" || !IsWindowVisible(window)) return TRUE;
  search->found = window;
  return FALSE;
}

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
  BoxSearch search = {run.ProcessId(), control, nullptr};
  std::string text;
  ASSERT_TRUE(WaitUntil(
      [&] {
        search.found = nullptr;
        EnumWindows(MatchBox, reinterpret_cast<LPARAM>(&search));
        if (search.found) EnumChildWindows(search.found, FindInputText, reinterpret_cast<LPARAM>(&text));
        return !text.empty();
      },
      120000));
  EXPECT_EQ(text, "入力ファイル" + input + "をオープンできません!");
  EXPECT_EQ(ControlText(control, IDC_START), "続行(&S)");
  PostMessageA(search.found, WM_COMMAND, IDOK, 0);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindow(search.found); }));

  // Still answering: the window goes on and ends cleanly when closed.
  EXPECT_TRUE(IsWindow(control));
  PostMessageA(control, WM_CLOSE, 0, 0);
  EXPECT_EQ(run.WaitForExit(), 0u);
}

}  // namespace
