// Playback position: the open file read at a fixed byte rate, in a loop.
#include <cstring>

#include "tools/player/theater.h"

Playback g_playback = {"", INVALID_HANDLE_VALUE, 0, 0, 1250000, false, 0, 0, 0};

namespace {

// At most this much is read per step, however long the last step took.
const uint64_t kMaxStep = 1 << 20;

uint64_t CurrentSize(HANDLE file) {
  LARGE_INTEGER size;
  return GetFileSizeEx(file, &size) ? static_cast<uint64_t>(size.QuadPart) : 0;
}

// Reads `count` bytes at the position; the number read (0 at the end).
uint64_t ReadAt(uint64_t position, uint64_t count) {
  static char buffer[64 * 1024];
  LARGE_INTEGER at;
  at.QuadPart = static_cast<LONGLONG>(position);
  if (!SetFilePointerEx(g_playback.file, at, nullptr, FILE_BEGIN)) return 0;
  uint64_t done = 0;
  while (done < count) {
    DWORD want = static_cast<DWORD>(count - done < sizeof buffer ? count - done : sizeof buffer);
    DWORD got = 0;
    if (!ReadFile(g_playback.file, buffer, want, &got, nullptr) || got == 0) break;
    done += got;
  }
  return done;
}

}  // namespace

bool OpenMovie(const char* path) {
  // Share writing: the file played may be the ring file Ringfeed is filling.
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  if (g_playback.file != INVALID_HANDLE_VALUE) CloseHandle(g_playback.file);
  g_playback.file = file;
  lstrcpynA(g_playback.path, path, MAX_PATH);
  g_playback.size = CurrentSize(file);
  g_playback.position = 0;
  g_playback.lastTick = GetTickCount();
  return true;
}

void SetPlaying(bool playing) {
  g_playback.playing = playing && g_playback.file != INVALID_HANDLE_VALUE;
  g_playback.lastTick = GetTickCount();
}

void SeekTo(uint64_t position) {
  g_playback.position = position < g_playback.size ? position : g_playback.size;
}

bool AdvancePlayback() {
  DWORD now = GetTickCount();
  uint64_t due = static_cast<uint64_t>(now - g_playback.lastTick) * g_playback.rate / 1000;
  if (!g_playback.playing || due == 0) return false;
  g_playback.lastTick = now;
  if (due > kMaxStep) due = kMaxStep;
  g_playback.size = CurrentSize(g_playback.file);
  uint64_t got = ReadAt(g_playback.position, due);
  // Nothing more to read: start over from the beginning.
  g_playback.position = got ? g_playback.position + got : 0;
  return true;
}
