// State of the Control window shared by its files (procedure, progress,
// overlay, tray, menus, drives). User-interface thread, except that the
// display routines read the handles from the Copy worker as well; the handles
// are set once at initialisation, before the worker starts.
#pragma once

#include <windows.h>

// Private message of the tray icon.
const UINT WM_TRAY_NOTIFY = 0x7777;

struct ControlWindowState {
  HWND window;
  UINT taskbarCreated;  // registered "TaskbarCreated"
  HBRUSH working, waiting, fileEnd, progressBar, progressArea, tipHelp;
  HFONT driveFont;
  HICON icon;
  HMENU windowMenu, trayMenu, driveMenu;
  HWND overlay, preview;
  int lastFocus;   // last focused control among the focus-noting ones
  RECT driveRect;  // drive combo's own rectangle; left -1 until its first drop-down
  bool gigabytes;  // position text in gigabytes (not saved)
};

extern ControlWindowState g_control;

// menus.cpp
void LoadMenus();
void DestroyMenus();
HMENU FindSubMenuByText(HMENU menu, const char* text);
void CheckTrayItems(int first, int last, int checked);
int ToggleMenuSetting(int id);  // new check state of a 105/106 toggle
void ShowWindowMenu(HWND window);

// tray.cpp
void TrayIcon(DWORD operation, UINT flags, HICON icon, const char* tip);
void OnMinimized(HWND window);
void OnTrayNotify(HWND window, LPARAM event);
void OnTaskbarCreated();

// drives.cpp
void RefreshDriveList(HWND window);

// progress.cpp
HBRUSH ProgressBrush(int controlId, bool overlay);
void LayoutProgressBar(HWND window, const RECT& area, uint64_t p);
void OnPositionBar(HWND window, WPARAM wParam);
void ToggleGigabyteDisplay();
extern RECT g_overlayArea;

// overlay.cpp
HWND CreateOverlayWindow();

// browse.cpp
void OnBrowse(HWND window);

// about.cpp
void ShowAbout(HWND owner);
