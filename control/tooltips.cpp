#include "control/tooltips.h"

#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "control/tip_layout.h"

namespace {

struct TooltipState {
  HWND owner, control, tip;
  HFONT font;
  HBRUSH brush;
  bool ownBrush;
  int maxWidth;
  TooltipEntry* table;
  int count;
};

TooltipState g_tips = {};

void ToolKey(int index, char* key, size_t size) {
  snprintf(key, size, "%08lX-%d",
           static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(g_tips.owner)), index);
}

bool AddTool(UINT flags, UINT_PTR id, const RECT* rect, char* key) {
  TOOLINFOA tool = {};
  tool.cbSize = TTTOOLINFOA_V1_SIZE;
  tool.uFlags = flags;
  tool.hwnd = g_tips.owner;
  tool.uId = id;
  if (rect) tool.rect = *rect;
  tool.hinst = g_instance;
  tool.lpszText = key;
  return SendMessageA(g_tips.control, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool)) != 0;
}

HWND FindChildEdit(HWND control) {
  for (HWND child = GetWindow(control, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
    char className[32] = "";
    GetClassNameA(child, className, sizeof className);
    if (lstrcmpiA(className, "edit") == 0) return child;
  }
  return nullptr;
}

bool RegisterEntry(int i) {
  TooltipEntry& entry = g_tips.table[i];
  char key[32];
  ToolKey(i, key, sizeof key);
  if (entry.kind == 1) return AddTool(TTF_SUBCLASS, entry.id, &entry.rect, key);
  entry.control = GetDlgItem(g_tips.owner, entry.id);
  bool added =
      AddTool(TTF_IDISHWND | TTF_SUBCLASS, reinterpret_cast<UINT_PTR>(entry.control), nullptr, key);
  if (entry.withChildEdit && (entry.childEdit = FindChildEdit(entry.control)) != nullptr) {
    added = AddTool(TTF_IDISHWND | TTF_SUBCLASS, reinterpret_cast<UINT_PTR>(entry.childEdit),
                    nullptr, key) &&
            added;
  }
  return added;
}

TooltipEntry* EntryFor(UINT_PTR id) {
  for (int i = 0; i < g_tips.count; ++i) {
    TooltipEntry& entry = g_tips.table[i];
    UINT_PTR handle = reinterpret_cast<UINT_PTR>(entry.control);
    UINT_PTR edit = reinterpret_cast<UINT_PTR>(entry.childEdit);
    if ((entry.kind == 0 && (id == handle || (edit && id == edit))) ||
        (entry.kind == 1 && id == static_cast<UINT_PTR>(entry.id))) {
      return &entry;
    }
  }
  return nullptr;
}

TipExtent MeasureWithDc(const char* text, int length, void* context) {
  SIZE size = {0, 0};
  GetTextExtentPoint32A(static_cast<HDC>(context), text, length, &size);
  return {size.cx, size.cy};
}

TipExtent MeasureTip(HWND tip, const char* text) {
  HDC dc = GetDC(tip);
  HGDIOBJ previous = SelectObject(dc, g_tips.font);
  TipExtent size = MeasureTipText(text, g_tips.maxWidth, MeasureWithDc, dc);
  SelectObject(dc, previous);
  ReleaseDC(tip, dc);
  return size;
}

void ShowTip(const TooltipEntry& entry) {
  // The control's own balloon is hidden by shrinking it; its place is ours.
  RECT place;
  GetWindowRect(g_tips.control, &place);
  MoveWindow(g_tips.control, place.left, place.top, 0, 0, TRUE);
  if (!entry.text || !entry.text[0]) return;
  if (g_tips.tip) DestroyWindow(g_tips.tip);
  g_tips.tip = CreateWindowExA(0, "Edit", "", WS_POPUP | WS_BORDER | ES_MULTILINE, place.left,
                               place.top, 0, 0, g_tips.owner, nullptr, g_instance, nullptr);
  if (!g_tips.tip) return;
  SendMessageA(g_tips.tip, WM_SETFONT, reinterpret_cast<WPARAM>(g_tips.font), 0);
  TipExtent size = MeasureTip(g_tips.tip, entry.text);
  RECT desktop;
  GetWindowRect(GetDesktopWindow(), &desktop);
  POINT cursor;
  GetCursorPos(&cursor);
  TipPlacement at =
      PlaceTip(place.left, place.top, size, desktop.right, desktop.bottom, cursor.x, cursor.y);
  MoveWindow(g_tips.tip, at.x, at.y, size.width + 4, size.height + 4, TRUE);
  RECT textArea = {0, 0, size.width + 8, size.height + 8};
  SendMessageA(g_tips.tip, EM_SETRECT, 0, reinterpret_cast<LPARAM>(&textArea));
  SetWindowTextA(g_tips.tip, entry.text);
  SetForegroundWindow(g_tips.owner);
  ShowWindow(g_tips.tip, SW_SHOWNA);
}

void PopTip() {
  if (g_tips.tip) DestroyWindow(g_tips.tip);
  g_tips.tip = nullptr;
}

}  // namespace

