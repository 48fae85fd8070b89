// The guard that keeps the copy behind the Player's playback position: the
// lap rule on one reading of the seek knob, and how far one reading lets the
// copy go before the knob must be read again.
//
// Pure functions; the Copy worker holds the reading.
#pragma once

#include <windows.h>

#include <cstdint>

// No point before the end of the file makes the copy wait.
const uint64_t kNoPacingLimit = UINT64_MAX;
// A reading older than this is taken again, so that a Player that was closed
// or whose knob jumped back is noticed while the copy runs freely.
const DWORD kKnobReadingMs = 50;
// Nor does one reading let the copy run further than this: a knob dragged
// back in front of a fast copy is seen within this many bytes.
const uint64_t kKnobReadingBytes = 1 << 20;

// The copy position in 1/10000 of the file length L, truncated.
int32_t CopyPosition(uint64_t outputOffset, uint64_t fileLength);
// True when the copy at `write` must wait behind the knob position (1/10000
// of the track), Stop percent before it, with the lap rule.
bool MustWaitAt(int32_t knob, int32_t write, uint32_t stopPercent);
bool MustWaitForPlayer(int32_t knob, uint64_t outputOffset, uint64_t fileLength, uint32_t stopPercent);
// The lowest output offset at or after outputOffset at which this reading
// makes the copy wait; kNoPacingLimit when there is none.
uint64_t PacingLimit(int32_t knob, uint64_t outputOffset, uint64_t fileLength, uint32_t stopPercent);

// The latest knob reading, turned into the limit it allows.
struct KnobReading {
  int taken;           // 0 until the first reading of a copy loop
  DWORD tick;          // when it was taken
  uint64_t from;       // the output offset then
  uint64_t limit;      // PacingLimit then, kNoPacingLimit without a knob
  uint32_t stopPercent;
};

// Whether the chunk about to be copied at outputOffset needs a fresh reading:
// none yet, too old or too far behind, another Stop, an offset moved back (a wrap), or a chunk
// that could reach the limit.
bool KnobReadingDue(const KnobReading& reading, DWORD now, uint64_t outputOffset, uint32_t stopPercent);
