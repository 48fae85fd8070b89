// The Output ring file "$Ringfeed.mpg": its layout arithmetic, and the file
// operations the Copy worker runs on it (check, resize, open, initialise,
// wrap, kept head, tail clear, close).
//
// Threading: everything here runs on the Copy worker's thread; the Control
// window only reads g_ringFileLength, g_ringEnd and g_outputOffset to draw.
#pragma once

#include <windows.h>

#include <cstdint>

const uint32_t kChunkSize = 32768;           // the worker's transfer block
const uint64_t kTailReserve = 524288;        // zero tail zone plus one byte
const uint64_t kWrapCopySize = 2097152;      // mirrored at every wrap
const uint32_t kHeadSize = 4096;             // kept head
const int kMessageSize = 512;                // longest message with a 260-byte path fits

// ---- Layout arithmetic (pure) ----

// L = 2^n - 1.
uint64_t RingFileLengthFor(uint32_t n);
// E = 2^n - 524,288.
uint64_t RingEndFor(uint32_t n);
// S: 4,096 with the kept head, else 0.
uint64_t RingStartFor(int head);
// 28..31 when size is 2^N - 1 for one of them, -1 for a missing file
// (size -1), 32 for any other size.
int SizeExponentOfLength(int64_t size);
// Where the wrap copy reads from. An offset past E (a stale restored offset)
// is taken as E, so the mirror never copies the zero tail.
uint64_t WrapSource(uint64_t outputOffset, uint64_t ringEnd);
// The mirror distance recorded by a wrap (source - destination, 32-bit).
uint32_t MirrorDistance(uint64_t source, uint64_t ringStart);
// The kept head is written before a chunk only at the very start of the ring
// of a copy that did not begin at the input's start.
bool KeptHeadDue(int head, uint64_t inputOffset, uint64_t outputOffset);
// Bytes of the next chunk: never past the input's end, never across E, at
// most one block. 0 when nothing may be copied.
uint32_t ChunkLength(uint64_t inputSize, uint64_t inputOffset, uint64_t outputOffset,
                     uint64_t ringEnd);
// The initialisation caption's percentage, (L - remaining) * 100 / L.
long InitialisePercent(uint64_t length, uint64_t remaining);
// L in decimal with commas and "\nbytes": what control 1061 shows.
void FormatRingLength(uint64_t length, char* text, int size);

// ---- File state (worker thread) ----

struct RingFileState {
  char path[MAX_PATH];     // the output path as last formatted, for messages
  int initialisePending;   // file must be created anew before copying
  int tailClearPending;    // zero the tail zone next time writing reaches E
  uint32_t mirrorDistance; // of the latest wrap; read by the audio delay correction
};
extern RingFileState g_ring;

// The request poll handed to Initialise: non-zero tells it to stop.
typedef int (*RequestPoll)(int mayAct);

enum InitialiseResult { INIT_FAILED = 0, INIT_DONE = 1, INIT_INTERRUPTED = 2 };

// "%s\$Ringfeed.mpg" for the Drive setting.
void FormatOutputPath(char* path);
// 64-bit size of a file opened read-only, or -1 when it cannot be opened.
int64_t ProbeFileSize(const char* path);

// CMD_OPEN_OUTPUT / CMD_DRIVE and CMD_SIZE, run from the may-act poll.
void CheckOutputFile();
void ResizeOutputFile();

// Each returns 1 on success; on failure 0 with the message in message
// (kMessageSize bytes), the path of the file concerned in it.
int OpenOutputFile(char* message);
int InitialiseOutputFile(RequestPoll poll, uint8_t* block, char* message);  // InitialiseResult
int WrapOutput(uint8_t* block, char* message);
int WriteKeptHead(HANDLE input, const char* inputPath, uint8_t* block, char* message);
int ClearTail(uint8_t* block, char* message);
int CloseOutputFile(char* message);

// Seeks a handle to a 64-bit offset; returns the new position or -1.
int64_t SeekFile(HANDLE file, int64_t distance, DWORD method);
// Whole transfers only: a short read or write is a failure.
bool ReadWhole(HANDLE file, void* buffer, uint32_t count);
bool WriteWhole(HANDLE file, const void* buffer, uint32_t count);
// Formats a failure message with its path, never past the buffer.
void FormatFileMessage(char* message, const char* format, const char* path);
