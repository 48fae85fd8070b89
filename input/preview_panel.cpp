#include "input/preview_panel.h"

#include <commdlg.h>

#include <cstdlib>
#include <cstring>

#include "app/settings_table.h"
#include "app/shared_state.h"
#include "copy/preview_link.h"
#include "input/folder_list.h"
#include "input/media_text.h"
#include "input/preview_layout.h"
#include "resources/resource.h"

char g_previewPath[292];
BitmapHeader g_previewHeader;
StreamInfo g_previewInfo;

namespace {

struct PanelState {
  HDC memory;
  HBITMAP bitmap, oldBitmap;
  int32_t cw, ch;  // bitmap size: the frame static's client area less its border
  HBRUSH background;
  FittedImage fit;
  int32_t lastDrawn;  // -1 before the first draw
  int enabled;
};
PanelState g_panel;

// Frames are rendered here; it grows only and lives until the program ends,
// since the Control window preview shares it.
struct PixelBuffer {
  uint8_t* data;
  uint32_t size;
  ~PixelBuffer() { free(data); }
};
PixelBuffer g_pixels;

bool EnsurePixelBuffer(uint32_t size) {
  if (g_pixels.size >= size && g_pixels.data) return true;
  free(g_pixels.data);
  g_pixels.data = static_cast<uint8_t*>(malloc(size ? size : 1));
  g_pixels.size = g_pixels.data ? size : 0;
  return g_pixels.data != nullptr;
}

bool RenderFrame(uint64_t position, uint8_t* pixels) {
  return preview_render(static_cast<int64_t>(position), pixels) == 1;
}

// The panel in dialog client coordinates: inside the white frame static.
RECT PanelRect(HWND dialog) {
  HWND frame = GetDlgItem(dialog, IDC_IN_FRAME);
  POINT origin = {1, 1};
  if (frame) MapWindowPoints(frame, dialog, &origin, 1);
  RECT r = {origin.x, origin.y, origin.x + g_panel.cw, origin.y + g_panel.ch};
  return r;
}

void BlankMemoryBitmap() {
  RECT all = {0, 0, g_panel.cw, g_panel.ch};
  FillRect(g_panel.memory, &all, g_panel.background);
}

void BlankOnScreen(HWND dialog) {
  HDC dc = GetDC(dialog);
  if (!dc) return;
  RECT panel = PanelRect(dialog);
  FillRect(dc, &panel, g_panel.background);
  ReleaseDC(dialog, dc);
}

void CopyToScreen(HDC dc, const RECT& panel) {
  BitBlt(dc, panel.left, panel.top, g_panel.cw, g_panel.ch, g_panel.memory, 0, 0, SRCCOPY);
}

uint64_t PreviewFileSize() {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(g_previewPath, GetFileExInfoStandard, &data)) return 0;
  return (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

void ShowStreamTexts(HWND dialog) {
  char text[128];
  FormatVideoText(g_previewInfo, text, sizeof text);
  SetDlgItemTextA(dialog, IDC_IN_VIDEO, text);
  FormatAudioText(g_previewInfo, text, sizeof text);
  SetDlgItemTextA(dialog, IDC_IN_AUDIO, text);
}

// Opens the session on `selection`; returns the bar position to start from.
int32_t OpenSession(HWND dialog, const char* selection) {
  strcpy(g_previewPath, selection);
  if (!OpenPreviewSession(selection, nullptr, &g_previewHeader, &g_previewInfo)) return 0;
  if (g_panel.memory) BlankMemoryBitmap();
  g_panel.fit = FitImage(g_previewHeader.biWidth, g_previewHeader.biHeight, g_panel.cw, g_panel.ch);
  ShowStreamTexts(dialog);
  char input[MAX_PATH];
  LoadInputPath(input);
  if (!SameText(selection, input)) return 0;
  return CopyBarPosition(g_inputOffset.load(), g_inputSize.load());
}

}  // namespace

void CreatePreviewPanel(HWND dialog, HBRUSH background) {
  g_panel = PanelState();
  g_panel.background = background;
  g_panel.lastDrawn = -1;
  g_panel.enabled = 1;
  RECT client = {0, 0, 0, 0};
  GetClientRect(GetDlgItem(dialog, IDC_IN_FRAME), &client);
  g_panel.cw = client.right - 2;
  g_panel.ch = client.bottom - 2;
  if (g_panel.cw <= 0 || g_panel.ch <= 0) return;
  HDC dc = GetDC(dialog);
  if (!dc) return;
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = memory ? CreateCompatibleBitmap(dc, g_panel.cw, g_panel.ch) : nullptr;
  ReleaseDC(dialog, dc);
  if (!bitmap) {
    if (memory) DeleteDC(memory);
    return;
  }
  g_panel.memory = memory;
  g_panel.bitmap = bitmap;
  g_panel.oldBitmap = static_cast<HBITMAP>(SelectObject(memory, bitmap));
  BlankMemoryBitmap();
}

void DestroyPreviewPanel() {
  if (g_panel.memory) {
    SelectObject(g_panel.memory, g_panel.oldBitmap);
    DeleteObject(g_panel.bitmap);
    DeleteDC(g_panel.memory);
  }
  g_panel.memory = nullptr;
  g_panel.bitmap = nullptr;
  preview_close();
}

void RequestPreviewRefresh(HWND dialog) {
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDC_IN_SHOW, BN_CLICKED),
               reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_IN_SHOW)));
}

