// The stand-in Player: a small window with the controls Ringfeed works (seek
// track and knob, stop/play/open/eject buttons, a title display whose lamp
// pixel is pure blue while playing) and its own open-file dialog.
#pragma once

#include <windows.h>

#include <cstdint>

// Control IDs and classes Ringfeed relies on.
enum {
  ID_STOP = 11,
  ID_PLAY = 18,
  ID_OPEN = 22,
  ID_EJECT = 26,
  ID_STATUS = 100,  // "position/size state plays=N presses=M": the exact state, for tests
};

// Private messages a test may send to the main window.
const UINT WM_THEATER_SEEK = WM_APP + 1;  // lParam: byte position (clamped to the size)

#define THEATER_TITLE "Lumoria Media Theater"
#define OPEN_DIALOG_TITLE "Lumoria Media Theater Open Video File"

// Playback: reading the open file at `rate` bytes per second, from the start
// again at its end.
struct Playback {
  char path[MAX_PATH];
  HANDLE file;
  uint64_t size;
  uint64_t position;
  uint32_t rate;
  bool playing;
  int playPresses;  // of the play button
  int presses;      // of any button
  DWORD lastTick;
};

extern Playback g_playback;

bool OpenMovie(const char* path);
void SetPlaying(bool playing);
void SeekTo(uint64_t position);
// Reads what the time since the last call is worth; true when the position moved.
bool AdvancePlayback();

// Shows the open-file dialog (modeless, one at a time); OK opens the named file
// in the main window.
void ShowOpenDialog(HWND main);
// Called by the dialog once a file was opened.
void OnMovieOpened(HWND main);
// The dialog while it is shown (null after), for the main loop's keyboard handling.
void SetOpenDialog(HWND dialog);
