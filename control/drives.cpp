// The output-drive list: fixed drives with their free space, in combo box
// 1021 and in the drive sub-menu of menu 106.
#include <cstdio>

#include "app/settings_table.h"
#include "control/control_state.h"
#include "control/drive_text.h"
#include "resources/resource.h"

namespace {

typedef BOOL(WINAPI* FreeSpaceFn)(const char*, ULARGE_INTEGER*, ULARGE_INTEGER*, ULARGE_INTEGER*);

char CurrentDriveLetter(HWND combo) {
  char letter = g_settings.Drive[0];
  LRESULT selected = SendMessageA(combo, CB_GETCURSEL, 0, 0);
  if (SendMessageA(combo, CB_GETCOUNT, 0, 0) > 0 && selected != CB_ERR) {
    char text[kDriveItemSize] = "";
    if (SendMessageA(combo, CB_GETLBTEXTLEN, selected, 0) < static_cast<LRESULT>(sizeof text)) {
      SendMessageA(combo, CB_GETLBTEXT, selected, reinterpret_cast<LPARAM>(text));
    }
    letter = text[0];
  }
  return letter;
}

void ClearDriveLists(HWND combo) {
  SendMessageA(combo, CB_RESETCONTENT, 0, 0);
  if (!g_control.driveMenu) return;
  for (int i = GetMenuItemCount(g_control.driveMenu) - 1; i >= 1; --i) {
    DeleteMenu(g_control.driveMenu, i, MF_BYPOSITION);
  }
}

bool SameLetter(char a, char b) { return (a & ~0x20) == (b & ~0x20) && a != 0; }

void AddDrive(HWND combo, char letter, FreeSpaceFn freeSpace, bool first, char current) {
  char root[4];
  snprintf(root, sizeof root, "%c:\\", letter);
  ULARGE_INTEGER available, total, totalFree;
  bool known = freeSpace && freeSpace(root, &available, &total, &totalFree);
  char text[kDriveItemSize];
  FormatDriveItem(letter, known, known ? available.QuadPart : 0, text);
  SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  if (!g_control.driveMenu) return;
  UINT id = IDM_DRIVE_FIRST + (letter - 'A');
  UINT flags = MF_STRING | (SameLetter(letter, current) ? MF_CHECKED : MF_UNCHECKED);
  if (first) {
    ModifyMenuA(g_control.driveMenu, 0, MF_BYPOSITION | flags, id, text);
  } else {
    AppendMenuA(g_control.driveMenu, flags, id, text);
  }
}

}  // namespace

void RefreshDriveList(HWND window) {
  HMODULE kernel = LoadLibraryA("kernel32.dll");
  FreeSpaceFn freeSpace = kernel ? reinterpret_cast<FreeSpaceFn>(reinterpret_cast<void*>(
                                       GetProcAddress(kernel, "GetDiskFreeSpaceExA")))
                                 : nullptr;
  HWND combo = GetDlgItem(window, IDC_DRIVE);
  char current = CurrentDriveLetter(combo);
  ClearDriveLists(combo);
  bool first = true;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    char root[4];
    snprintf(root, sizeof root, "%c:\\", letter);
    if (GetDriveTypeA(root) != DRIVE_FIXED) continue;
    AddDrive(combo, letter, freeSpace, first, current);
    first = false;
  }
  if (kernel) FreeLibrary(kernel);

  if (current) {
    char prefix[3] = {current, ':', '\0'};
    SendMessageA(combo, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(prefix));
  } else {
    SendMessageA(combo, CB_SETCURSEL, 0, 0);
  }
  SendMessageA(window, WM_COMMAND, MAKEWPARAM(IDC_DRIVE, CBN_SELENDOK),
               reinterpret_cast<LPARAM>(combo));
}
