// The Output ring file: layout arithmetic and file operations.
#include "copy/ring_file.h"

#include <cstdio>
#include <cstring>

#include "app/app.h"
#include "app/settings_table.h"
#include "app/shared_state.h"
#include "control/progress.h"
#include "copy/worker.h"
#include "resources/resource.h"

RingFileState g_ring = {{0}, 0, 1, 0};

// ---- Layout arithmetic ----

uint64_t RingFileLengthFor(uint32_t n) { return (uint64_t(1) << n) - 1; }

uint64_t RingEndFor(uint32_t n) { return (uint64_t(1) << n) - kTailReserve; }

uint64_t RingStartFor(int head) { return head ? kHeadSize : 0; }

int SizeExponentOfLength(int64_t size) {
  if (size < 0) return -1;
  for (int n = 28; n <= 31; ++n)
    if (uint64_t(size) == RingFileLengthFor(n)) return n;
  return 32;
}

uint64_t WrapSource(uint64_t outputOffset, uint64_t ringEnd) {
  uint64_t end = outputOffset < ringEnd ? outputOffset : ringEnd;
  return end - kWrapCopySize;
}

uint32_t MirrorDistance(uint64_t source, uint64_t ringStart) {
  return uint32_t(source - ringStart);
}

bool KeptHeadDue(int head, uint64_t inputOffset, uint64_t outputOffset) {
  return head && inputOffset > 0 && outputOffset == 0;
}

uint32_t ChunkLength(uint64_t inputSize, uint64_t inputOffset, uint64_t outputOffset,
                     uint64_t ringEnd) {
  if (inputSize <= inputOffset || outputOffset >= ringEnd) return 0;
  uint64_t avail = inputSize - inputOffset;
  if (avail >= ringEnd - outputOffset) avail = ringEnd - outputOffset;
  return avail < kChunkSize ? uint32_t(avail) : kChunkSize;
}

long InitialisePercent(uint64_t length, uint64_t remaining) {
  if (length == 0) return 100;
  return long((length - remaining) * 100 / length);
}

void FormatRingLength(uint64_t length, char* text, int size) {
  char digits[24];
  snprintf(digits, sizeof digits, "%llu", static_cast<unsigned long long>(length));
  char grouped[40];
  int count = int(strlen(digits)), at = 0;
  for (int i = 0; i < count; ++i) {
    if (i > 0 && (count - i) % 3 == 0) grouped[at++] = ',';
    grouped[at++] = digits[i];
  }
  grouped[at] = 0;
  snprintf(text, size, "%s\nbytes", grouped);
}

// ---- File helpers ----

int64_t SeekFile(HANDLE file, int64_t distance, DWORD method) {
  LONG high = LONG(distance >> 32);
  DWORD low = SetFilePointer(file, LONG(uint32_t(distance)), &high, method);
  // -1 in the low half is a valid position unless the call failed.
  if (low == INVALID_SET_FILE_POINTER && GetLastError() != NO_ERROR) return -1;
  return (int64_t(high) << 32) | low;
}

bool ReadWhole(HANDLE file, void* buffer, uint32_t count) {
  DWORD done = 0;
  return ReadFile(file, buffer, count, &done, nullptr) && done == count;
}

bool WriteWhole(HANDLE file, const void* buffer, uint32_t count) {
  DWORD done = 0;
  return WriteFile(file, buffer, count, &done, nullptr) && done == count;
}

void FormatFileMessage(char* message, const char* format, const char* path) {
  snprintf(message, kMessageSize, format, path);
}

int64_t ProbeFileSize(const char* path) {
  HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return -1;
  DWORD high = 0;
  DWORD low = GetFileSize(file, &high);
  int64_t size = -1;
  if (low != INVALID_FILE_SIZE || GetLastError() == NO_ERROR) size = (int64_t(high) << 32) | low;
  CloseHandle(file);
  return size;
}

void FormatOutputPath(char* path) {
  snprintf(path, MAX_PATH, "%s\\$Ringfeed.mpg", g_settings.Drive);
}

