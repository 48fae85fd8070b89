#include "player/seek_knob.h"

bool KnobPosition(int32_t trackLeft, int32_t trackRight, int32_t knobLeft, int32_t* k) {
  // 64-bit so that absurd rectangles cannot overflow; for any real screen the
  // result is the 32-bit one, truncated toward zero as C++ division is.
  int64_t span = static_cast<int64_t>(trackRight) - trackLeft - 6;
  if (span <= 0) return false;
  int64_t value = (static_cast<int64_t>(knobLeft) - trackLeft - 3) * 10000 / span;
  if (value > INT32_MAX) value = INT32_MAX;
  if (value < INT32_MIN) value = INT32_MIN;
  *k = static_cast<int32_t>(value);
  return true;
}
