// The progress overlay (dialog 106): a borderless copy of the ring progress
// bar that lies over the Player's seek track.
#include "app/app.h"
#include "control/control_state.h"
#include "resources/resource.h"

namespace {

INT_PTR CALLBACK OverlayProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return TRUE;
    case WM_ERASEBKGND: SetWindowLongPtrA(window, DWLP_MSGRESULT, 1); return TRUE;
    case WM_CTLCOLORSTATIC: {
      SetBkMode(reinterpret_cast<HDC>(wParam), TRANSPARENT);
      return reinterpret_cast<INT_PTR>(
          ProgressBrush(GetDlgCtrlID(reinterpret_cast<HWND>(lParam)), true));
    }
  }
  return FALSE;
}

}  // namespace

HWND CreateOverlayWindow() {
  return CreateDialogParamA(g_instance, MAKEINTRESOURCEA(IDD_OVERLAY), nullptr, OverlayProc, 0);
}
