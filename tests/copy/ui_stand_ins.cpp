// Stand-ins for the display routines and Player finders the Copy worker calls:
// no display, and a Player that is whatever g_standInPlayer says.
#include "tests/copy/ui_stand_ins.h"

#include "control/progress.h"
#include "player/player_windows.h"

StandInPlayer g_standInPlayer = {false, false, 0, 0};

std::atomic<int> g_barState{BAR_STOPPED};
HWND g_currentPlayerWindow = nullptr;
HWND g_previousPlayerWindow = nullptr;

void UpdateProgressText() {}
void UpdateProgressBar(uint64_t) {}
void UpdateOverlay() {}

// A window that exists in every process stands for the Player's main window.
HWND FindPlayerWindow() { return g_standInPlayer.present ? GetDesktopWindow() : nullptr; }

bool ReadSeekKnob(int32_t* k) {
  ++g_standInPlayer.knobReads;
  if (!g_standInPlayer.knobFound) return false;
  *k = g_standInPlayer.knob;
  return true;
}

void TrackPlayer() {
  g_previousPlayerWindow = g_currentPlayerWindow;
  g_currentPlayerWindow = FindPlayerWindow();
}

HWND FindDescendant(HWND, const char*, const char*, int, int) { return nullptr; }