void RefreshPreview(HWND dialog, HWND frame) {
  g_panel.enabled = IsDlgButtonChecked(dialog, IDC_IN_SHOW) == BST_CHECKED;
  char selection[292] = "";
  if (SendMessageA(frame, CDM_GETFILEPATH, sizeof selection, reinterpret_cast<LPARAM>(selection)) < 0)
    selection[0] = '\0';
  if (g_panel.enabled && preview_is_open() && SameText(selection, g_previewPath)) return;
  preview_close();
  BlankOnScreen(dialog);
  HWND bar = GetDlgItem(dialog, IDC_IN_BAR);
  SetDlgItemTextA(dialog, IDC_IN_VIDEO, "");
  SetDlgItemTextA(dialog, IDC_IN_AUDIO, "");
  int32_t start = 0;
  if (g_panel.enabled && selection[0] && GetFileAttributesA(selection) != INVALID_FILE_ATTRIBUTES)
    start = OpenSession(dialog, selection);
  SCROLLINFO info = {};
  info.cbSize = sizeof info;
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
  info.nMax = 1000;
  info.nPage = 1;
  info.nPos = start;
  SetScrollInfo(bar, SB_CTL, &info, TRUE);
  // After the range: SIF_DISABLENOSCROLL may enable a bar that has a range.
  EnableWindow(bar, g_panel.enabled);
  // A step left of the start draws the frame and leaves the bar at the copy
  // position of the current input, or at 0.
  g_panel.lastDrawn = -1;
  SendMessageA(dialog, WM_HSCROLL, SB_LINELEFT, reinterpret_cast<LPARAM>(bar));
  EnableWindow(GetDlgItem(dialog, IDC_IN_DELETE), g_panel.enabled && preview_is_open());
}

void OnPreviewScroll(HWND dialog, WPARAM wParam) {
  HWND bar = GetDlgItem(dialog, IDC_IN_BAR);
  int32_t position = BarPositionAfter(GetScrollPos(bar, SB_CTL), LOWORD(wParam), HIWORD(wParam));
  if (position < 0 || position == g_panel.lastDrawn) return;
  if (g_panel.memory) {
    HDC dc = GetDC(dialog);
    RECT panel = PanelRect(dialog);
    const FittedImage& f = g_panel.fit;
    bool drawn = preview_is_open() &&
                 DrawFrameAtPosition(BarBytePosition(position, PreviewFileSize()), g_panel.memory, f.x, f.y,
                                     f.width, f.height);
    if (dc) {
      if (drawn) CopyToScreen(dc, panel);
      else FillRect(dc, &panel, g_panel.background);
      ReleaseDC(dialog, dc);
    }
  }
  g_panel.lastDrawn = position;
  SetScrollPos(bar, SB_CTL, position, TRUE);
  char percent[32];
  FormatPercent(position, percent, sizeof percent);
  SetDlgItemTextA(dialog, IDC_IN_PERCENT, percent);
}

void PaintPreview(HWND dialog) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(dialog, &paint);
  if (dc && g_panel.enabled && g_panel.memory && preview_is_open()) CopyToScreen(dc, PanelRect(dialog));
  EndPaint(dialog, &paint);
}

void BlankPreviewAfterDelete(HWND dialog, HWND frame) {
  if (g_panel.memory) BlankMemoryBitmap();
  SetDlgItemTextA(frame, 1152, "");  // the frame's file-name edit
  EnableWindow(GetDlgItem(dialog, IDC_IN_DELETE), FALSE);
  HDC dc = GetDC(dialog);
  if (!dc) return;
  if (g_panel.memory) CopyToScreen(dc, PanelRect(dialog));
  ReleaseDC(dialog, dc);
}

int32_t PreviewStartPosition() { return g_panel.lastDrawn < 0 ? 0 : g_panel.lastDrawn; }

int DrawFrameAtPosition(uint64_t position, HDC target, int x, int y, int width, int height) {
  if (!preview_is_open()) return 0;
  if (!EnsurePixelBuffer(g_previewHeader.biSizeImage)) return 0;
  if (!RenderFrame(position, g_pixels.data) || !target) return 0;
  static_assert(sizeof(BitmapHeader) == sizeof(BITMAPINFOHEADER), "one layout");
  const BITMAPINFO* info = reinterpret_cast<const BITMAPINFO*>(&g_previewHeader);
  int32_t rows = g_previewHeader.biHeight < 0 ? -g_previewHeader.biHeight : g_previewHeader.biHeight;
  SetStretchBltMode(target, COLORONCOLOR);
  StretchDIBits(target, x, y, width, height, 0, 0, g_previewHeader.biWidth, rows, g_pixels.data, info,
                DIB_RGB_COLORS, SRCCOPY);
  return 1;
}

void EraseAroundPanel(HWND dialog, HDC dc) {
  RECT client, panel = PanelRect(dialog);
  GetClientRect(dialog, &client);
  int saved = SaveDC(dc);
  if (g_panel.enabled && g_panel.memory && preview_is_open())
    ExcludeClipRect(dc, panel.left, panel.top, panel.right, panel.bottom);
  FillRect(dc, &client, g_panel.background);
  RestoreDC(dc, saved);
}
