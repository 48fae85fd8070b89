// About box (dialog 901).
#include <cstdio>

#include "app/app.h"
#include "control/control_state.h"
#include "resources/resource.h"

namespace {

INT_PTR CALLBACK AboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG: {
      SendDlgItemMessageA(dialog, IDC_ABOUT_ICON, STM_SETIMAGE, IMAGE_ICON,
                          reinterpret_cast<LPARAM>(g_control.icon));
      char text[64];
      snprintf(text, sizeof text, "%s Ver %d.%02d", PROGRAM_TITLE, 2, 1);
      SetDlgItemTextA(dialog, IDC_ABOUT_VERSION, text);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) EndDialog(dialog, LOWORD(wParam));
      return TRUE;
  }
  return FALSE;
}

}  // namespace

void ShowAbout(HWND owner) {
  DialogBoxParamA(g_instance, MAKEINTRESOURCEA(IDD_ABOUT), owner, AboutProc, 0);
}
