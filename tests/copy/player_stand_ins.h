// The stand-in Player finders (player_stand_ins.cpp) that let the Copy
// worker run in-process without a Player.
#pragma once

#include <windows.h>

#include <cstdint>

// The Player as the stand-in reports it: present or not, and its knob.
struct StandInPlayer {
  bool present;
  bool knobFound;
  int32_t knob;
  int knobReads;
  HWND searchedBelow;  // the parent of the latest FindDescendant
};
extern StandInPlayer g_standInPlayer;
