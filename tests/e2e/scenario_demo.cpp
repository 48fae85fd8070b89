// ringfeed_demo FOLDER SHOTS: the typical use played through for a viewer
// without a display. Starts the stand-in Player and Ringfeed (already copied
// into FOLDER with its profile), presses Start, plays the ring in the Player,
// shows the preview of the position bar and the Input dialog, and has a
// screenshot taken of each step (see Shot).
#include <windows.h>

#include <cstdio>
#include <string>

#include "resources/resource.h"
#include "tests/e2e/driver.h"
#include "tests/player/theater_run.h"

using namespace e2e;

namespace {

const char kDialogTitle[] = "Ringfeed / ビデオファイル選択";
std::string g_shots;
int g_shot = 0;

// The screen is taken by the caller from the X display, as the user sees
// it: the step's name goes out on stdout, and the caller answers with the
// file SHOTS\NN-name.done once the picture is saved.
void Shot(const char* name) {
  Sleep(400);  // let the windows finish painting
  char base[64];
  snprintf(base, sizeof base, "%02d-%s", ++g_shot, name);
  std::printf("shot %s\n", base);
  std::fflush(stdout);
  std::string done = g_shots + "\\" + base + ".done";
  WaitUntil([&] { return GetFileAttributesA(done.c_str()) != INVALID_FILE_ATTRIBUTES; }, 15000);
}

void Click(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(GetDlgItem(dialog, id)));
}

// The output offset the progress bar shows, in percent of its width.
int BarPercent(HWND control) {
  RECT filled, empty;
  GetWindowRect(GetDlgItem(control, IDC_PROGRESS_FILLED), &filled);
  GetWindowRect(GetDlgItem(control, IDC_PROGRESS_EMPTY), &empty);
  int f = filled.right - filled.left, w = f + empty.right - empty.left;
  return w ? 100 * f / w : 0;
}

int Fail(const char* what) {
  std::fprintf(stderr, "demo: %s\n", what);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Fail("usage: ringfeed_demo FOLDER SHOTS");
  g_shots = argv[2];
  player_test::TheaterRun theater;
  if (!theater.Start("--rate 4000000")) return Fail("the stand-in Player did not start");
  SetWindowPos(theater.Window(), HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
  RingfeedRun run(argv[1]);
  if (!run.Start()) return Fail("Ringfeed did not start");
  HWND control = run.WaitForControlWindow();
  if (!control) return Fail("no Control window");
  Shot("ready");

  // Start: the first copy makes the ring file, then copies into it.
  Click(control, IDC_START);
  if (WaitUntil([&] { return WindowText(control).find("%") != std::string::npos; }, 20000)) Shot("making-the-ring");
  if (!WaitUntil([&] { return IsWindowEnabled(GetDlgItem(control, IDC_PLAY)) && BarPercent(control) >= 3; }, 120000))
    return Fail("the copy did not begin");
  Shot("copying");

  // VT+で再生: the Player opens $Ringfeed.mpg and plays; the overlay lies on its track.
  Click(control, IDC_PLAY);
  player_test::TheaterState state;
  if (!WaitUntil([&] { return player_test::ReadState(theater.Window(), &state) && state.playing; }, 30000))
    return Fail("the Player did not play");
  Sleep(2000);
  Shot("playing");
  Sleep(4000);
  Shot("playing-on");

  // The recording's end: FileEnd, then the stop after 5 s.
  if (!WaitUntil([&] { return ControlText(control, IDC_START) == "続行(&S)"; }, 120000))
    return Fail("the copy did not stop at the end");
  Shot("stopped-at-the-end");

  // Moving the copy position bar while stopped previews the frame there.
  HWND bar = GetDlgItem(control, IDC_POSITION_BAR);
  SendMessageA(control, WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 400), LPARAM(bar));
  Sleep(1500);
  Shot("position-preview");
  SendMessageA(control, WM_HSCROLL, MAKEWPARAM(SB_ENDSCROLL, 0), LPARAM(bar));
  SendMessageA(control, WM_MOUSEMOVE, 0, 0);

  // The Input dialog with the recording previewed.
  Click(control, IDC_BROWSE);
  HWND frame = nullptr;
  if (WaitUntil([&] { return (frame = FindProcessWindow(run.ProcessId(), kDialogTitle)) && IsWindowVisible(frame); })) {
    SendMessageA(FindById(frame, 1152), WM_SETTEXT, 0, LPARAM("Show.m2p"));
    HWND child = GetParent(FindById(frame, IDC_IN_VIDEO));
    if (!WaitUntil([&] { return child && !ControlText(child, IDC_IN_AUDIO).empty(); }, 30000))
      std::fprintf(stderr, "demo: the Input dialog shows no preview\n");
    if (child) SendMessageA(child, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, 300), LPARAM(GetDlgItem(child, IDC_IN_BAR)));
    Sleep(1000);
    Shot("input-dialog");
    PostMessageA(frame, WM_COMMAND, IDCANCEL, 0);
    WaitUntil([&] { return !IsWindow(frame); });
  }

  PostMessageA(control, WM_CLOSE, 0, 0);
  run.WaitForExit();
  return 0;
}
