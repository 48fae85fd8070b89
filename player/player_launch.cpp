// Starting the Player and working its windows as a user would.
#include "player/player_launch.h"

#include <windows.h>

#include <commdlg.h>

#include <cstdio>

#include "app/app.h"
#include "app/settings_table.h"
#include "player/output_path.h"
#include "player/player_windows.h"

namespace {

const int ID_OPEN = 22, ID_EJECT = 26, ID_PLAY = 18;
const char kExecutable[] = "theater.exe";

// Bounded waits: poll interval and number of polls.
const DWORD kWindowPollMs = 100;
const int kWindowPolls = 150;
const DWORD kDialogPollMs = 10;
const int kDialogPolls = 1000;
const int kTextTries = 1000;

void Complain(const char* text) {
  MessageBoxA(g_controlWindow, text, PROGRAM_TITLE, MB_ICONQUESTION);
}

// The App Paths entry's default value, else the profile's [Player] key.
void FindPlayerPath(char* path, DWORD size) {
  snprintf(path, size, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\%s", kExecutable);
  HKEY key;
  bool found = false;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) == ERROR_SUCCESS) {
    DWORD type = 0, length = size - 1;
    path[0] = '\0';
    // The value need not end in a terminator; the spare byte gives it one.
    if (RegQueryValueExA(key, "", nullptr, &type, reinterpret_cast<BYTE*>(path), &length) == ERROR_SUCCESS &&
        (type == REG_SZ || type == REG_EXPAND_SZ)) {
      path[length] = '\0';
      found = path[0] != '\0';
    }
    RegCloseKey(key);
  }
  if (found) return;
  path[0] = '\0';
  ReadSetting(SET_PLAYER);
}

// False when the user cancelled.
bool AskForPlayer(char* path, DWORD size) {
  OPENFILENAMEA ofn = {};
  ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  ofn.hwndOwner = g_controlWindow;
  ofn.lpstrFilter = "theater.exe\0theater.exe\0";
  ofn.nFilterIndex = 1;
  ofn.lpstrFile = path;
  ofn.nMaxFile = size;
  ofn.lpstrTitle = "Vantrel 実行ファイル名入力";
  ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_LONGNAMES;
  return GetOpenFileNameA(&ofn) != 0;
}

bool StartProcess(char* commandLine) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &process)) {
    return false;
  }
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return true;
}

bool WaitForPlayerWindow() {
  for (int i = 0; i < kWindowPolls; ++i) {
    if (FindPlayerWindow()) return true;
    Sleep(kWindowPollMs);
  }
  return false;
}

// Starts the Player, asking for its executable until a start succeeds or the
// user gives up.
void StartPlayer() {
  char* path = g_settings.PlayerPath;
  const DWORD size = sizeof g_settings.PlayerPath;
  FindPlayerPath(path, size);
  for (;;) {
    if (!path[0]) {
      if (!AskForPlayer(path, size)) return;
      WriteSetting(SET_PLAYER);
    }
    if (GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES && StartProcess(path)) {
      if (!WaitForPlayerWindow()) Complain("Vantrel のウインドウが開けません!");
      return;
    }
    path[0] = '\0';
  }
}

HWND OpenPlayerDialog(HWND player) {
  HWND open = FindDescendant(player, nullptr, nullptr, ID_OPEN, 0);
  if (open && !IsWindowVisible(open)) {
    ClickDescendant(player, nullptr, nullptr, ID_EJECT, 1, 1);
    Sleep(100);  // the eject button brings the open button into view
  }
  ClickDescendant(player, nullptr, nullptr, ID_OPEN, 1, 1);
  for (int i = 0; i < kDialogPolls; ++i) {
    HWND dialog = FindPlayerOpenDialog();
    if (dialog) return dialog;
    Sleep(kDialogPollMs);
  }
  Complain("Vantrel のファイルオープンダイアログが開けません!");
  return nullptr;
}

// True when the path was typed and OK clicked.
bool TypeOutputPath(HWND dialog) {
  char output[32];
  FormatOutputPath(g_settings.Drive, output, sizeof output);
  UpdateWindow(dialog);
  for (int i = 0; i < kTextTries; ++i) {
    if (SetDescendantEditText(dialog, 0, output)) {
      ClickDescendant(dialog, "button", nullptr, IDOK, 1, 1);
      return true;
    }
    Sleep(kDialogPollMs);
  }
  return false;
}

// The OK click is posted, and a message sent to the Player overtakes its
// posted ones: closing the dialog at once would cancel it before the click
// is seen. So the Player gets time to take the file and close it itself.
void WaitForDialogToClose(HWND dialog) {
  for (int i = 0; i < kDialogPolls && IsWindow(dialog); ++i) Sleep(kDialogPollMs);
}

// A pixel of the title display. Where its own DC yields none (Wine keeps
// another process's pixels from it), the screen shows the topmost Player.
COLORREF TitlePixel(HWND title, HDC dc, int x, int y) {
  COLORREF colour = GetPixel(dc, x, y);
  if (colour != CLR_INVALID) return colour;
  POINT at = {x, y};
  HDC screen = GetDC(nullptr);
  if (!screen) return colour;
  if (ClientToScreen(title, &at)) colour = GetPixel(screen, at.x, at.y);
  ReleaseDC(nullptr, screen);
  return colour;
}

// The title display's lamp column holds a pure blue pixel while playing.
bool ShowsPlaying(HWND title) {
  HDC dc = GetDC(title);
  if (!dc) return true;  // unreadable: leave the Player alone
  bool playing = false;
  for (int y = 23; y <= 29 && !playing; ++y) {
    playing = (TitlePixel(title, dc, 210, y) & 0xFFFF0000) == 0x00FF0000;
  }
  ReleaseDC(title, dc);
  return playing;
}

void PressPlayUnlessPlaying(HWND player) {
  HWND title = FindDescendant(player, "Title", nullptr, 0, 0);
  if (!title) return;
  const UINT flags = SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE;
  // Topmost, so that the pixels read are the Player's own.
  SetWindowPos(player, HWND_TOPMOST, 0, 0, 0, 0, flags);
  Sleep(200);
  UpdateWindow(title);
  if (!ShowsPlaying(title)) ClickDescendant(player, nullptr, nullptr, ID_PLAY, 1, 1);
  SetWindowPos(player, HWND_NOTOPMOST, 0, 0, 0, 0, flags);
}

}  // namespace

void OpenOutputInPlayer() {
  if (!FindPlayerWindow()) StartPlayer();
  HWND player = FindPlayerWindow();
  if (!player) return;
  HWND dialog = FindPlayerOpenDialog();
  if (!dialog) dialog = OpenPlayerDialog(player);
  if (dialog) {
    if (TypeOutputPath(dialog)) WaitForDialogToClose(dialog);
    if (IsWindow(dialog)) SendMessageA(dialog, WM_SYSCOMMAND, SC_CLOSE, 0);
  }
  PressPlayUnlessPlaying(player);
}
