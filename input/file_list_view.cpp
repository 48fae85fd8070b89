// The file list's view type and details-view column widths, kept in "Ofn"
// between uses of the Input dialog.
#include <windows.h>

#include <commctrl.h>

#include "app/settings_table.h"
#include "input/input_dialog.h"
#include "player/player_windows.h"

namespace {

const long kViewMask = 0x0C03;   // view type and alignment bits
const int kDetailsCommand = 0xA004;  // the shell view's "details" command

bool IsDetails(long style) { return (style & LVS_TYPEMASK) == LVS_REPORT; }

HWND FileList(HWND frame) {
  HWND view = FindDescendant(frame, "SHELLDLL_DefView", nullptr, 1121, 0);
  return view ? FindDescendant(view, "SysListView32", nullptr, 1, 0) : nullptr;
}

void ApplyWidths(HWND list) {
  const int* w = g_inputDialog.view.widths;
  if (!(w[0] || w[1] || w[2] || w[3])) return;
  for (int c = 0; c < 4; ++c) SendMessageA(list, LVM_SETCOLUMNWIDTH, c, MAKELPARAM(LOWORD(w[c]), 0));
}

}  // namespace

void LoadFileListState() {
  char text[292];
  ReadSettingText(Setting(SET_OFN), text, sizeof text);
  g_inputDialog.view = FileListState();
  g_inputDialog.timerFlags |= ParseFileListState(text, g_inputDialog.view) ? TIMER_RESTORE_VIEW : TIMER_TRACK_VIEW;
}

void SaveFileListState() {
  char text[96];
  FormatFileListState(g_inputDialog.view, text, sizeof text);
  WriteSettingText(Setting(SET_OFN), text);
}

void MaintainFileListView() {
  InputDialogState& d = g_inputDialog;
  if (d.timerFlags == 0) return;
  if (d.timerFlags & TIMER_DEFERRED_RESIZE) {
    if (RequestFrameSize(true) != LRESULT(kSizeRequestNotReady)) {
      PlaceFrame(d.frame);
      d.timerFlags &= ~TIMER_DEFERRED_RESIZE;
    }
    return;
  }
  HWND list = FileList(d.frame);
  if (!list) return;
  long style = long(GetWindowLongPtrA(list, GWL_STYLE) & kViewMask);
  if ((d.timerFlags & TIMER_FOLDER_CHANGED) && IsDetails(style)) {
    ApplyWidths(list);
    d.timerFlags &= ~TIMER_FOLDER_CHANGED;
  }
  if (d.timerFlags & TIMER_RESTORE_VIEW) {
    if (IsDetails(d.view.style)) {
      HWND toolbar = FindDescendant(d.frame, "ToolbarWindow32", nullptr, 1, 0);
      SendMessageA(d.frame, WM_COMMAND, kDetailsCommand, reinterpret_cast<LPARAM>(toolbar));
      // Switching the view may give the shell view a new list.
      list = FileList(d.frame);
      if (list) ApplyWidths(list);
    }
    d.timerFlags = (d.timerFlags & ~TIMER_RESTORE_VIEW) | TIMER_TRACK_VIEW;
  } else if (d.timerFlags & TIMER_TRACK_VIEW) {
    d.view.style = style;
    if (IsDetails(style)) {
      for (int c = 0; c < 4; ++c) d.view.widths[c] = int(SendMessageA(list, LVM_GETCOLUMNWIDTH, c, 0));
    }
  }
}
