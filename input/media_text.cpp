#include "input/media_text.h"

#include <cstdio>

void FormatVideoText(const StreamInfo& info, char* out, size_t size) {
  double fps = info.frame_rate_denominator ? double(info.frame_rate_numerator) / info.frame_rate_denominator : 0.0;
  snprintf(out, size, "%5.2lfMbps %5.2lffps\n%lu x %lu pixel", info.video_bit_rate * 1e-6, fps,
           static_cast<unsigned long>(info.width), static_cast<unsigned long>(info.height));
}

void FormatAudioText(const StreamInfo& info, char* out, size_t size) {
  if (size == 0) return;
  out[0] = '\0';
  if (!info.audio_found) return;
  snprintf(out, size, "Layer%lu %s\n%luKbps %4.1lfKHz", static_cast<unsigned long>(info.audio_layer),
           info.audio_mode ? info.audio_mode : "", static_cast<unsigned long>(info.audio_bit_rate),
           info.audio_sampling_frequency * 0.001);
}

int32_t StepAudioDelay(int32_t delay, int delta) {
  if (delta < 0) return delay <= -99 ? delay : delay - 1;
  return delay >= 99 ? delay : delay + 1;
}

void FormatDelayValue(int32_t delay, char* out, size_t size) {
  snprintf(out, size, "%3.1lf", (delay < 0 ? -delay : delay) * 0.1);
}

const char* DelayUnitText(int32_t delay) {
  if (delay < 0) return "秒進める";
  return delay == 0 ? "秒" : "秒遅らせる";
}

void FormatPercent(int32_t position, char* out, size_t size) { snprintf(out, size, "%2.1lf%%", position * 0.1); }
