// Position text and copy position bar of the input, and the ring progress bar
// of the Control window. The Copy worker calls the Update* routines after
// every block; they only read shared positions and work through window calls.
#include "control/progress.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "app/settings_table.h"
#include "app/shared_state.h"
#include "control/control_state.h"
#include "control/number_format.h"
#include "control/position_math.h"
#include "control/preview_window.h"
#include "control/tray_tip.h"
#include "resources/resource.h"

std::atomic<int> g_barState{BAR_STOPPED};

namespace {

RECT g_controlArea = {};

static_assert(SCROLL_LINE_LEFT == SB_LINELEFT && SCROLL_THUMB_TRACK == SB_THUMBTRACK &&
                  SCROLL_END == SB_ENDSCROLL && SCROLL_RIGHT == SB_RIGHT,
              "scroll codes follow winuser.h");

void SetTrayTip(const char* positionText) {
  char path[260] = "";
  GetDlgItemTextA(g_control.window, IDC_INPUT_PATH, path, sizeof path);
  char tip[kTrayTipSize];
  FormatTrayTip(positionText, path, tip);
  TrayIcon(NIM_MODIFY, NIF_TIP, nullptr, tip);
}

HBRUSH BarStateBrush() {
  switch (g_barState.load()) {
    case BAR_WORKING: return g_control.working;
    case BAR_WAITING: return g_control.waiting;
    case BAR_FILE_END: return g_control.fileEnd;
  }
  return g_control.progressBar;
}

}  // namespace

RECT g_overlayArea = {};

void UpdateProgressText() {
  HWND window = g_control.window;
  uint64_t offset = g_inputOffset.load();
  uint64_t size = g_inputSize.load();
  SetScrollPos(GetDlgItem(window, IDC_POSITION_BAR), SB_CTL, PositionPermille(offset, size), TRUE);
  char text[32];
  FormatPositionText(offset, size, g_control.gigabytes, text, sizeof text);
  HWND label = GetDlgItem(window, IDC_POSITION_TEXT);
  SetWindowTextA(label, text);
  UpdateWindow(label);
  if (!IsWindowVisible(window)) SetTrayTip(text);
}

void LayoutProgressBar(HWND window, const RECT& area, uint64_t p) {
  int width = area.right - area.left - 2;
  int height = area.bottom - area.top - 2;
  int filled = FilledWidth(width, p, g_ringEnd.load(), g_ringFileLength.load());
  MoveWindow(GetDlgItem(window, IDC_PROGRESS_FILLED), area.left + 1, area.top + 1, filled, height,
             TRUE);
  MoveWindow(GetDlgItem(window, IDC_PROGRESS_EMPTY), area.left + 1 + filled, area.top + 1,
             width - filled, height, TRUE);
}

void UpdateProgressBar(uint64_t writePosition) {
  LayoutProgressBar(g_control.window, g_controlArea, writePosition);
}

void MeasureProgressArea(HWND window) {
  RECT frame;
  GetWindowRect(GetDlgItem(window, IDC_PROGRESS_FRAME), &frame);
  bool overlay = window == g_control.overlay;
  if (overlay) {
    SetWindowPos(window, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&frame), 2);
  (overlay ? g_overlayArea : g_controlArea) = frame;
}

// WM_CTLCOLORSTATIC of 1042 and 1043, in the Control window and the overlay.
HBRUSH ProgressBrush(int controlId, bool overlay) {
  if (controlId == IDC_PROGRESS_FILLED) return BarStateBrush();
  if (controlId == IDC_PROGRESS_EMPTY) {
    return overlay ? static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)) : g_control.progressArea;
  }
  return nullptr;
}

// The copy position bar chooses where copying continues, only while stopped.
void OnPositionBar(HWND window, WPARAM wParam) {
  if (!g_stopped.load()) return;
  HWND bar = GetDlgItem(window, IDC_POSITION_BAR);
  int d = PositionPermille(g_inputOffset.load(), g_inputSize.load());
  int code = LOWORD(wParam);
  d = ScrolledPermille(code, d, static_cast<short>(HIWORD(wParam)), GetScrollPos(bar, SB_CTL));
  if (code != SB_ENDSCROLL) ShowPreview(d);
  g_inputOffset.store(OffsetForPermille(d, g_inputSize.load()));
  UpdateProgressText();
}

void ToggleGigabyteDisplay() {
  g_control.gigabytes = !g_control.gigabytes;
  UpdateProgressText();
}