namespace {

const char kOpenFailed[] = "出力ファイル%sをオープンできません!";
const char kSeekFailed[] = "出力ファイル%sをシークできません!";
const char kWriteFailed[] = "出力ファイル%sに書き込めません!";
const char kReadFailed[] = "出力ファイル%sを読み出せません!";
const char kCloseFailed[] = "出力ファイル%sのクローズでエラーが発生しました!";
const char kCloseAfterInitFailed[] = "出力ファイル%sを閉じれません!";
const char kInputSeekFailed[] = "入力ファイル%sをシークできません!";
const char kInputReadFailed[] = "入力ファイル%sを読み出せません!";

void EnablePlayButton(BOOL enable) { EnableWindow(GetDlgItem(g_controlWindow, IDC_PLAY), enable); }

HANDLE OpenOutput(DWORD disposition) {
  return CreateFileA(g_ring.path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                     nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

void CloseOutputQuietly() {
  if (g_outputFile != INVALID_HANDLE_VALUE) CloseHandle(g_outputFile);
  g_outputFile = INVALID_HANDLE_VALUE;
}

int Fail(char* message, const char* format, const char* path) {
  FormatFileMessage(message, format, path);
  return 0;
}

bool SeekOutput(uint64_t offset) { return SeekFile(g_outputFile, int64_t(offset), FILE_BEGIN) == int64_t(offset); }

void ShowInitialiseCaption(uint64_t length, uint64_t remaining) {
  char caption[64];
  snprintf(caption, sizeof caption, "Ringfeed 出力ファイル初期化中(%3ld%%)",
           InitialisePercent(length, remaining));
  SetWindowTextA(g_controlWindow, caption);
}

// Step 1 of Initialise: where the zero fill starts, with the handle placed there.
int PrepareFill(uint64_t* start, char* message) {
  uint64_t length = g_ringFileLength.load();
  if (!g_settings.Clear) {
    int64_t end = SeekFile(g_outputFile, 0, FILE_END);
    if (end < 0) return Fail(message, kSeekFailed, g_ring.path);
    *start = uint64_t(end);
    return 1;
  }
  // One byte at L - 1 gives the file its length without writing the rest.
  const uint8_t one = 0;
  if (!SeekOutput(length - 1)) return Fail(message, kSeekFailed, g_ring.path);
  if (!WriteWhole(g_outputFile, &one, 1)) return Fail(message, kWriteFailed, g_ring.path);
  BOOL closed = CloseHandle(g_outputFile);
  g_outputFile = INVALID_HANDLE_VALUE;
  if (!closed) return Fail(message, kCloseFailed, g_ring.path);
  Sleep(500);
  g_outputFile = OpenOutput(OPEN_EXISTING);
  if (g_outputFile == INVALID_HANDLE_VALUE) return Fail(message, kOpenFailed, g_ring.path);
  uint64_t end = g_ringEnd.load();
  if (!SeekOutput(end)) return Fail(message, kSeekFailed, g_ring.path);
  *start = end;
  return 1;
}

}  // namespace

// ---- Commands of the may-act poll ----

void CheckOutputFile() {
  uint32_t pending = g_pendingCommands.load();
  CloseOutputQuietly();
  FormatOutputPath(g_ring.path);
  int x = SizeExponentOfLength(ProbeFileSize(g_ring.path));
  if (uint32_t(x) == g_settings.Size) {
    EnablePlayButton(TRUE);
  } else {
    if (x >= 28 && x <= 31) g_settings.Size = uint32_t(x);
    g_outputOffset = 0;
    RaiseCommands(CMD_SIZE);
    // A missing or odd-sized file keeps the selector on the unchanged setting.
    SendDlgItemMessageA(g_controlWindow, IDC_SIZE_COMBO, CB_SETCURSEL, WPARAM(g_settings.Size - 28), 0);
  }
  g_ring.tailClearPending = 1;
  if (pending & CMD_DRIVE) g_outputOffset = 0;
  UpdateProgressBar(g_outputOffset.load());
  ClearCommands(CMD_OPEN_OUTPUT | CMD_DRIVE);
}

void ResizeOutputFile() {
  CloseOutputQuietly();
  ClearCommands(CMD_SIZE);
  uint32_t n = g_settings.Size;
  g_ringFileLength = RingFileLengthFor(n);
  g_ringEnd = RingEndFor(n);
  char text[40];
  FormatRingLength(g_ringFileLength.load(), text, sizeof text);
  SendDlgItemMessageA(g_controlWindow, IDC_OUTPUT_SIZE, WM_SETTEXT, 0, LPARAM(text));
  FormatOutputPath(g_ring.path);
  if (ProbeFileSize(g_ring.path) == int64_t(g_ringFileLength.load())) {
    EnablePlayButton(TRUE);
  } else {
    g_outputOffset = 0;
    g_ring.initialisePending = 1;
    EnablePlayButton(FALSE);
  }
  g_ring.tailClearPending = 1;
  UpdateProgressBar(g_outputOffset.load());
}

// ---- Copy-cycle operations ----

int OpenOutputFile(char* message) {
  FormatOutputPath(g_ring.path);
  bool exists = GetFileAttributesA(g_ring.path) != INVALID_FILE_ATTRIBUTES;
  // A file that vanished since it was checked must be built again at full
  // length, or the Player would be handed a short file.
  if (!exists) g_ring.initialisePending = 1;
  if (exists && !g_ring.initialisePending) {
    g_outputFile = OpenOutput(OPEN_EXISTING);
  } else {
    EnablePlayButton(FALSE);
    g_outputFile = OpenOutput(CREATE_ALWAYS);
    g_ring.tailClearPending = 1;
  }
  if (g_outputFile == INVALID_HANDLE_VALUE) return Fail(message, kOpenFailed, g_ring.path);
  return 1;
}

int InitialiseOutputFile(RequestPoll poll, uint8_t* block, char* message) {
  uint64_t length = g_ringFileLength.load();
  uint64_t start = 0;
  if (!PrepareFill(&start, message)) return INIT_FAILED;
  memset(block, 0, kChunkSize);
  uint64_t remaining = start < length ? length - start : 0;
  // NT extends a file with zeros by itself; only other systems need the fill.
  bool sparse = g_settings.Clear && g_osVersion.dwPlatformId == VER_PLATFORM_WIN32_NT;
  if (sparse) remaining = 0;
  while (remaining > 0) {
    uint32_t count = remaining < kChunkSize ? uint32_t(remaining) : kChunkSize;
    if (!WriteWhole(g_outputFile, block, count)) {
      SetWindowTextA(g_controlWindow, PROGRAM_TITLE);
      return Fail(message, kWriteFailed, g_ring.path);
    }
    if (poll(0) || g_stopped.load()) break;
    remaining -= count;
    ShowInitialiseCaption(length, remaining);
    Sleep(1);
  }
  SetWindowTextA(g_controlWindow, PROGRAM_TITLE);
  if (remaining > 0) return INIT_INTERRUPTED;

  g_ring.initialisePending = 0;
  if (SeekFile(g_outputFile, 0, FILE_BEGIN) != 0) return Fail(message, kSeekFailed, g_ring.path);
  BOOL closed = CloseHandle(g_outputFile);
  g_outputFile = INVALID_HANDLE_VALUE;
  g_outputOffset = 0;
  if (!closed) return Fail(message, kCloseAfterInitFailed, g_ring.path);
  g_outputFile = OpenOutput(OPEN_EXISTING);
  if (g_outputFile == INVALID_HANDLE_VALUE) return Fail(message, kOpenFailed, g_ring.path);
  return INIT_DONE;
}

int WrapOutput(uint8_t* block, char* message) {
  uint64_t source = WrapSource(g_outputOffset.load(), g_ringEnd.load());
  uint64_t destination = RingStartFor(g_settings.Head);
  g_ring.mirrorDistance = MirrorDistance(source, destination);
  for (uint64_t done = 0; done < kWrapCopySize; done += kChunkSize) {
    if (!SeekOutput(source + done)) return Fail(message, kSeekFailed, g_ring.path);
    if (!ReadWhole(g_outputFile, block, kChunkSize)) return Fail(message, kReadFailed, g_ring.path);
    if (!SeekOutput(destination + done)) return Fail(message, kSeekFailed, g_ring.path);
    if (!WriteWhole(g_outputFile, block, kChunkSize)) return Fail(message, kWriteFailed, g_ring.path);
  }
  g_outputOffset = destination + kWrapCopySize;
  return 1;
}

int WriteKeptHead(HANDLE input, const char* inputPath, uint8_t* block, char* message) {
  if (SeekFile(input, 0, FILE_BEGIN) != 0) return Fail(message, kInputSeekFailed, inputPath);
  if (!ReadWhole(input, block, kHeadSize)) return Fail(message, kInputReadFailed, inputPath);
  if (!SeekOutput(0)) return Fail(message, kSeekFailed, g_ring.path);
  if (!WriteWhole(g_outputFile, block, kHeadSize)) return Fail(message, kWriteFailed, g_ring.path);
  g_outputOffset = kHeadSize;
  return 1;
}

int ClearTail(uint8_t* block, char* message) {
  uint64_t offset = g_outputOffset.load();
  uint64_t length = g_ringFileLength.load();
  if (!g_ring.tailClearPending || offset >= length) return 1;
  memset(block, 0, kChunkSize);
  message[0] = 0;
  uint64_t at = offset;
  if (!SeekOutput(offset)) return Fail(message, kSeekFailed, g_ring.path);
  while (at < length) {
    uint32_t count = length - at < kChunkSize ? uint32_t(length - at) : kChunkSize;
    if (!WriteWhole(g_outputFile, block, count)) {
      Fail(message, kWriteFailed, g_ring.path);
      break;
    }
    at += count;
  }
  if (at == length) g_ring.tailClearPending = 0;
  if (!SeekOutput(offset) && message[0] == 0) Fail(message, kSeekFailed, g_ring.path);
  return message[0] == 0;
}

int CloseOutputFile(char* message) {
  if (g_outputFile == INVALID_HANDLE_VALUE) return 1;
  BOOL closed = CloseHandle(g_outputFile);
  g_outputFile = INVALID_HANDLE_VALUE;
  if (!closed) return Fail(message, kCloseFailed, g_ring.path);
  return 1;
}
