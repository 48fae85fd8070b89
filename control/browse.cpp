// The Browse command: choosing the input file in the Input dialog.
#include <windows.h>

#include <cstring>

#include "app/settings_table.h"
#include "app/shared_state.h"
#include "control/control_state.h"
#include "input/input_dialog.h"
#include "resources/resource.h"

namespace {

// Folder := the file up to its last '\' or ':'; a trail byte is never taken
// for either.
void FolderFromFile(const char* file) {
  const char* cut = nullptr;
  for (const char* p = file; *p; p = CharNextA(p)) {
    if (*p == '\\' || *p == ':') cut = p;
  }
  size_t length = cut ? static_cast<size_t>(cut - file) : 0;
  memcpy(g_settings.Folder, file, length);
  g_settings.Folder[length] = '\0';
}

}  // namespace

void OnBrowse(HWND window) {
  char file[260];
  // The worker may be moving on to the next piece meanwhile.
  LoadInputPath(file);
  if (file[0]) FolderFromFile(file);
  bool startAfterInput = false;
  if (!RunInputDialog(window, file, &startAfterInput)) return;
  StoreInputPath(file);
  SetDlgItemTextA(window, IDC_INPUT_PATH, file);
  // One change of the flags: the start never arrives without its input.
  RaiseCommands(startAfterInput ? CMD_NEW_INPUT | CMD_START_AFTER_INPUT : uint32_t(CMD_NEW_INPUT));
}
