// The tray icon: hiding the Control window into the notification area,
// bringing it back, the tray menu and the icon's return after a shell restart.
#include <windows.h>

#include <shellapi.h>

#include "app/settings_table.h"
#include "control/control_state.h"
#include "control/progress.h"
#include "control/tray.h"
#include "control/tray_tip.h"
#include "resources/resource.h"

// Where the last right click on the tray icon was; x = -1 until then.
POINT g_trayMenuPoint = {-1, 0};

void TrayIcon(DWORD operation, UINT flags, HICON icon, const char* tip) {
  NOTIFYICONDATAA data = {};
  data.cbSize = NOTIFYICONDATAA_V1_SIZE;
  data.hWnd = g_control.window;
  data.uID = 0;
  data.uFlags = flags | (operation == NIM_ADD ? NIF_MESSAGE : 0);
  data.uCallbackMessage = WM_TRAY_NOTIFY;
  data.hIcon = icon;
  if (tip) CopyTrayTip(data.szTip, tip);
  Shell_NotifyIconA(operation, &data);
}

void OnMinimized(HWND window) {
  TrayIcon(NIM_ADD, NIF_ICON, g_control.icon, "");
  ShowWindow(window, SW_HIDE);
  UpdateProgressText();  // the window is hidden now, so this sets the tip
  g_settings.Minimized = 1;
}

namespace {

void RestoreFromTray(HWND window) {
  TrayIcon(NIM_DELETE, 0, nullptr, nullptr);
  ShowWindow(window, SW_RESTORE);
  ShowWindow(window, SW_SHOW);
  // Back on top for the moment, but never left topmost, whatever Top says.
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetWindowPos(window, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
  SetForegroundWindow(window);
  g_settings.Minimized = 0;
}

void ShowTrayMenu(HWND window) {
  GetCursorPos(&g_trayMenuPoint);
  char text[16] = "";
  GetDlgItemTextA(window, IDC_START, text, sizeof text);
  ModifyMenuA(g_control.trayMenu, IDM_START, MF_BYCOMMAND | MF_STRING, IDM_START, text);
  bool playable = IsWindowEnabled(GetDlgItem(window, IDC_PLAY)) != 0;
  EnableMenuItem(g_control.trayMenu, IDM_PLAY, MF_BYCOMMAND | (playable ? MF_ENABLED : MF_GRAYED));
  RefreshDriveList(window);
  TrackPopupMenu(GetSubMenu(g_control.trayMenu, 0), TPM_CENTERALIGN | TPM_RIGHTBUTTON,
                 g_trayMenuPoint.x, g_trayMenuPoint.y, 0, window, nullptr);
}

}  // namespace

void OnTrayNotify(HWND window, LPARAM event) {
  if (event == WM_LBUTTONUP) RestoreFromTray(window);
  if (event == WM_RBUTTONUP) ShowTrayMenu(window);
}

void OnTaskbarCreated() {
  if (!g_settings.Minimized) return;
  TrayIcon(NIM_ADD, NIF_ICON, g_control.icon, "");
  UpdateProgressText();
}