int SetupTooltips(TooltipEntry* table, int count, HWND owner, HBRUSH brush, int maxWidth) {
  InitCommonControls();
  InitCommonControlsAll();
  g_tips.table = table;
  g_tips.count = count;
  g_tips.owner = owner;
  g_tips.maxWidth = maxWidth;
  g_tips.ownBrush = brush == nullptr;
  g_tips.brush = brush ? brush : CreateSolidBrush(0x00E1FFFF);
  g_tips.font = reinterpret_cast<HFONT>(SendMessageA(owner, WM_GETFONT, 0, 0));
  g_tips.control =
      CreateWindowExA(0, "tooltips_class32", nullptr, 0, CW_USEDEFAULT, CW_USEDEFAULT,
                      CW_USEDEFAULT, CW_USEDEFAULT, owner, nullptr, g_instance, nullptr);
  if (!g_tips.control) return 0;
  bool all = true;
  for (int i = 0; i < count; ++i) all = RegisterEntry(i) && all;
  return all ? 1 : 0;
}

bool TooltipNotify(const NMHDR* notification) {
  if (!g_tips.control || notification->hwndFrom != g_tips.control) return false;
  if (notification->code == TTN_SHOW) {
    if (const TooltipEntry* entry = EntryFor(notification->idFrom)) ShowTip(*entry);
  } else if (notification->code == TTN_POP) {
    PopTip();
  }
  return true;
}

HBRUSH TooltipColour(HDC dc, HWND control) {
  if (!g_tips.tip || control != g_tips.tip) return nullptr;
  SetBkMode(dc, TRANSPARENT);
  return g_tips.brush;
}

void ActivateTooltips(int on) {
  if (g_tips.control) SendMessageA(g_tips.control, TTM_ACTIVATE, on ? TRUE : FALSE, 0);
}

void TeardownTooltips() {
  PopTip();
  if (g_tips.control) DestroyWindow(g_tips.control);
  if (g_tips.ownBrush && g_tips.brush) DeleteObject(g_tips.brush);
  g_tips = TooltipState{};
}

// clang-format off
TooltipEntry g_controlTooltips[14] = {
    {0, 1, 0, {},
     "  入力ファイルを出力ファイルにコピーする動作を停止したり\r\n"
     "再開したりします。\r\n"
     "  追越禁止をチェックしていない場合に出力ファイルの終わり\r\n"
     "まで書き込まれると自動的に停止状態になります。",
     nullptr, nullptr},
    {0, 1002, 0, {},
     "  出力ファイルをVantrelの再生ソフトで開きます。\r\n"
     "  Vantrel再生ソフトが起動されていなければ起動\r\n"
     "してから開きます。",
     nullptr, nullptr},
    {0, 1001, 0, {},
     "  入力ファイルを指定するダイアログを開きます。\r\n"
     "  出力ファイルの先頭からコピーしたい場合は、入力ファイルを選択\r\n"
     "するダイアログの出力ファイルの先頭から書き込むにチェックをします。",
     nullptr, nullptr},
    {0, 1031, 0, {},
     "  出力ファイルにコピーされる入力ファイル名が表示されます。",
     nullptr, nullptr},
    {0, 1062, 0, {},
     "  出力ファイルにコピーされる入力ファイル中の\r\n"
     "位置がパーセントまたはGBytesで表示されます。\r\n"
     "  ここをクリックするとパーセントとGBytes表示が \r\n"
     "切り替わります。",
     nullptr, nullptr},
    {0, 1051, 0, {},
     "  出力ファイルにコピーされる入力ファイル中の位置が示されます。\r\n"
     "コピー動作停止中には入力ファイル中の位置を変更できます。",
     nullptr, nullptr},
    {0, 1021, 1, {},
     "  出力ファイルを作成するドライブを選択します。ファイル名は\r\n"
     "$Ringfeed.mpgで選択したドライブのルートに作成されます。\r\n"
     "  コピー動作中は変更できません。",
     nullptr, nullptr},
    {0, 1022, 1, {},
     "  出力ファイルサイズは2の累乗になりますが\r\n"
     "この指数を選択します。\r\n"
     "  コピー動作中は変更できません。",
     nullptr, nullptr},
    {0, 1061, 0, {},
     "  実際に作成される出力ファイルのサイズです。",
     nullptr, nullptr},
    {0, 1028, 0, {},
     "  このプログラムをOSが実行する優先度を設定します。\r\n"
     "大きい数値ほど優先度が高くなります。",
     nullptr, nullptr},
    {0, 1030, 0, {},
     "  このプログラム自身がコピー動作を休止する頻度を設定します。\r\n"
     "小さい数値ほど休止する回数が多くなります。",
     nullptr, nullptr},
    {0, 1012, 0, {},
     "  これをチェックするとVantrel再生ソフトのシークノブを監視し\r\n"
     "再生位置をコピー位置が追い越さないようにコピー動作が中断されます。",
     nullptr, nullptr},
    {0, 1032, 0, {},
     "  コピー動作を再生位置のどれぐらい手前で中断するかを\r\n"
     "シーク範囲に対するパーセントで設定します。",
     nullptr, nullptr},
    {0, 1041, 0, {},
     "  出力ファイルに対し実際にどこまでデータが\r\n"
     "書き込まれたかが表示されます。",
     nullptr, nullptr},
};
// clang-format on
