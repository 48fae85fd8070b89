#include "input/input_dialog.h"

#include <commctrl.h>

#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "app/settings_table.h"
#include "app/shared_state.h"
#include "control/tray.h"
#include "input/folder_list.h"
#include "input/media_text.h"
#include "input/preview_panel.h"
#include "mpeg/session.h"
#include "resources/resource.h"

InputDialogState g_inputDialog;

namespace {

const UINT_PTR kTimer = 1;
const UINT kTimerPeriodMs = 200;
const UINT kSizeCommand = SC_SIZE;

// Filter pairs, in order; the list ends with two NULs.
const char kFilters[] =
    "*.m2p*\0*.m2p*\0*.mp*\0*.mp*\0*.vob*\0*.vob*\0*.vbs*\0*.vbs*\0"
    "ビデオファイル(m2p*,mp*,vob*,vbs*)\0*.mp*;*.m2p*;*.vob*;*.vbs*\0"
    "全てのファイル\0*.*\0";

// OFN_HIDEREADONLY | OFN_ENABLEHOOK | OFN_ENABLETEMPLATE | OFN_PATHMUSTEXIST |
// OFN_FILEMUSTEXIST | OFN_EXPLORER | OFN_ENABLESIZING
const DWORD kOpenFlags = 0x00281864;

bool MajorVersion6() { return g_osVersion.dwMajorVersion == 6; }

void ShowAudioDelay(HWND dialog) {
  int32_t delay = g_audioDelay.load();
  char text[16];
  FormatDelayValue(delay, text, sizeof text);
  SetDlgItemTextA(dialog, IDC_IN_DELAY, text);
  SetDlgItemTextA(dialog, IDC_IN_DELAY_UNIT, DelayUnitText(delay));
}

void OnInitDialog(HWND dialog) {
  InputDialogState& d = g_inputDialog;
  d = InputDialogState();
  d.dialog = dialog;
  d.frame = GetParent(dialog);
  d.background = CreateSolidBrush(GetSysColor(COLOR_BTNFACE));
  FillFolderCombo(dialog);
  d.pendingFilter = -1;
  CheckDlgButton(dialog, IDC_IN_START, BST_CHECKED);
  SendDlgItemMessageA(dialog, IDC_IN_DELAY_SPIN, UDM_SETRANGE, 0, LPARAM(0xFFFF0001));
  SendDlgItemMessageA(dialog, IDC_IN_DELAY_SPIN, UDM_SETPOS, 0, 0);
  ShowAudioDelay(dialog);
  d.previewEnabled = 1;
  CheckDlgButton(dialog, IDC_IN_SHOW, BST_CHECKED);
  CreatePreviewPanel(dialog, d.background);
  PlaceFrame(d.frame);
}

void OnDelayStep(HWND dialog, const NMUPDOWN* change) {
  g_audioDelay.store(StepAudioDelay(g_audioDelay.load(), change->iDelta));
  ShowAudioDelay(dialog);
}

void MakeFrameResizable(HWND frame) {
  SetWindowLongPtrA(frame, GWL_STYLE, GetWindowLongPtrA(frame, GWL_STYLE) | WS_THICKFRAME);
  InsertMenuA(GetSystemMenu(frame, FALSE), 1, MF_BYPOSITION | MF_STRING, kSizeCommand, "サイズ変更(&S)");
  SubclassFrame(frame);
}

void OnInitDone(HWND dialog) {
  InputDialogState& d = g_inputDialog;
  MakeFrameResizable(d.frame);
  ReadSetting(SET_OPENW);
  ReadSetting(SET_OPENH);
  RequestFrameSize(false);
  LoadFileListState();
  if (MajorVersion6()) d.timerFlags |= TIMER_DEFERRED_RESIZE;
  SetTimer(dialog, kTimer, kTimerPeriodMs, nullptr);
  if (!MajorVersion6()) PlaceFrame(d.frame);
  g_trayMenuPoint.x = -1;
  // A session the Control window's preview left open is not this panel's:
  // taken for its own, the panel would never draw the file it is open on.
  preview_close();
  if (d.previewEnabled) RequestPreviewRefresh(dialog);
}

void OnSelectionChanged(HWND dialog) {
  InputDialogState& d = g_inputDialog;
  if (d.pendingFilter >= 0) {
    SetDlgItemTextA(d.frame, 1152, "");
    SendDlgItemMessageA(d.frame, 1136, CB_SETCURSEL, d.pendingFilter, 0);
    d.pendingFilter = -1;
  }
  RequestPreviewRefresh(dialog);
}

LRESULT OnNotify(HWND dialog, const NMHDR* header) {
  if (header->idFrom == IDC_IN_DELAY_SPIN && header->code == UDN_DELTAPOS) {
    OnDelayStep(dialog, reinterpret_cast<const NMUPDOWN*>(header));
    return 0;
  }
  switch (header->code) {
    case CDN_INITDONE: OnInitDone(dialog); break;
    case CDN_FOLDERCHANGE: g_inputDialog.timerFlags |= TIMER_FOLDER_CHANGED; break;
    case CDN_SELCHANGE: OnSelectionChanged(dialog); break;
    case CDN_FILEOK: OnFileAccepted(dialog); break;
  }
  return 0;
}

void OnCommand(HWND dialog, int id, int code) {
  switch (id) {
    case IDC_IN_FOLDERS:
      if (code == CBN_SELENDOK) OnFolderChosen(dialog);
      return;
    case IDC_IN_DELETE: OnDeleteFile(dialog); return;
    case IDC_IN_SHOW: RefreshPreview(dialog, g_inputDialog.frame); return;
  }
}

// A new selection is previewed once it has stayed the same for one tick, so
// that running through the list does not open every file on the way.
void SettleSelection(HWND dialog) {
  InputDialogState& d = g_inputDialog;
  char selection[292] = "";
  if (SendMessageA(d.frame, CDM_GETFILEPATH, sizeof selection, reinterpret_cast<LPARAM>(selection)) < 0)
    selection[0] = '\0';
  if (!SameText(selection, d.lastSeen)) {
    strcpy(d.lastSeen, selection);
    return;
  }
  if (d.busy) return;
  if (!preview_is_open() || !SameText(d.lastSeen, g_previewPath)) RequestPreviewRefresh(dialog);
}

void OnTimer(HWND dialog) {
  SettleSelection(dialog);
  MaintainFileListView();
}

void OnDestroy(HWND dialog) {
  InputDialogState& d = g_inputDialog;
  UnsubclassFrame(d.frame);
  GetSystemMenu(d.frame, TRUE);
  RECT outer;
  GetWindowRect(d.frame, &outer);
  g_settings.OpenW = uint32_t(outer.right - outer.left);
  g_settings.OpenH = uint32_t(outer.bottom - outer.top);
  WriteSetting(SET_OPENW);
  WriteSetting(SET_OPENH);
  SaveFileListState();
  KillTimer(dialog, kTimer);
  g_writeFromHead.store(IsDlgButtonChecked(dialog, IDC_IN_FROM_HEAD) == BST_CHECKED);
  g_keepPreviousTail.store(IsDlgButtonChecked(dialog, IDC_IN_KEEP_TAIL) == BST_CHECKED);
  d.startAfterInput = IsDlgButtonChecked(dialog, IDC_IN_START) == BST_CHECKED;
  DestroyPreviewPanel();
  DeleteObject(d.background);
  d.background = nullptr;
}

LRESULT OnEraseBackground(HWND dialog, HDC dc) {
  EraseAroundPanel(dialog, dc);
  SetWindowLongPtrA(dialog, DWLP_MSGRESULT, 1);
  return 1;
}

}  // namespace

