// The Input dialog's frame made resizable: a replacement window procedure
// that applies the saved size, keeps the opening size as the minimum and
// moves the lower controls and the file list as the frame grows.
#include <windows.h>

#include "app/app.h"
#include "app/settings_table.h"
#include "control/tray.h"
#include "input/input_dialog.h"
#include "player/player_windows.h"

namespace {

const int kFileNameLabel = 1090;
const int kFileListPlaceholder = 1120;

struct FrameState {
  bool initialised;
  int32_t minW, minH;      // outer size the frame opened with
  int32_t labelTop;        // top of label 1090, frame client coordinates
  int32_t placeholderW;    // width of placeholder 1120
  HWND child;              // the hook's child dialog
};
FrameState g_frame;

bool MajorVersion6() { return g_osVersion.dwMajorVersion == 6; }

WNDPROC PreviousProcedure(HWND frame) { return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(frame, GWLP_USERDATA)); }

// A window's rectangle in the frame's client coordinates.
RECT RectInFrame(HWND frame, HWND window) {
  RECT r = {0, 0, 0, 0};
  if (!window) return r;
  GetWindowRect(window, &r);
  MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

SIZE OuterSize(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  SIZE s = {r.right - r.left, r.bottom - r.top};
  return s;
}

void Resize(HWND window, int w, int h) {
  SetWindowPos(window, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Grow(HWND window, int dw, int dh) {
  if (!window) return;
  SIZE s = OuterSize(window);
  Resize(window, s.cx + dw, s.cy + dh);
}

void FitChildToFrame(HWND frame) {
  RECT client;
  GetClientRect(frame, &client);
  if (g_frame.child) Resize(g_frame.child, client.right, client.bottom);
}

// Moves down by dh every child of `parent` whose top, in the frame's client
// coordinates, lies in the lower part that follows the file-name label.
void MoveLowerChildren(HWND frame, HWND parent, int dh) {
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (!MovesWithLabel(RectInFrame(frame, c).top, g_frame.labelTop)) continue;
    RECT r = RectInFrame(parent, c);  // the parent's own client coordinates
    SetWindowPos(c, nullptr, r.left, r.top + dh, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
}

LRESULT OnSizeRequest(HWND frame, WPARAM wParam, LPARAM lParam) {
  SizeRequest request = DecodeSizeRequest(uint32_t(wParam));
  if (!g_frame.initialised) {
    SIZE outer = OuterSize(frame);
    g_frame.minW = outer.cx;
    g_frame.minH = outer.cy;
    g_frame.labelTop = RectInFrame(frame, GetDlgItem(frame, kFileNameLabel)).top;
    RECT placeholder = RectInFrame(frame, GetDlgItem(frame, kFileListPlaceholder));
    g_frame.placeholderW = placeholder.right - placeholder.left;
  }
  if (!MajorVersion6()) {
    g_frame.initialised = true;
  } else if (request.deferred) {
    // Version 6 builds the shell view late; sizing before it exists is lost.
    if (!FindDescendant(frame, "SHELLDLL_DefView", nullptr, 1121, 0)) return LRESULT(kSizeRequestNotReady);
    g_frame.initialised = true;
  }
  g_frame.child = reinterpret_cast<HWND>(lParam);
  int32_t w = request.width < g_frame.minW ? g_frame.minW : request.width;
  int32_t h = request.height < g_frame.minH ? g_frame.minH : request.height;
  if ((w > g_frame.minW || h > g_frame.minH) && (!MajorVersion6() || g_frame.initialised)) Resize(frame, w, h);
  return 0;
}

void OnFrameSized(HWND frame) {
  SIZE outer = OuterSize(frame);
  HWND placeholder = GetDlgItem(frame, kFileListPlaceholder);
  RECT p = RectInFrame(frame, placeholder);
  Growth g = FrameGrowth(outer.cx, outer.cy, g_frame.minW, g_frame.minH, p.right - p.left, g_frame.placeholderW,
                         RectInFrame(frame, GetDlgItem(frame, kFileNameLabel)).top, g_frame.labelTop);
  if (g.dh) {
    FitChildToFrame(frame);
    MoveLowerChildren(frame, frame, g.dh);
    if (g_frame.child) MoveLowerChildren(frame, g_frame.child, g.dh);
  }
  if (g.dw || g.dh) {
    Grow(placeholder, g.dw, g.dh);
    HWND view = FindDescendant(frame, "SHELLDLL_DefView", nullptr, 1121, 0);
    Grow(view, g.dw, g.dh);
    if (view) {
      HWND list = FindDescendant(view, "SysListView32", nullptr, 1, 0);
      SIZE s = OuterSize(view);
      if (list) Resize(list, s.cx, s.cy);
    }
    FitChildToFrame(frame);
  }
}

void OnFrameSizing(WPARAM edge, LPARAM lParam) {
  RECT* r = reinterpret_cast<RECT*>(lParam);
  Box box = {r->left, r->top, r->right, r->bottom};
  KeepMinimumSize(box, int(edge), g_frame.minW, g_frame.minH);
  *r = {box.left, box.top, box.right, box.bottom};
}

// The frame stays hidden until the saved size is applied. Bounded, so that a
// shell view that never comes cannot hold the dialog back for good.
void HoldUntilInitialised() {
  DWORD start = GetTickCount();
  while (!g_frame.initialised && GetTickCount() - start < 5000) {
    MSG msg;
    if (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    } else {
      MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
  }
}

LRESULT CALLBACK FrameProcedure(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
  WNDPROC previous = PreviousProcedure(frame);
  switch (message) {
    case WM_SIZE:
      if (IsSizeRequest(uint32_t(wParam))) return OnSizeRequest(frame, wParam, lParam);
      if (g_frame.initialised) OnFrameSized(frame);
      break;
    case WM_SIZING:
      if (g_frame.initialised) OnFrameSizing(wParam, lParam);
      break;
    case WM_SHOWWINDOW:
      if (wParam && !g_frame.initialised) {
        HoldUntilInitialised();
        return 0;
      }
      break;
    case WM_DESTROY: g_frame.initialised = false; break;
  }
  return CallWindowProcA(previous, frame, message, wParam, lParam);
}

}  // namespace

void SubclassFrame(HWND frame) {
  g_frame = FrameState();
  LONG_PTR previous = SetWindowLongPtrA(frame, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FrameProcedure));
  SetWindowLongPtrA(frame, GWLP_USERDATA, previous);
}

void UnsubclassFrame(HWND frame) {
  LONG_PTR previous = GetWindowLongPtrA(frame, GWLP_USERDATA);
  if (previous) SetWindowLongPtrA(frame, GWLP_WNDPROC, previous);
}

LRESULT RequestFrameSize(bool deferred) {
  WPARAM request = EncodeSizeRequest(g_settings.OpenW, g_settings.OpenH, deferred);
  return SendMessageA(g_inputDialog.frame, WM_SIZE, request, reinterpret_cast<LPARAM>(g_inputDialog.dialog));
}

void PlaceFrameAt(HWND frame, int x, int y) {
  SIZE outer = OuterSize(frame);
  RECT d;
  GetWindowRect(GetDesktopWindow(), &d);
  Box desktop = {d.left, d.top, d.right, d.bottom};
  Box taskbar;
  Box* bar = nullptr;
  HWND tray = FindWindowA("Shell_TrayWnd", nullptr);
  RECT t;
  if (tray && GetWindowRect(tray, &t)) {
    taskbar = {t.left, t.top, t.right, t.bottom};
    bar = &taskbar;
  }
  Point32 at = FramePlacement(x, y, outer.cx, outer.cy, desktop, bar);
  SetWindowPos(frame, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void PlaceFrame(HWND frame) {
  if (g_trayMenuPoint.x >= 0) {
    PlaceFrameAt(frame, g_trayMenuPoint.x, g_trayMenuPoint.y);
    return;
  }
  RECT r;
  GetWindowRect(frame, &r);
  PlaceFrameAt(frame, r.left, r.top);
}
