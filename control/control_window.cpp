// Control window procedure: initialisation, commands and the close hand-shake.
#include "control/control_window.h"

#include <commctrl.h>

#include <cstdio>

#include "app/app.h"
#include "app/settings_table.h"
#include "app/shared_state.h"
#include "player/player_launch.h"
#include "resources/resource.h"

namespace {

struct ControlResources {
  HBRUSH working, waiting, fileEnd, progressBar, progressArea, tipHelp;
  HFONT driveFont;
  HICON icon;
  HMENU windowMenu, trayMenu;
};

ControlResources g_resources = {};

HBRUSH BrushFromSetting(SettingId id, uint32_t* colour) {
  ReadSetting(id);
  return CreateSolidBrush(*colour);
}

void CreateBrushes() {
  g_resources.working = BrushFromSetting(SET_WORKING, &g_settings.Working);
  g_resources.waiting = BrushFromSetting(SET_WAITING, &g_settings.Waiting);
  g_resources.fileEnd = BrushFromSetting(SET_FILEEND, &g_settings.FileEnd);
  g_resources.progressBar = BrushFromSetting(SET_PROGRESSBAR, &g_settings.ProgressBar);
  g_resources.progressArea = BrushFromSetting(SET_PROGRESSAREA, &g_settings.ProgressArea);
  g_resources.tipHelp = BrushFromSetting(SET_TIPHELP, &g_settings.TipHelp);
}

void SetupLookAndMenus(HWND window) {
  g_resources.driveFont = CreateFontA(12, 6, 0, 0, 0, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, 0,
                                      FIXED_PITCH, "ＭＳ 明朝");
  SendDlgItemMessageA(window, IDC_DRIVE, WM_SETFONT, reinterpret_cast<WPARAM>(g_resources.driveFont), 0);
  g_resources.icon = LoadIconA(g_instance, MAKEINTRESOURCEA(IDI_PROGRAM));
  SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(g_resources.icon));
  SetWindowTextA(window, PROGRAM_TITLE);
  g_resources.windowMenu = LoadMenuA(g_instance, MAKEINTRESOURCEA(IDR_WINDOW_MENU));
  g_resources.trayMenu = LoadMenuA(g_instance, MAKEINTRESOURCEA(IDR_TRAY_MENU));
}

