// Pop-up menus 105 (right click in the window) and 106 (tray icon), and the
// option toggles they share.
#include <cstring>

#include "app/app.h"
#include "app/settings_table.h"
#include "control/control_state.h"
#include "resources/resource.h"

namespace {

uint32_t* ToggleSetting(int id) {
  switch (id) {
    case IDM_SERIAL: return &g_settings.Serial;
    case IDM_NOSTOP: return &g_settings.NoStop;
    case IDM_HEAD: return &g_settings.Head;
    case IDM_CLEAR: return &g_settings.Clear;
    case IDM_PROGRESS: return &g_settings.Progress;
    case IDM_TOPMOST: return &g_settings.Top;
    case IDM_TIPS: return &g_settings.Tip;
  }
  return nullptr;
}

}  // namespace

void LoadMenus() {
  g_control.windowMenu = LoadMenuA(g_instance, MAKEINTRESOURCEA(IDR_WINDOW_MENU));
  g_control.trayMenu = LoadMenuA(g_instance, MAKEINTRESOURCEA(IDR_TRAY_MENU));
  g_control.driveMenu = FindSubMenuByText(GetSubMenu(g_control.trayMenu, 0), "出力ドライブ");
}

void DestroyMenus() {
  if (g_control.windowMenu) DestroyMenu(g_control.windowMenu);
  if (g_control.trayMenu) DestroyMenu(g_control.trayMenu);
  g_control.windowMenu = g_control.trayMenu = g_control.driveMenu = nullptr;
}

HMENU FindSubMenuByText(HMENU menu, const char* text) {
  int count = GetMenuItemCount(menu);
  for (int i = 0; i < count; ++i) {
    char itemText[256] = "";
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_TYPE | MIIM_SUBMENU;
    item.dwTypeData = itemText;
    item.cch = sizeof itemText;
    if (!GetMenuItemInfoA(menu, i, TRUE, &item)) continue;
    if (item.hSubMenu && !(item.fType & MFT_SEPARATOR) && strstr(itemText, text)) {
      return item.hSubMenu;
    }
  }
  return nullptr;
}

// Checks `checked` among first..last of menu 106 and unchecks the rest.
void CheckTrayItems(int first, int last, int checked) {
  for (int id = first; id <= last; ++id) {
    CheckMenuItem(g_control.trayMenu, id,
                  MF_BYCOMMAND | (id == checked ? MF_CHECKED : MF_UNCHECKED));
  }
}

// Inverts the item in menu 105, mirrors it in 106 and stores it in its setting.
int ToggleMenuSetting(int id) {
  UINT state = GetMenuState(g_control.windowMenu, id, MF_BYCOMMAND);
  int checked = (state & MF_CHECKED) ? 0 : 1;
  UINT flags = MF_BYCOMMAND | (checked ? MF_CHECKED : MF_UNCHECKED);
  CheckMenuItem(g_control.windowMenu, id, flags);
  CheckMenuItem(g_control.trayMenu, id, flags);
  if (uint32_t* setting = ToggleSetting(id)) *setting = checked;
  return checked;
}

void ShowWindowMenu(HWND window) {
  POINT at;
  GetCursorPos(&at);
  TrackPopupMenu(GetSubMenu(g_control.windowMenu, 0), TPM_CENTERALIGN | TPM_RIGHTBUTTON, at.x, at.y,
                 0, window, nullptr);
}
