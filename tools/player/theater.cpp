// theater.exe [--rate BYTES_PER_SECOND] [--play] [FILE]
// The stand-in Player's main window: title display, seek track with its knob,
// the four buttons and a status line with the exact position.
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "tools/player/theater.h"

namespace {

const int kClientWidth = 430, kClientHeight = 140;
const RECT kTitleArea = {8, 8, 422, 48};
const RECT kTrackArea = {8, 56, 422, 74};
const int kKnobWidth = 8;
// The play lamp covers x = 210, rows 23..29 of the title display.
const RECT kLamp = {200, 18, 222, 34};
const UINT_PTR kTimer = 1;
const UINT kTickMs = 40;

HWND g_main, g_title, g_track, g_knob, g_status;
HWND g_dialogOpen;  // the open dialog while shown, for IsDialogMessage

const char* FileName(const char* path) {
  const char* name = path;
  for (const char* p = path; *p; p = CharNextA(p)) {
    if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
  }
  return name;
}

// Knob's left edge: 3 px inside the track at 0, 3 px from its right edge at the end.
int KnobX(int trackWidth) {
  if (g_playback.size == 0) return 3;
  return 3 + static_cast<int>(g_playback.position * static_cast<uint64_t>(trackWidth - 6) /
                              g_playback.size);
}

void UpdateView() {
  RECT track;
  GetClientRect(g_track, &track);
  SetWindowPos(g_knob, nullptr, KnobX(track.right), 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  char text[128];
  snprintf(text, sizeof text, "%" PRIu64 "/%" PRIu64 " %s plays=%d presses=%d", g_playback.position,
           g_playback.size, g_playback.playing ? "playing" : "stopped", g_playback.playPresses,
           g_playback.presses);
  SetWindowTextA(g_status, text);
  char title[MAX_PATH + 64];
  snprintf(title, sizeof title, THEATER_TITLE " - %s",
           g_playback.path[0] ? FileName(g_playback.path) : "no file");
  SetWindowTextA(g_main, title);
  InvalidateRect(g_title, nullptr, FALSE);
}

void PaintTitle(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT all;
  GetClientRect(window, &all);
  HBRUSH back = CreateSolidBrush(RGB(16, 16, 24));
  FillRect(dc, &all, back);
  DeleteObject(back);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(220, 220, 200));
  const char* name = g_playback.path[0] ? FileName(g_playback.path) : "(no file)";
  TextOutA(dc, 8, 12, name, lstrlenA(name));
  const char* state = g_playback.playing ? "PLAY" : "STOP";
  TextOutA(dc, 240, 12, state, lstrlenA(state));
  // Drawn last so no text ever reaches the lamp's pixels.
  HBRUSH lamp = CreateSolidBrush(g_playback.playing ? RGB(0, 0, 255) : RGB(0, 0, 96));
  FillRect(dc, &kLamp, lamp);
  DeleteObject(lamp);
  EndPaint(window, &paint);
}

void PaintTrack(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT all;
  GetClientRect(window, &all);
  FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
  RECT groove = {3, all.bottom / 2 - 2, all.right - 3, all.bottom / 2 + 2};
  DrawEdge(dc, &groove, EDGE_SUNKEN, BF_RECT);
  EndPaint(window, &paint);
}

void PaintKnob(HWND window) {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window, &paint);
  RECT all;
  GetClientRect(window, &all);
  FillRect(dc, &all, GetSysColorBrush(COLOR_BTNFACE));
  DrawEdge(dc, &all, EDGE_RAISED, BF_RECT);
  EndPaint(window, &paint);
}

LRESULT CALLBACK PartProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return DefWindowProcA(window, message, wParam, lParam);
  if (window == g_title) PaintTitle(window);
  else if (window == g_knob) PaintKnob(window);
  else PaintTrack(window);
  return 0;
}

HWND AddChild(HWND parent, const char* cls, const char* text, DWORD style, int id, int x, int y,
              int w, int h) {
  return CreateWindowExA(0, cls, text, WS_CHILD | WS_VISIBLE | style, x, y, w, h, parent,
                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
                         nullptr);
}

