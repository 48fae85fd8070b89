// The guard behind the Player's knob.
#include "copy/pacing.h"

#include "copy/ring_file.h"

int32_t CopyPosition(uint64_t outputOffset, uint64_t fileLength) {
  return int32_t(outputOffset * 10000 / fileLength);
}

bool MustWaitAt(int32_t knob, int32_t write, uint32_t stopPercent) {
  int32_t pos = knob;
  int32_t stop = int32_t(stopPercent * 100);
  if (pos - stop + 10000 < write) pos += 10000;  // the Player is a lap ahead
  return pos > 0 && write < pos && write + stop >= pos;
}

bool MustWaitForPlayer(int32_t knob, uint64_t outputOffset, uint64_t fileLength, uint32_t stopPercent) {
  if (fileLength == 0) return false;
  return MustWaitAt(knob, CopyPosition(outputOffset, fileLength), stopPercent);
}

uint64_t PacingLimit(int32_t knob, uint64_t outputOffset, uint64_t fileLength, uint32_t stopPercent) {
  if (fileLength == 0) return kNoPacingLimit;
  // The rule sees the copy in steps of 1/10000 of L: the first step in which
  // it waits starts at the first offset whose position is that step. At most
  // 10,001 steps, and only once per reading.
  int32_t last = CopyPosition(fileLength, fileLength);
  for (int32_t write = CopyPosition(outputOffset, fileLength); write <= last; ++write) {
    if (!MustWaitAt(knob, write, stopPercent)) continue;
    uint64_t start = (uint64_t(write) * fileLength + 9999) / 10000;
    return start > outputOffset ? start : outputOffset;
  }
  return kNoPacingLimit;
}

bool KnobReadingDue(const KnobReading& reading, DWORD now, uint64_t outputOffset, uint32_t stopPercent) {
  if (!reading.taken || reading.stopPercent != stopPercent) return true;
  if (now - reading.tick >= kKnobReadingMs || outputOffset < reading.from) return true;
  if (outputOffset - reading.from >= kKnobReadingBytes) return true;
  return reading.limit != kNoPacingLimit && outputOffset + kChunkSize > reading.limit;
}
