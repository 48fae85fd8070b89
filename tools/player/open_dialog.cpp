// The stand-in Player's own open-file dialog: a file-name field, OK and Cancel.
#include "tools/player/theater.h"

namespace {

const int ID_FILE_NAME = 1152;
HWND g_dialog;

void Close(HWND dialog) {
  DestroyWindow(dialog);
  g_dialog = nullptr;
  SetOpenDialog(nullptr);
}

void OnOk(HWND dialog) {
  char path[MAX_PATH];
  GetDlgItemTextA(dialog, ID_FILE_NAME, path, sizeof path);
  if (!OpenMovie(path)) {
    MessageBeep(MB_ICONEXCLAMATION);
    return;
  }
  OnMovieOpened(GetWindow(dialog, GW_OWNER));
  Close(dialog);
}

HWND Add(HWND parent, const char* cls, const char* text, DWORD style, int id, int x, int y, int w,
         int h) {
  HWND child = CreateWindowExA(cls[0] == 'E' ? WS_EX_CLIENTEDGE : 0, cls, text,
                               WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                               reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                               GetModuleHandleA(nullptr), nullptr);
  SendMessageA(child, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), 0);
  return child;
}

void OnCreate(HWND dialog) {
  Add(dialog, "Static", "File name:", SS_LEFT, -1, 10, 14, 70, 18);
  Add(dialog, "Edit", "", WS_TABSTOP | ES_AUTOHSCROLL, ID_FILE_NAME, 82, 10, 300, 22);
  Add(dialog, "Button", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, IDOK, 226, 44, 75, 24);
  Add(dialog, "Button", "Cancel", WS_TABSTOP | BS_PUSHBUTTON, IDCANCEL, 307, 44, 75, 24);
}

LRESULT CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: OnCreate(dialog); return 0;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK) OnOk(dialog);
      if (LOWORD(wParam) == IDCANCEL) Close(dialog);
      return 0;
    case WM_CLOSE: Close(dialog); return 0;
  }
  return DefWindowProcA(dialog, message, wParam, lParam);
}

}  // namespace

void ShowOpenDialog(HWND main) {
  if (g_dialog) {
    SetForegroundWindow(g_dialog);
    return;
  }
  static bool registered = false;
  if (!registered) {
    WNDCLASSA cls = {};
    cls.lpfnWndProc = DialogProc;
    cls.hInstance = GetModuleHandleA(nullptr);
    cls.hCursor = LoadCursor(nullptr, IDC_ARROW);
    cls.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
    cls.lpszClassName = "TheaterOpenDialog";
    registered = RegisterClassA(&cls) != 0;
  }
  RECT frame = {0, 0, 392, 78};
  DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU;
  AdjustWindowRect(&frame, style, FALSE);
  RECT owner;
  GetWindowRect(main, &owner);
  g_dialog = CreateWindowExA(WS_EX_DLGMODALFRAME, "TheaterOpenDialog", OPEN_DIALOG_TITLE, style,
                             owner.left + 20, owner.top + 40, frame.right - frame.left,
                             frame.bottom - frame.top, main, nullptr, GetModuleHandleA(nullptr),
                             nullptr);
  if (!g_dialog) return;
  SetOpenDialog(g_dialog);
  ShowWindow(g_dialog, SW_SHOW);
  SetFocus(GetDlgItem(g_dialog, ID_FILE_NAME));
}