void OnCreate(HWND window) {
  g_main = window;
  g_title = AddChild(window, "Title", "Title", 0, 0, kTitleArea.left, kTitleArea.top,
                     kTitleArea.right - kTitleArea.left, kTitleArea.bottom - kTitleArea.top);
  g_track = AddChild(window, "hscroll", "hscroll", WS_CLIPCHILDREN, 0, kTrackArea.left, kTrackArea.top,
                     kTrackArea.right - kTrackArea.left, kTrackArea.bottom - kTrackArea.top);
  g_knob = AddChild(g_track, "hknob", "hknob", 0, 0, 3, 0, kKnobWidth,
                    kTrackArea.bottom - kTrackArea.top);
  const struct { int id; const char* text; } buttons[] = {
      {ID_STOP, "Stop"}, {ID_PLAY, "Play"}, {ID_OPEN, "Open"}, {ID_EJECT, "Eject"}};
  int x = 8;
  for (const auto& b : buttons) {
    AddChild(window, "Button", b.text, BS_PUSHBUTTON, b.id, x, 82, 64, 24);
    x += 68;
  }
  g_status = AddChild(window, "Static", "", SS_LEFT, ID_STATUS, 8, 114, 414, 18);
  SetTimer(window, kTimer, kTickMs, nullptr);
  UpdateView();
}

void OnCommand(HWND window, int id) {
  ++g_playback.presses;
  switch (id) {
    case ID_STOP: SetPlaying(false); break;
    case ID_PLAY: ++g_playback.playPresses; SetPlaying(true); break;
    case ID_OPEN: ShowOpenDialog(window); break;
    case ID_EJECT: ShowWindow(GetDlgItem(window, ID_OPEN), SW_SHOW); break;
  }
  UpdateView();
}

void OnTimer() {
  if (AdvancePlayback()) UpdateView();
}

LRESULT CALLBACK MainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CREATE: OnCreate(window); return 0;
    case WM_COMMAND: OnCommand(window, LOWORD(wParam)); return 0;
    case WM_TIMER: OnTimer(); return 0;
    case WM_THEATER_SEEK: SeekTo(static_cast<uint64_t>(lParam)); UpdateView(); return 1;
    case WM_DESTROY: PostQuitMessage(0); return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

void RegisterClasses(HINSTANCE instance) {
  WNDCLASSA cls = {};
  cls.hInstance = instance;
  cls.hCursor = LoadCursor(nullptr, IDC_ARROW);
  cls.lpfnWndProc = PartProc;
  const char* const parts[] = {"Title", "hscroll", "hknob"};
  for (const char* name : parts) {
    cls.lpszClassName = name;
    RegisterClassA(&cls);
  }
  cls.lpfnWndProc = MainProc;
  cls.hbrBackground = GetSysColorBrush(COLOR_BTNFACE);
  cls.hIcon = LoadIcon(nullptr, IDI_APPLICATION);
  cls.lpszClassName = "TheaterMain";
  RegisterClassA(&cls);
}

const char* ParseCommandLine(bool* play) {
  const char* file = nullptr;
  for (int i = 1; i < __argc; ++i) {
    if (!strcmp(__argv[i], "--rate") && i + 1 < __argc) {
      g_playback.rate = static_cast<uint32_t>(strtoul(__argv[++i], nullptr, 10));
    } else if (!strcmp(__argv[i], "--play")) {
      *play = true;
    } else {
      file = __argv[i];
    }
  }
  return file;
}

}  // namespace

void OnMovieOpened(HWND main) {
  // The open button gives way once a file is loaded and eject brings it
  // back, so a test meets both ways to the open dialog.
  ShowWindow(GetDlgItem(main, ID_OPEN), SW_HIDE);
  UpdateView();
}

void SetOpenDialog(HWND dialog) { g_dialogOpen = dialog; }

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
  bool play = false;
  const char* file = ParseCommandLine(&play);
  RegisterClasses(instance);
  RECT frame = {0, 0, kClientWidth, kClientHeight};
  DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  AdjustWindowRect(&frame, style, FALSE);
  HWND main = CreateWindowExA(0, "TheaterMain", THEATER_TITLE " - no file", style, CW_USEDEFAULT,
                              CW_USEDEFAULT, frame.right - frame.left, frame.bottom - frame.top,
                              nullptr, nullptr, instance, nullptr);
  if (!main) return 1;
  if (file && OpenMovie(file)) {
    SetPlaying(play);
    OnMovieOpened(main);
  }
  ShowWindow(main, show);
  UpdateWindow(main);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    if (g_dialogOpen && IsDialogMessageA(g_dialogOpen, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
