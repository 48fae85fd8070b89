// Stand-ins for the progress displays and the Player finders that the Copy
// worker calls, so that the engine runs in-process without those windows.
#pragma once

#include <cstdint>

// The Player as the stand-in reports it: present or not, and its knob.
struct StandInPlayer {
  bool present;
  bool knobFound;
  int32_t knob;
  int knobReads;
};
extern StandInPlayer g_standInPlayer;
