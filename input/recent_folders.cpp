// The recent-folder combo of the Input dialog and the FolderList it shows.
#include <windows.h>

#include <commdlg.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/settings_table.h"
#include "app/shared_state.h"
#include "input/folder_list.h"
#include "input/input_dialog.h"
#include "input/preview_panel.h"
#include "player/player_windows.h"
#include "resources/resource.h"

namespace {

const int kFrameFileTypes = 1136;  // the frame's file-type combo
const int kFrameFileName = 1152;   // the frame's file-name edit

// The drive exists and the folder is a root or an existing directory.
bool FolderUsable(const std::string& folder) {
  if (folder.empty()) return false;
  char root[4] = {folder[0], ':', '\\', '\0'};
  if (GetDriveTypeA(root) <= DRIVE_NO_ROOT_DIR) return false;
  if (folder.compare(1, std::string::npos, ":\\") == 0) return true;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(folder.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::vector<std::string> ComboItems(HWND combo) {
  std::vector<std::string> items;
  LRESULT count = SendMessageA(combo, CB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, i, 0);
    if (length < 0) continue;
    std::string text(size_t(length) + 1, '\0');
    SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(strlen(text.c_str()));
    items.push_back(text);
  }
  return items;
}

}  // namespace

void FillFolderCombo(HWND dialog) {
  HWND combo = GetDlgItem(dialog, IDC_IN_FOLDERS);
  std::vector<std::string> folders = FolderListPaths(g_settings.FolderList);
  for (const std::string& folder : folders)
    SendMessageA(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(folder.c_str()));
  bool usable = !folders.empty() && FolderUsable(folders[0]);
  SendMessageA(combo, CB_SETCURSEL, usable ? 0 : WPARAM(-1), 0);
}

void OnFolderChosen(HWND dialog) {
  char folder[261] = "";
  GetDlgItemTextA(dialog, IDC_IN_FOLDERS, folder, sizeof folder);
  int filter = FolderFilter(g_settings.FolderList, folder);
  if (filter < 0) return;
  char name[264];
  if (!AppendWildcard(folder, name, sizeof name)) return;
  HWND frame = g_inputDialog.frame;
  SetDlgItemTextA(frame, kFrameFileName, name);
  // The frame navigates when its Open button sees a folder with a wildcard.
  ClickDescendant(frame, "button", nullptr, IDOK, 1, 1);
  g_inputDialog.pendingFilter = filter;
}

void OnFileAccepted(HWND dialog) {
  HWND frame = g_inputDialog.frame;
  int filter = int(SendDlgItemMessageA(frame, kFrameFileTypes, CB_GETCURSEL, 0, 0));
  if (filter < 0) filter = 0;
  char folder[4096] = "";
  if (SendMessageA(frame, CDM_GETFOLDERPATH, sizeof folder, reinterpret_cast<LPARAM>(folder)) < 0) folder[0] = '\0';
  HWND combo = GetDlgItem(dialog, IDC_IN_FOLDERS);
  LRESULT existing = SendMessageA(combo, CB_FINDSTRINGEXACT, WPARAM(-1), reinterpret_cast<LPARAM>(folder));
  if (existing != CB_ERR) SendMessageA(combo, CB_DELETESTRING, existing, 0);
  SendMessageA(combo, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(folder));
  std::string list = RebuildFolderList(g_settings.FolderList, filter, ComboItems(combo));
  if (!list.empty() && list.size() < sizeof g_settings.FolderList) strcpy(g_settings.FolderList, list.c_str());
  g_startPermille.store(PreviewStartPosition());
}
