#include "control/preview_window.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

#include "app/settings_table.h"
#include "app/shared_state.h"
#include "control/control_state.h"
#include "control/position_math.h"
#include "copy/preview_link.h"
#include "input/preview_panel.h"

namespace {

PictureSize g_size = {0, 0};
int g_lastPermille = -1;

uint64_t PreviewedFileSize() {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(g_previewPath, GetFileExInfoStandard, &data)) return 0;
  return (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void PlaceAboveControlWindow(HWND preview) {
  g_size = PreviewSizeFor(g_previewHeader.biWidth, g_previewHeader.biHeight);
  RECT outer, client, control;
  GetWindowRect(preview, &outer);
  GetClientRect(preview, &client);
  GetWindowRect(g_control.window, &control);
  int fx = (outer.right - outer.left) - client.right;
  int fy = (outer.bottom - outer.top) - client.bottom;
  ScreenPoint at = PreviewOrigin(control.left, control.top, control.right - control.left, control.bottom,
                                 g_size.width, g_size.height, fx, fy);
  SetWindowPos(preview, nullptr, at.x, at.y, g_size.width + fx, g_size.height + fy,
               SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
  ShowWindow(preview, SW_SHOWNA);
  g_lastPermille = -1;
}

}  // namespace

void ShowPreview(int permille) {
  HWND preview = g_control.preview;
  if (!preview) return;
  if (!preview_is_open()) {
    char input[MAX_PATH];
    LoadInputPath(input);
    lstrcpynA(g_previewPath, input, sizeof g_previewPath);
    if (!OpenPreviewSession(input, nullptr, &g_previewHeader, &g_previewInfo)) return;
  }
  if (!IsWindowVisible(preview)) PlaceAboveControlWindow(preview);
  // Dragging the thumb repeats positions: draw each permille once.
  if (permille == g_lastPermille) return;
  g_lastPermille = permille;
  HDC dc = GetDC(preview);
  if (!dc) return;
  DrawFrameAtPosition(uint64_t(permille) * PreviewedFileSize() / 1000, dc, 0, 0, g_size.width,
                      g_size.height);
  ReleaseDC(preview, dc);
}

void HidePreview() {
  if (g_control.preview) ShowWindow(g_control.preview, SW_HIDE);
}
