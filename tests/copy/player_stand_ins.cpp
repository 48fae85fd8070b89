// Stand-ins for the Player finders the Copy worker calls: a Player that is
// whatever g_standInPlayer says.
#include "player/player_windows.h"
#include "tests/copy/player_stand_ins.h"

StandInPlayer g_standInPlayer = {false, false, 0, 0, nullptr};

HWND g_currentPlayerWindow = nullptr;
HWND g_previousPlayerWindow = nullptr;

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

HWND FindDescendant(HWND parent, const char*, const char*, int, int) {
  g_standInPlayer.searchedBelow = parent;
  return nullptr;
}
