// The Browse command: choosing the input file in the Input dialog.
#include <windows.h>

#include <cstring>

#include "app/settings_table.h"
#include "app/shared_state.h"
#include "control/control_state.h"
#include "input/input_dialog.h"
#include "resources/resource.h"

namespace {

// Folder := File up to its last '\' or ':'; a trail byte is never taken
// for either.
void FolderFromFile() {
  const char* cut = nullptr;
  for (const char* p = g_settings.File; *p; p = CharNextA(p)) {
    if (*p == '\\' || *p == ':') cut = p;
  }
  size_t length = cut ? static_cast<size_t>(cut - g_settings.File) : 0;
  memcpy(g_settings.Folder, g_settings.File, length);
  g_settings.Folder[length] = '\0';
}

}  // namespace

void OnBrowse(HWND window) {
  char file[260];
  strcpy(file, g_settings.File);
  if (file[0]) FolderFromFile();
  bool startAfterInput = false;
  if (!RunInputDialog(window, file, &startAfterInput)) return;
  strcpy(g_settings.File, file);
  SetDlgItemTextA(window, IDC_INPUT_PATH, g_settings.File);
  // One change of the flags: the start never arrives without its input.
  RaiseCommands(startAfterInput ? CMD_NEW_INPUT | CMD_START_AFTER_INPUT : uint32_t(CMD_NEW_INPUT));
}