UINT_PTR CALLBACK InputDialogHook(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: OnInitDialog(dialog); return 0;
    case WM_NOTIFY: return OnNotify(dialog, reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND: OnCommand(dialog, LOWORD(wParam), HIWORD(wParam)); return 0;
    case WM_TIMER: OnTimer(dialog); return 0;
    case WM_HSCROLL:
      if (reinterpret_cast<HWND>(lParam) == GetDlgItem(dialog, IDC_IN_BAR)) OnPreviewScroll(dialog, wParam);
      return 0;
    case WM_PAINT: PaintPreview(dialog); return 0;
    case WM_ERASEBKGND: return OnEraseBackground(dialog, reinterpret_cast<HDC>(wParam));
    case WM_DESTROY: OnDestroy(dialog); return 0;
  }
  return 0;
}

bool RunInputDialog(HWND owner, char* file, bool* startAfterInput) {
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400A;
  dialog.hwndOwner = owner;
  dialog.hInstance = g_instance;
  dialog.lpstrFilter = kFilters;
  dialog.nFilterIndex = DWORD(FolderListFilterIndex(g_settings.FolderList));
  dialog.lpstrFile = file;
  dialog.nMaxFile = 260;
  dialog.lpstrInitialDir = g_settings.Folder;
  dialog.lpstrTitle = "Ringfeed / ビデオファイル選択";
  dialog.Flags = kOpenFlags;
  dialog.lpfnHook = InputDialogHook;
  dialog.lpTemplateName = MAKEINTRESOURCEA(IDD_INPUT);
  bool chosen = GetOpenFileNameA(&dialog) != 0;
  *startAfterInput = chosen && g_inputDialog.startAfterInput;
  return chosen;
}
