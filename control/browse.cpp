// The Browse command: choosing the input file.
#include <windows.h>

#include <commdlg.h>

#include <cstring>

#include "app/app.h"
#include "app/settings_table.h"
#include "app/shared_state.h"
#include "control/control_state.h"
#include "resources/resource.h"

namespace {

// Filter pairs of the Input dialog, in order; the list ends with two NULs.
const char kFilters[] =
    "*.m2p*\0*.m2p*\0*.mp*\0*.mp*\0*.vob*\0*.vob*\0*.vbs*\0*.vbs*\0"
    "ビデオファイル(m2p*,mp*,vob*,vbs*)\0*.mp*;*.m2p*;*.vob*;*.vbs*\0"
    "全てのファイル\0*.*\0";

// OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_EXPLORER |
// OFN_ENABLESIZING; the hook and template come with the Input dialog.
const DWORD kOpenFlags = 0x00281864 & ~(OFN_ENABLEHOOK | OFN_ENABLETEMPLATE);

// Folder := File up to its last '\' or ':'; a trail byte is never taken
// for either.
void FolderFromFile() {
  const char* cut = nullptr;
  for (const char* p = g_settings.File; *p; p = CharNextA(p)) {
    if (*p == '\\' || *p == ':') cut = p;
  }
  if (!cut) return;
  size_t length = static_cast<size_t>(cut - g_settings.File);
  if (length >= sizeof g_settings.Folder) return;
  memcpy(g_settings.Folder, g_settings.File, length);
  g_settings.Folder[length] = '\0';
}

}  // namespace

void OnBrowse(HWND window) {
  char file[260];
  strcpy(file, g_settings.File);
  if (file[0]) FolderFromFile();
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  dialog.hwndOwner = window;
  dialog.hInstance = g_instance;
  dialog.lpstrFilter = kFilters;
  // The first character of the list is the filter digit of the last folder.
  char digit = g_settings.FolderList[0];
  dialog.nFilterIndex = (digit >= '0' && digit <= '9' ? digit - '0' : 0) + 1;
  dialog.lpstrFile = file;
  dialog.nMaxFile = sizeof file;
  dialog.lpstrInitialDir = g_settings.Folder;
  dialog.lpstrTitle = "Ringfeed / ビデオファイル選択";
  dialog.Flags = kOpenFlags;
  if (!GetOpenFileNameA(&dialog)) return;
  strcpy(g_settings.File, file);
  SetDlgItemTextA(window, IDC_INPUT_PATH, g_settings.File);
  RaiseCommands(CMD_NEW_INPUT);
}
