#include "copy/preview_link.h"

#include "app/shared_state.h"

uint32_t AudioBitRateAfterOpen(const StreamInfo& info, uint32_t earlier) {
  return info.audio_found ? info.audio_bit_rate : earlier;
}

int OpenPreviewSession(const char* path, FileHandle* file, BitmapHeader* header, StreamInfo* info) {
  StreamInfo own = {};
  StreamInfo* record = info ? info : &own;
  if (!preview_open(path, file, header, record)) return 0;
  if (path && path[0]) g_audioBitRate = AudioBitRateAfterOpen(*record, g_audioBitRate.load());
  return 1;
}
