// Control window procedure: initialisation, commands and the close hand-shake.
#include "control/control_window.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/app.h"
#include "app/settings_table.h"
#include "app/shared_state.h"
#include "control/command_rules.h"
#include "control/control_state.h"
#include "control/number_field.h"
#include "control/preview_window.h"
#include "control/progress.h"
#include "control/tooltips.h"
#include "player/player_launch.h"
#include "resources/resource.h"

ControlWindowState g_control = {};

namespace {

HBRUSH BrushFromSetting(SettingId id, uint32_t* colour) {
  ReadSetting(id);
  return CreateSolidBrush(*colour);
}

void CreateBrushes() {
  g_control.working = BrushFromSetting(SET_WORKING, &g_settings.Working);
  g_control.waiting = BrushFromSetting(SET_WAITING, &g_settings.Waiting);
  g_control.fileEnd = BrushFromSetting(SET_FILEEND, &g_settings.FileEnd);
  g_control.progressBar = BrushFromSetting(SET_PROGRESSBAR, &g_settings.ProgressBar);
  g_control.progressArea = BrushFromSetting(SET_PROGRESSAREA, &g_settings.ProgressArea);
  g_control.tipHelp = BrushFromSetting(SET_TIPHELP, &g_settings.TipHelp);
}

void SetupLook(HWND window) {
  // Fixed pitch, so that the free-space figures of the drive list align.
  g_control.driveFont =
      CreateFontA(12, 6, 0, 0, 0, 0, 0, 0, SHIFTJIS_CHARSET, 0, 0, 0, FIXED_PITCH, "ＭＳ 明朝");
  SendDlgItemMessageA(window, IDC_DRIVE, WM_SETFONT, reinterpret_cast<WPARAM>(g_control.driveFont),
                      0);
  g_control.icon = LoadIconA(g_instance, MAKEINTRESOURCEA(IDI_PROGRAM));
  SendMessageA(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(g_control.icon));
  SetWindowTextA(window, PROGRAM_TITLE);
}

void SetupProgressDisplays(HWND window) {
  MeasureProgressArea(window);
  MeasureProgressArea(g_control.overlay);
  UpdateProgressBar(0);
  LayoutProgressBar(g_control.overlay, g_overlayArea, 0);

  SCROLLINFO bar = {};
  bar.cbSize = sizeof bar;
  bar.fMask = SIF_ALL | SIF_DISABLENOSCROLL;
  bar.nMax = 1000;
  bar.nPage = 1;
  SetScrollInfo(GetDlgItem(window, IDC_POSITION_BAR), SB_CTL, &bar, TRUE);
  SetDlgItemTextA(window, IDC_POSITION_TEXT, g_control.gigabytes ? "0.00GB" : "0.0%");
}

void RestoreWindowPosition(HWND window) {
  ReadSetting(SET_X);
  ReadSetting(SET_Y);
  SetWindowPos(window, nullptr, g_settings.X, g_settings.Y, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Notify(HWND window, int id, int code) {
  SendMessageA(window, WM_COMMAND, MAKEWPARAM(id, code),
               reinterpret_cast<LPARAM>(GetDlgItem(window, id)));
}

void SetupNumberField(HWND window, int spin, int field, int min, int max, int value) {
  SendDlgItemMessageA(window, spin, UDM_SETRANGE, 0, MAKELPARAM(max, min));
  SendDlgItemMessageA(window, spin, UDM_SETPOS, 0, MAKELPARAM(value, 0));
  // An up-down control that already stands at the value may leave its buddy empty.
  if (GetWindowTextLengthA(GetDlgItem(window, field)) == 0)
    SetDlgItemInt(window, field, value, TRUE);
  Notify(window, field, EN_CHANGE);
}

void SetupPriorities(HWND window) {
  ReadSetting(SET_PRIORITY);
  if (g_settings.Priority < -8 || g_settings.Priority > 8) g_settings.Priority = 0;
  SetupNumberField(window, IDC_PRIORITY_SPIN, IDC_PRIORITY, -8, 8, g_settings.Priority);
  ReadSetting(SET_PRIORITY2);
  SetupNumberField(window, IDC_PAUSE_SPIN, IDC_PAUSE, -5, 5, g_settings.Priority2);
}

void SetupSizeChoice(HWND window) {
  for (int n = 28; n <= 31; ++n) {
    char text[8];
    snprintf(text, sizeof text, "%d", n);
    SendDlgItemMessageA(window, IDC_SIZE_COMBO, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
  }
  ReadSetting(SET_SIZE);
  if (g_settings.Size < 28 || g_settings.Size > 31) g_settings.Size = 28;
  SendDlgItemMessageA(window, IDC_SIZE_COMBO, CB_SETCURSEL, g_settings.Size - 28, 0);
  // Taken over as a change, so the Copy worker always hears of the size.
  g_settings.Size = 0;
  Notify(window, IDC_SIZE_COMBO, CBN_SELENDOK);
}

void SetupCopyOptions(HWND window) {
  ReadSetting(SET_WAIT);
  CheckDlgButton(window, IDC_WAIT_CHECK, g_settings.Wait ? BST_CHECKED : BST_UNCHECKED);
  Notify(window, IDC_WAIT_CHECK, BN_CLICKED);
  ReadSetting(SET_STOP);
  SetDlgItemInt(window, IDC_MARGIN, g_settings.Stop, FALSE);
}

// The menu resources start with Tip and Progress checked, the rest not.
void AlignMenuToggles(HWND window) {
  const SettingId toggles[] = {SET_TOP,    SET_TIP,  SET_PROGRESS, SET_MINIMIZED,
                               SET_SERIAL, SET_HEAD, SET_NOSTOP,   SET_CLEAR};
  for (SettingId id : toggles) ReadSetting(id);
  if (g_settings.Top) SendMessageA(window, WM_COMMAND, IDM_TOPMOST, 0);
  if (!g_settings.Tip) SendMessageA(window, WM_COMMAND, IDM_TIPS, 0);
  if (!g_settings.Progress) SendMessageA(window, WM_COMMAND, IDM_PROGRESS, 0);
  if (g_settings.Minimized) PostMessageA(window, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  if (g_settings.Serial) SendMessageA(window, WM_COMMAND, IDM_SERIAL, 0);
  if (g_settings.Head) SendMessageA(window, WM_COMMAND, IDM_HEAD, 0);
  if (g_settings.NoStop) SendMessageA(window, WM_COMMAND, IDM_NOSTOP, 0);
  if (g_settings.Clear) SendMessageA(window, WM_COMMAND, IDM_CLEAR, 0);
}

// The last input and its positions, restored only while its file still
// exists. The write position must be in place before the Copy worker first
// checks the ring it belongs to: restored later, it would undo the worker's
// reset for a ring of another size and point past that ring's end.
void RestoreLastPositions() {
  ReadSetting(SET_FOLDERLIST);
  ReadSetting(SET_FOLDER);
  ReadSetting(SET_FILE);
  if (GetFileAttributesA(g_settings.File) == INVALID_FILE_ATTRIBUTES) {
    g_settings.File[0] = '\0';
    return;
  }
  ReadSetting(SET_OFFSETLO);
  ReadSetting(SET_OFFSETHI);
  g_inputOffset.store((static_cast<uint64_t>(g_settings.OffsetHi) << 32) | g_settings.OffsetLo);
  g_outputOffset.store(0);
  ReadSetting(SET_OFFSET);
  g_outputOffset.store(g_settings.Offset);
}

void ShowLastInput(HWND window) {
  if (!g_settings.File[0]) return;
  HANDLE file = CreateFileA(g_settings.File, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD high = 0;
    DWORD low = GetFileSize(file, &high);
    if (low != INVALID_FILE_SIZE || GetLastError() == NO_ERROR) {
      g_inputSize.store((static_cast<uint64_t>(high) << 32) | low);
    }
    CloseHandle(file);
  }
  SetDlgItemTextA(window, IDC_INPUT_PATH, g_settings.File);
  UpdateProgressText();
  UpdateProgressBar(g_outputOffset.load());
}

INT_PTR CALLBACK PreviewProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

BOOL OnInitDialog(HWND window) {
  g_control.taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  g_control.window = g_controlWindow = window;
  g_control.driveRect.left = -1;  // not dropped down yet
  g_control.overlay = CreateOverlayWindow();
  CreateBrushes();
  SetupLook(window);
  LoadMenus();
  SetupProgressDisplays(window);
  RestoreWindowPosition(window);
  SetupPriorities(window);
  ReadSetting(SET_DRIVE);
  RefreshDriveList(window);
  SetupSizeChoice(window);
  SetupTooltips(g_controlTooltips, 14, window, g_control.tipHelp, 500);
  SetupCopyOptions(window);
  AlignMenuToggles(window);
  RestoreLastPositions();
  RaiseCommands(CMD_PRIORITY | CMD_OPEN_OUTPUT | CMD_SIZE);
  StartCopyWorker();
  ShowLastInput(window);
  g_control.preview =
      CreateDialogParamA(g_instance, MAKEINTRESOURCEA(IDD_PREVIEW), window, PreviewProc, 0);
  return TRUE;
}

// ---- commands -------------------------------------------------------------

void NoteFocus(int id) { g_control.lastFocus = id; }

void OnStartStop(HWND window) {
  switch (DecideStartStop(g_stopped.load() != 0, g_settings.File[0] != '\0')) {
    case START_STOP_STOP:
      SetDlgItemTextA(window, IDC_START, "続行(&S)");
      RaiseCommands(CMD_STOP);
      break;
    case START_STOP_START:
      SetDlgItemTextA(window, IDC_START, "停止(&S)");
      RaiseCommands(CMD_START);
      break;
    case START_STOP_NOTHING: break;
  }
}

// The path field only shows the input; the focus moves on at once.
void OnInputPathFocus(HWND window) {
  if (g_settings.Minimized) return;
  int next = g_control.lastFocus == IDC_BROWSE ? IDC_POSITION_BAR : IDC_BROWSE;
  SetFocus(GetDlgItem(window, next));
}

void OnPriorityChange(HWND window) {
  g_settings.Priority = ValidateNumberField(window, IDC_PRIORITY, -8, 8);
  RaiseCommands(CMD_PRIORITY);
  CheckTrayItems(IDM_PRIORITY_FIRST, IDM_PRIORITY_LAST, IDM_PRIORITY_ZERO + g_settings.Priority);
}

void OnPauseChange(HWND window) {
  g_settings.Priority2 = ValidateNumberField(window, IDC_PAUSE, -5, 5);
  CheckTrayItems(IDM_PAUSE_FIRST, IDM_PAUSE_LAST, IDM_PAUSE_ZERO + g_settings.Priority2);
}

void OnWaitClicked(HWND window) {
  g_settings.Wait = IsDlgButtonChecked(window, IDC_WAIT_CHECK) == BST_CHECKED ? 1 : 0;
  CheckMenuItem(g_control.trayMenu, IDM_WAIT,
                MF_BYCOMMAND | (g_settings.Wait ? MF_CHECKED : MF_UNCHECKED));
}

void OnWaitMenu(HWND window) {
  bool checked = IsDlgButtonChecked(window, IDC_WAIT_CHECK) == BST_CHECKED;
  CheckDlgButton(window, IDC_WAIT_CHECK, checked ? BST_UNCHECKED : BST_CHECKED);
  OnWaitClicked(window);
}

// Text of the selected entry of a combo box; empty when none is selected.
void SelectedText(HWND window, int id, char* text, size_t size) {
  text[0] = '\0';
  LRESULT selected = SendDlgItemMessageA(window, id, CB_GETCURSEL, 0, 0);
  if (selected == CB_ERR) return;
  if (SendDlgItemMessageA(window, id, CB_GETLBTEXTLEN, selected, 0) >= static_cast<LRESULT>(size))
    return;
  SendDlgItemMessageA(window, id, CB_GETLBTEXT, selected, reinterpret_cast<LPARAM>(text));
}

void OnSizeChange(HWND window) {
  char text[16];
  SelectedText(window, IDC_SIZE_COMBO, text, sizeof text);
  if (!text[0]) return;
  unsigned chosen = static_cast<unsigned>(atoi(text));
  switch (DecideSizeChange(chosen, g_settings.Size, g_stopped.load() != 0)) {
    case CHOICE_TAKE:
      g_settings.Size = chosen;
      RaiseCommands(CMD_SIZE);
      CheckTrayItems(IDM_SIZE_FIRST, IDM_SIZE_LAST, 40018 + static_cast<int>(g_settings.Size));
      break;
    case CHOICE_RESTORE:
      snprintf(text, sizeof text, "%2d", static_cast<int>(g_settings.Size));
      SendDlgItemMessageA(window, IDC_SIZE_COMBO, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                          reinterpret_cast<LPARAM>(text));
      break;
    case CHOICE_KEEP: break;
  }
}

void OnDriveChange(HWND window) {
  char text[64];
  SelectedText(window, IDC_DRIVE, text, sizeof text);
  switch (DecideDriveChange(text, g_settings.Drive, g_stopped.load() != 0)) {
    case CHOICE_TAKE:
      snprintf(g_settings.Drive, sizeof g_settings.Drive, "%.2s", text);
      RaiseCommands(CMD_DRIVE);
      break;
    case CHOICE_RESTORE:
      SendDlgItemMessageA(window, IDC_DRIVE, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                          reinterpret_cast<LPARAM>(g_settings.Drive));
      break;
    case CHOICE_KEEP: break;
  }
}

// The drive texts are wider than the box: it widens while dropped down,
// over the size choice, which hides meanwhile.
void OnDriveDropDown(HWND window) {
  HWND combo = GetDlgItem(window, IDC_DRIVE);
  if (g_control.driveRect.left == -1) {
    RECT box, list;
    GetWindowRect(combo, &box);
    // The box's height as set includes its list; keep it so the list keeps its length.
    if (SendMessageA(combo, CB_GETDROPPEDCONTROLRECT, 0, reinterpret_cast<LPARAM>(&list)) &&
        list.bottom > box.bottom) {
      box.bottom = list.bottom;
    }
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&box), 2);
    g_control.driveRect = box;
  }
  RefreshDriveList(window);
  const RECT& r = g_control.driveRect;
  MoveWindow(combo, r.left, r.top, (r.right - r.left) * 4, r.bottom - r.top, TRUE);
  ShowWindow(GetDlgItem(window, IDC_SIZE_COMBO), SW_HIDE);
  ShowWindow(GetDlgItem(window, IDC_SIZE_LABEL), SW_HIDE);
}

void OnDriveCloseUp(HWND window) {
  const RECT& r = g_control.driveRect;
  if (r.left != -1)
    MoveWindow(GetDlgItem(window, IDC_DRIVE), r.left, r.top, r.right - r.left, r.bottom - r.top,
               TRUE);
  ShowWindow(GetDlgItem(window, IDC_SIZE_COMBO), SW_SHOW);
  ShowWindow(GetDlgItem(window, IDC_SIZE_LABEL), SW_SHOW);
}

void OnTopmost(HWND window) {
  int on = ToggleMenuSetting(IDM_TOPMOST);
  SetWindowPos(window, on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0,
               SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
}

void OnTips() { ActivateTooltips(ToggleMenuSetting(IDM_TIPS)); }

void OnPriorityMenu(HWND window, int id) {
  SetDlgItemInt(window, IDC_PRIORITY, id - IDM_PRIORITY_ZERO, TRUE);
  OnPriorityChange(window);
}

void OnPauseMenu(HWND window, int id) {
  SetDlgItemInt(window, IDC_PAUSE, id - IDM_PAUSE_ZERO, TRUE);
  OnPauseChange(window);
}

void OnSizeMenu(HWND window, int id) {
  SendDlgItemMessageA(window, IDC_SIZE_COMBO, CB_SETCURSEL, id - IDM_SIZE_FIRST, 0);
  OnSizeChange(window);
}

void OnDriveMenu(HWND window, int id) {
  char prefix[3] = {static_cast<char>('A' + (id - IDM_DRIVE_FIRST)), ':', '\0'};
  SendDlgItemMessageA(window, IDC_DRIVE, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                      reinterpret_cast<LPARAM>(prefix));
  OnDriveChange(window);
}

bool OnMenuRange(HWND window, int id) {
  if (id >= IDM_PRIORITY_FIRST && id <= IDM_PRIORITY_LAST)
    OnPriorityMenu(window, id);
  else if (id >= IDM_PAUSE_FIRST && id <= IDM_PAUSE_LAST)
    OnPauseMenu(window, id);
  else if (id >= IDM_SIZE_FIRST && id <= IDM_SIZE_LAST)
    OnSizeMenu(window, id);
  else if (id >= IDM_DRIVE_FIRST && id <= IDM_DRIVE_LAST)
    OnDriveMenu(window, id);
  else
    return false;
  return true;
}

void OnButton(HWND window, int id, int code) {
  if (code == BN_SETFOCUS) {
    if (id != IDC_BROWSE || !g_settings.Minimized) NoteFocus(id);
    return;
  }
  if (code != BN_CLICKED) return;
  if (id == IDC_START) OnStartStop(window);
  if (id == IDC_BROWSE) OnBrowse(window);
  if (id == IDC_PLAY) OpenOutputInPlayer();
  if (id == IDC_WAIT_CHECK) OnWaitClicked(window);
}

void OnEdit(HWND window, int id, int code) {
  if (code == EN_SETFOCUS) {
    if (id == IDC_INPUT_PATH)
      OnInputPathFocus(window);
    else
      NoteFocus(id);
    return;
  }
  if (code != EN_CHANGE) return;
  if (id == IDC_PRIORITY) OnPriorityChange(window);
  if (id == IDC_PAUSE) OnPauseChange(window);
  if (id == IDC_MARGIN) g_settings.Stop = GetDlgItemInt(window, IDC_MARGIN, nullptr, FALSE);
}

void OnCombo(HWND window, int id, int code) {
  switch (code) {
    case CBN_SETFOCUS: NoteFocus(id); break;
    case CBN_SELENDOK: id == IDC_DRIVE ? OnDriveChange(window) : OnSizeChange(window); break;
    case CBN_DROPDOWN:
      if (id == IDC_DRIVE) OnDriveDropDown(window);
      break;
    case CBN_CLOSEUP:
      if (id == IDC_DRIVE) OnDriveCloseUp(window);
      break;
  }
}

void OnCommand(HWND window, int id, int code) {
  switch (id) {
    case IDC_START:
    case IDC_BROWSE:
    case IDC_PLAY:
    case IDC_WAIT_CHECK: OnButton(window, id, code); return;
    case IDC_INPUT_PATH:
    case IDC_MARGIN:
    case IDC_PRIORITY:
    case IDC_PAUSE: OnEdit(window, id, code); return;
    case IDC_DRIVE:
    case IDC_SIZE_COMBO: OnCombo(window, id, code); return;
    case IDC_POSITION_TEXT:
      if (code == STN_CLICKED) ToggleGigabyteDisplay();
      return;
    case IDM_BROWSE:
      OnBrowse(window);
      SetForegroundWindow(GetDesktopWindow());
      return;
    case IDM_WAIT: OnWaitMenu(window); return;
    case IDM_ABOUT: ShowAbout(window); return;
    case IDM_TOPMOST: OnTopmost(window); return;
    case IDM_TIPS: OnTips(); return;
    case IDM_SERIAL:
    case IDM_NOSTOP:
    case IDM_HEAD:
    case IDM_CLEAR:
    case IDM_PROGRESS: ToggleMenuSetting(id); return;
    case IDM_EXIT: PostMessageA(window, WM_SYSCOMMAND, SC_CLOSE, 0); return;
  }
  OnMenuRange(window, id);
}

// ---- window messages --------------------------------------------------------

INT_PTR OnColourStatic(HDC dc, HWND control) {
  HBRUSH brush = ProgressBrush(GetDlgCtrlID(control), false);
  if (!brush) return FALSE;
  SetBkMode(dc, TRANSPARENT);
  return reinterpret_cast<INT_PTR>(brush);
}

INT_PTR OnColourEdit(HDC dc, HWND control) {
  return reinterpret_cast<INT_PTR>(TooltipColour(dc, control));
}

INT_PTR OnNotify(HWND window, const NMHDR* notification) {
  if (!TooltipNotify(notification)) return FALSE;
  // TTN_SHOW: the tip is placed by the program, not by the tooltip control.
  SetWindowLongPtrA(window, DWLP_MSGRESULT, notification->code == TTN_SHOW ? TRUE : 0);
  return TRUE;
}

void OnHScroll(HWND window, WPARAM wParam, LPARAM lParam) {
  if (reinterpret_cast<HWND>(lParam) == GetDlgItem(window, IDC_POSITION_BAR))
    OnPositionBar(window, wParam);
}

void OnSize(HWND window, WPARAM kind) {
  if (kind == SIZE_MINIMIZED) OnMinimized(window);
}

void OnClose(HWND window) {
  // With a worker running, it must reach a safe point before files close.
  if (g_workerThread) {
    RaiseCommands(CMD_QUIT);
    return;
  }
  RunShutdownSequence(window);
}

void OnEndSession(HWND window, WPARAM ending) {
  if (ending) RunShutdownSequence(window);
}

void OnDestroy() {
  TrayIcon(NIM_DELETE, 0, nullptr, nullptr);
  if (g_control.overlay) DestroyWindow(g_control.overlay);
  g_control.overlay = nullptr;
  PostQuitMessage(0);
}

INT_PTR OnOtherMessage(UINT message) {
  if (message != 0 && message == g_control.taskbarCreated) {
    OnTaskbarCreated();
    return TRUE;
  }
  return FALSE;
}

}  // namespace

void ReleaseControlWindowResources() {
  DestroyMenus();
  HGDIOBJ objects[] = {g_control.tipHelp,     g_control.driveFont, g_control.progressArea,
                       g_control.progressBar, g_control.fileEnd,   g_control.waiting,
                       g_control.working};
  for (HGDIOBJ object : objects) {
    if (object) DeleteObject(object);
  }
  g_control.tipHelp = g_control.progressArea = g_control.progressBar = nullptr;
  g_control.fileEnd = g_control.waiting = g_control.working = nullptr;
  g_control.driveFont = nullptr;
}

INT_PTR CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: return OnInitDialog(window);
    case WM_COMMAND: OnCommand(window, LOWORD(wParam), HIWORD(wParam)); return TRUE;
    case WM_HSCROLL: OnHScroll(window, wParam, lParam); return TRUE;
    case WM_CTLCOLORSTATIC:
      return OnColourStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_CTLCOLOREDIT:
      return OnColourEdit(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_NOTIFY: return OnNotify(window, reinterpret_cast<const NMHDR*>(lParam));
    case WM_RBUTTONDOWN: ShowWindowMenu(window); return TRUE;
    case WM_ACTIVATE: if (LOWORD(wParam) == WA_INACTIVE) HidePreview(); return FALSE;
    case WM_MOUSEMOVE: HidePreview(); return TRUE;
    case WM_SIZE: OnSize(window, wParam); return TRUE;
    case WM_TRAY_NOTIFY: OnTrayNotify(window, lParam); return TRUE;
    case WM_CLOSE: OnClose(window); return TRUE;
    case WM_WORKER_FINISHED: RunShutdownSequence(window); return TRUE;
    case WM_ENDSESSION: OnEndSession(window, wParam); return TRUE;
    case WM_DESTROY: OnDestroy(); return TRUE;
  }
  return OnOtherMessage(message);
}
