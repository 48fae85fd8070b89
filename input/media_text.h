// Texts of the Input dialog that come from numbers: the stream parameters,
// the audio delay and the position percentage. Portable.
#pragma once

#include <cstddef>
#include <cstdint>

#include "mpeg/session.h"

// "%5.2lfMbps %5.2lffps\n%lu x %lu pixel" from the video values.
void FormatVideoText(const StreamInfo& info, char* out, size_t size);
// "Layer%lu %s\n%luKbps %4.1lfKHz" from the audio values; empty without audio.
void FormatAudioText(const StreamInfo& info, char* out, size_t size);

// Audio delay in tenths of a second, one up-down step on: a negative delta
// lowers it, any other raises it, never beyond -99..99.
int32_t StepAudioDelay(int32_t delay, int delta);
// |delay| seconds, "%3.1lf".
void FormatDelayValue(int32_t delay, char* out, size_t size);
// The unit after the value: advance, none or delay.
const char* DelayUnitText(int32_t delay);

// Bar position 0..1000 as "%2.1lf%%".
void FormatPercent(int32_t position, char* out, size_t size);
