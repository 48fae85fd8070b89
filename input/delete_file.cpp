// The Input dialog's delete button: removes the previewed file, stopping the
// copy first when it is the input being copied.
#include <windows.h>

#include <shellapi.h>

#include <cstring>

#include "app/app.h"
#include "app/settings_table.h"
#include "app/shared_state.h"
#include "copy/worker.h"
#include "input/folder_list.h"
#include "input/input_dialog.h"
#include "input/preview_panel.h"

namespace {

const int kStopRounds = 1000;
const int kTooSlowRounds = 100;

bool InputFileOpen() {
  // Written by the Copy worker; read once per round here.
  return __atomic_load_n(&g_inputFile, __ATOMIC_ACQUIRE) != INVALID_HANDLE_VALUE;
}

// Clicks the Control window's Start/Stop button and lets it work until the
// Copy worker has closed the input; false when that took too long.
bool StopCopyOf(const char* path) {
  HWND control = g_controlWindow;
  SendMessageA(control, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(control, IDOK)));
  int rounds = 0;
  while (rounds < kStopRounds && InputFileOpen()) {
    MSG msg;
    if (PeekMessageA(&msg, control, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    Sleep(10);
    ++rounds;
  }
  if (rounds < kTooSlowRounds) return true;
  char text[400];
  wsprintfA(text, "入力ファイル%sのコピーを停止して下さい!", path);
  MessageBoxA(g_inputDialog.frame, text, PROGRAM_TITLE, MB_ICONERROR);
  return false;
}

}  // namespace

void OnDeleteFile(HWND dialog) {
  if (!preview_is_open()) return;
  g_inputDialog.busy = 1;
  char path[sizeof g_previewPath + 1];
  strcpy(path, g_previewPath);
  char input[MAX_PATH];
  LoadInputPath(input);
  if (SameText(path, input) && g_stopped.load() == 0 && !StopCopyOf(path)) {
    g_inputDialog.busy = 0;
    return;
  }
  preview_close();
  char source[sizeof g_previewPath + 2] = {};  // ends in two NULs
  strcpy(source, path);
  SHFILEOPSTRUCTA operation = {};
  operation.wFunc = FO_DELETE;
  operation.pFrom = source;
  int failed = SHFileOperationA(&operation);
  if (!failed && !operation.fAnyOperationsAborted) BlankPreviewAfterDelete(dialog, g_inputDialog.frame);
  g_inputDialog.busy = 0;
}