void RestoreWindowPosition(HWND window) {
  ReadSetting(SET_X);
  ReadSetting(SET_Y);
  SetWindowPos(window, nullptr, g_settings.X, g_settings.Y, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ReadPriorities(HWND window) {
  ReadSetting(SET_PRIORITY);
  if (g_settings.Priority < -8 || g_settings.Priority > 8) g_settings.Priority = 0;
  SendDlgItemMessageA(window, IDC_PRIORITY_SPIN, UDM_SETRANGE, 0, MAKELPARAM(8, -8));
  SendDlgItemMessageA(window, IDC_PRIORITY_SPIN, UDM_SETPOS, 0, MAKELPARAM(g_settings.Priority, 0));
  ReadSetting(SET_PRIORITY2);
  SendDlgItemMessageA(window, IDC_PAUSE_SPIN, UDM_SETRANGE, 0, MAKELPARAM(5, -5));
  SendDlgItemMessageA(window, IDC_PAUSE_SPIN, UDM_SETPOS, 0, MAKELPARAM(g_settings.Priority2, 0));
}

void ReadOutputChoice(HWND window) {
  ReadSetting(SET_DRIVE);
  for (int n = 28; n <= 31; ++n) {
    char text[8];
    snprintf(text, sizeof text, "%d", n);
    SendDlgItemMessageA(window, IDC_SIZE_COMBO, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  }
  ReadSetting(SET_SIZE);
  if (g_settings.Size < 28 || g_settings.Size > 31) g_settings.Size = 28;
  SendDlgItemMessageA(window, IDC_SIZE_COMBO, CB_SETCURSEL, g_settings.Size - 28, 0);
}

void ReadCopyOptions(HWND window) {
  ReadSetting(SET_WAIT);
  CheckDlgButton(window, IDC_WAIT_CHECK, g_settings.Wait ? BST_CHECKED : BST_UNCHECKED);
  ReadSetting(SET_STOP);
  SetDlgItemInt(window, IDC_MARGIN, g_settings.Stop, FALSE);
  const SettingId toggles[] = {SET_TOP,    SET_TIP,  SET_PROGRESS, SET_MINIMIZED,
                               SET_SERIAL, SET_HEAD, SET_NOSTOP,   SET_CLEAR};
  for (SettingId id : toggles) ReadSetting(id);
}

// The last input is restored only while its file still exists.
void RestoreLastInput(HWND window) {
  ReadSetting(SET_FOLDERLIST);
  ReadSetting(SET_FOLDER);
  ReadSetting(SET_FILE);
  if (GetFileAttributesA(g_settings.File) == INVALID_FILE_ATTRIBUTES) {
    g_settings.File[0] = '\0';
    return;
  }
  HANDLE file = CreateFileA(g_settings.File, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD high = 0;
    DWORD low = GetFileSize(file, &high);
    if (low != INVALID_FILE_SIZE || GetLastError() == NO_ERROR) {
      g_inputSize.store((static_cast<uint64_t>(high) << 32) | low);
    }
    CloseHandle(file);
  }
  SetDlgItemTextA(window, IDC_INPUT_PATH, g_settings.File);
  ReadSetting(SET_OFFSETLO);
  ReadSetting(SET_OFFSETHI);
  g_inputOffset.store((static_cast<uint64_t>(g_settings.OffsetHi) << 32) | g_settings.OffsetLo);
  ReadSetting(SET_OFFSET);
  g_outputOffset.store(g_settings.Offset);
}

BOOL OnInitDialog(HWND window) {
  g_controlWindow = window;
  CreateBrushes();
  SetupLookAndMenus(window);
  SetScrollRange(GetDlgItem(window, IDC_POSITION_BAR), SB_CTL, 0, 1000, FALSE);
  SetDlgItemTextA(window, IDC_POSITION_TEXT, "0.0%");
  RestoreWindowPosition(window);
  ReadPriorities(window);
  ReadOutputChoice(window);
  ReadCopyOptions(window);
  RaiseCommands(CMD_PRIORITY | CMD_OPEN_OUTPUT | CMD_SIZE);
  StartCopyWorker();
  RestoreLastInput(window);
  return TRUE;
}

void OnClose(HWND window) {
  // With a worker running, it must reach a safe point before files close.
  if (g_workerThread) {
    RaiseCommands(CMD_QUIT);
    return;
  }
  RunShutdownSequence(window);
}

void OnEndSession(HWND window, WPARAM ending) {
  if (ending) RunShutdownSequence(window);
}

}  // namespace

void ReleaseControlWindowResources() {
  if (g_resources.windowMenu) DestroyMenu(g_resources.windowMenu);
  if (g_resources.trayMenu) DestroyMenu(g_resources.trayMenu);
  HGDIOBJ objects[] = {g_resources.tipHelp,     g_resources.driveFont, g_resources.progressArea,
                       g_resources.progressBar, g_resources.fileEnd,   g_resources.waiting,
                       g_resources.working};
  for (HGDIOBJ object : objects) {
    if (object) DeleteObject(object);
  }
  g_resources = ControlResources{};
}

INT_PTR CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: return OnInitDialog(window);
    case WM_CLOSE: OnClose(window); return TRUE;
    case WM_COMMAND:
      if (wParam != MAKEWPARAM(IDC_PLAY, 0)) return FALSE;
      OpenOutputInPlayer();
      return TRUE;
    case WM_WORKER_FINISHED: RunShutdownSequence(window); return TRUE;
    case WM_ENDSESSION: OnEndSession(window, wParam); return TRUE;
    case WM_DESTROY: PostQuitMessage(0); return TRUE;
  }
  return FALSE;
}
