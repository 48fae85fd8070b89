// Audio delay correction: shifts the payloads of MPEG audio packets by K
// whole packets while the stream is copied (read back from the input for a
// delay, written back into the ring and its wrap mirror for an advance).
//
// Threading: Copy worker only.
#pragma once

#include <windows.h>

#include <cstdint>

// Bytes kept in front of the chunk buffer: every pack and packet header that
// does not fit in one chunk (14-byte pack header, 9-byte packet header, up to
// 255 header data bytes) is recognised whole in the next one.
const int kLookBack = 288;
const int kAudioLogSize = 512;

// What one chunk's correction works on besides the chunk itself.
struct AudioDelayFiles {
  HANDLE input;
  const char* inputPath;
  HANDLE previousInput;  // the piece before a numbered takeover, or none
  const char* previousInputPath;
  HANDLE output;
  const char* outputPath;
  uint64_t ringEnd;
  uint32_t mirrorDistance;
};

// K = ((|D| * B * 1000) / (Pn * 8) + 5) / 10; 0 for an empty payload.
uint32_t PacketsBack(int32_t delay, uint32_t bitRate, int32_t payloadLength);

// Corrects the chunk of n bytes (1..32,768) at chunk, which has kLookBack
// bytes of the stream in front of it, before it is written. Returns 1, or 0
// with the message (kMessageSize bytes) when a file operation failed.
int CorrectAudioChunk(const AudioDelayFiles& files, int32_t delay, uint32_t bitRate, uint8_t* chunk,
                      uint32_t n, uint64_t inputOffset, uint64_t outputOffset, char* message);

// A new input: nothing of the old stream is used any more.
void ResetAudioDelay();
// A numbered piece of the same recording continues the stream: the log and
// the carried payload stay, and records of the piece before are read from
// the previous input file.
void ContinueAudioDelayInNextPiece(uint64_t inputOffset);

// Number of audio packets in the log (0..512).
uint32_t AudioLogCount();
