// Start of the Copy worker, common controls, and the orderly shutdown.
#include <windows.h>

#include <commctrl.h>

#include "app/app.h"
#include "app/settings_table.h"
#include "app/shared_state.h"
#include "control/control_window.h"
#include "control/tooltips.h"
#include "copy/worker.h"
#include "mpeg/session.h"

void StartCopyWorker() {
  g_workerThread = CreateThread(nullptr, 0, CopyWorkerMain, nullptr, 0, &g_workerThreadId);
  if (g_workerThread) return;
  MessageBoxA(g_controlWindow, "スレッドを作成できませんでした。実行を中止します!", PROGRAM_TITLE,
              MB_ICONERROR);
  // Without a worker handle, WM_CLOSE runs the shutdown at once.
  PostMessageA(g_controlWindow, WM_CLOSE, 0, 0);
}

int InitCommonControlsAll() {
  typedef BOOL(WINAPI * InitEx)(const INITCOMMONCONTROLSEX*);
  HMODULE library = LoadLibraryA("comctl32.dll");
  if (!library) return 0;
  InitEx init = reinterpret_cast<InitEx>(
      reinterpret_cast<void*>(GetProcAddress(library, "InitCommonControlsEx")));
  if (init) {
    INITCOMMONCONTROLSEX classes = {8, 0xFF};
    init(&classes);
  }
  FreeLibrary(library);
  return init != nullptr;
}

namespace {

void StoreCopyPositionsInSettings() {
  uint64_t input = g_inputOffset.load();
  g_settings.OffsetLo = static_cast<uint32_t>(input);
  g_settings.OffsetHi = static_cast<uint32_t>(input >> 32);
  g_settings.Offset = static_cast<uint32_t>(g_outputOffset.load());
}

}  // namespace

void RunShutdownSequence(HWND window) {
  preview_close();
  CloseCopyFiles();

  RECT frame = {};
  bool minimised = IsIconic(window) != 0;
  if (!minimised) GetWindowRect(window, &frame);
  StoreCopyPositionsInSettings();
  SaveSettingsAtExit(minimised, frame.left, frame.top);

  TeardownTooltips();
  ReleaseControlWindowResources();  // menus, then brushes and the drive font
  DestroyWindow(window);
}
