// State the user-interface thread shares with the Copy worker.
//
// Threading: the user-interface thread only sets command bits (fetch_or); the
// Copy worker only clears them (fetch_and) after carrying a command out, so no
// command is lost. The other values have one writer each; they are atomics so
// that the reader never sees a torn 64-bit value on a 32-bit processor.
#pragma once

#include <atomic>
#include <cstdint>

enum : uint32_t {
  CMD_NEW_INPUT = 0x0001,
  CMD_PRIORITY = 0x0002,
  CMD_OPEN_OUTPUT = 0x0004,
  CMD_DRIVE = 0x0008,
  CMD_SIZE = 0x0010,
  CMD_STOP = 0x0020,
  CMD_START = 0x0040,
  CMD_START_AFTER_INPUT = 0x0080,
  CMD_QUIT = 0x1000,
};

extern std::atomic<uint32_t> g_pendingCommands;

inline void RaiseCommands(uint32_t bits) { g_pendingCommands.fetch_or(bits); }
inline void ClearCommands(uint32_t bits) { g_pendingCommands.fetch_and(~bits); }
// Clears `bits` at once; those of them that were set.
inline uint32_t TakeCommands(uint32_t bits) { return g_pendingCommands.fetch_and(~bits) & bits; }
inline bool CommandPending(uint32_t bits) { return (g_pendingCommands.load() & bits) != 0; }

// 1 while copying is stopped; written only by the Copy worker.
extern std::atomic<uint32_t> g_stopped;

// Copy positions: unsigned 64-bit byte offsets.
extern std::atomic<uint64_t> g_inputSize;
extern std::atomic<uint64_t> g_inputOffset;
extern std::atomic<uint64_t> g_outputOffset;

// Output ring file: length L = 2^N - 1 (0 until known) and ring end
// E = 2^N - 524,288; written by the Copy worker, read by the displays.
extern std::atomic<uint64_t> g_ringFileLength;
extern std::atomic<uint64_t> g_ringEnd;

// Choices for the next input: set by the Input dialog while the copy is
// stopped, read by the Copy worker when it takes the input over; the worker
// itself changes the two options and the Start position for split pieces.
extern std::atomic<int32_t> g_startPermille;     // 0..1000 of the input's size
extern std::atomic<int32_t> g_writeFromHead;     // 1: output offset back to 0
extern std::atomic<int32_t> g_keepPreviousTail;  // 1: output offset kept (acts once)
extern std::atomic<int32_t> g_audioDelay;        // tenths of a second, -99..99

// Audio bit rate in kbit/s as last found in an MPEG audio header by any
// preview session (value 8 of its stream information record); 0 until then.
extern std::atomic<uint32_t> g_audioBitRate;
