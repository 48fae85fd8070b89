// Entry point: single-instance rule, the Control window and the message loop.
#include <windows.h>

#include "app/app.h"
#include "control/control_window.h"
#include "resources/resource.h"

namespace {

// A running instance is brought forward instead of starting a second one.
bool ForwardToRunningInstance() {
  HWND running = FindWindowA(nullptr, PROGRAM_TITLE);
  if (!running) return false;
  if (IsIconic(running)) ShowWindow(running, SW_RESTORE);
  SetForegroundWindow(running);
  return true;
}

int RunMessageLoop(HWND window) {
  MSG msg = {};  // a first GetMessageA that fails leaves it unwritten: exit code 0
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (IsDialogMessageA(window, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
  g_osVersion.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
  GetVersionExA(&g_osVersion);
#pragma GCC diagnostic pop
  if (ForwardToRunningInstance()) return 0;

  g_instance = instance;
  HWND window = CreateDialogParamA(instance, MAKEINTRESOURCEA(IDD_CONTROL), nullptr,
                                   ControlWindowProc, 0);
  if (!window) {
    MessageBoxA(nullptr, "ウインドウを作成できませんでした。実行を中止します!", PROGRAM_TITLE,
                MB_ICONERROR);
    return 0;
  }
  ShowWindow(window, showCommand);
  UpdateWindow(window);
  return RunMessageLoop(window);
}
