// The seek knob's place on the Player's track, in 1/10000 of the track.
#pragma once

#include <cstdint>

// The track keeps 3 px of margin on each side, so the knob's left edge runs
// from track.left + 3 to track.right - 3. False for a track of 6 px or less,
// which leaves nothing to divide by.
bool KnobPosition(int32_t trackLeft, int32_t trackRight, int32_t knobLeft, int32_t* k);
