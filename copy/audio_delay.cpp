// Audio delay correction on the worker's chunks.
#include "copy/audio_delay.h"

#include <cstdlib>
#include <cstring>

#include "copy/ring_file.h"

namespace {

enum CarryMode { CARRY_SKIP, CARRY_DELAY, CARRY_ADVANCE };

struct AudioPacketRecord {
  uint64_t inputOffset;   // first payload byte in its input file
  uint32_t outputOffset;  // the same byte in the ring file (low 32 bits)
  uint32_t length;        // payload length
  uint32_t piece;         // the piece it was read from
};

struct AudioDelayState {
  int continuing;         // 0: the next chunk starts afresh
  uint64_t nextInput;     // input offset a continuing chunk has
  uint32_t piece;         // numbered pieces taken over since the reset
  uint64_t previousEnd;   // where the stream left the previous piece
  uint64_t pieceStart;    // where it went on in the current one
  int32_t payloadLength;  // P
  uint32_t packetsBack;   // K
  int32_t carry;          // C: payload bytes still to come in later chunks
  int carryMode;
  uint64_t carryTarget;   // advance: ring offset of the next carried byte
  int32_t resume;         // first scan position of the next chunk (may be in the look-back)
  AudioPacketRecord log[kAudioLogSize];
  int nextSlot, count;
};

AudioDelayState g_audio = {};
// The chunk being corrected, which reaches the file only after the correction.
struct ChunkView {
  uint8_t* bytes;
  uint64_t outputOffset;
  uint32_t length;
} g_view = {};
// A whole payload (the packet length is 16 bits) fits.
uint8_t g_carryBuffer[65536];

const char kInputSeekFailed[] = "入力ファイル%sをシークできません!";
const char kInputReadFailed[] = "入力ファイル%sを読み出せません!";
const char kOutputSeekFailed[] = "出力ファイル%sをシークできません!";
const char kOutputWriteFailed[] = "出力ファイル%sに書き込めません!";

void StartAfresh() {
  g_audio = AudioDelayState{};
}

void EmptyLog() {
  g_audio.count = 0;
  g_audio.nextSlot = 0;
}

void Append(const AudioPacketRecord& record) {
  g_audio.log[g_audio.nextSlot] = record;
  g_audio.nextSlot = (g_audio.nextSlot + 1) % kAudioLogSize;
  if (g_audio.count < kAudioLogSize) ++g_audio.count;
}

const AudioPacketRecord* Back(uint32_t k) {
  if (k < 1 || k > uint32_t(g_audio.count)) return nullptr;
  return &g_audio.log[(g_audio.nextSlot + kAudioLogSize - int(k)) % kAudioLogSize];
}

int Fail(char* message, const char* format, const char* path) {
  FormatFileMessage(message, format, path);
  return 0;
}

bool IsAudioPack(const uint8_t* p) {
  return p[0] == 0 && p[1] == 0 && p[2] == 1 && p[3] == 0xBA && p[14] == 0 && p[15] == 0 &&
         p[16] == 1 && p[17] >= 0xC0 && p[17] <= 0xDF;
}

bool WriteAt(const AudioDelayFiles& f, uint64_t at, const uint8_t* data, uint32_t count, char* message) {
  if (count == 0) return true;
  // Bytes aimed at the chunk itself go into its buffer: a file write there
  // would be undone when the chunk is written.
  uint64_t chunkEnd = g_view.outputOffset + g_view.length;
  uint64_t from = at > g_view.outputOffset ? at : g_view.outputOffset;
  uint64_t to = at + count < chunkEnd ? at + count : chunkEnd;
  if (from < to) memmove(g_view.bytes + (from - g_view.outputOffset), data + (from - at), size_t(to - from));
  if (from < to && from == at && to == at + count) return true;
  if (SeekFile(f.output, int64_t(at), FILE_BEGIN) != int64_t(at)) {
    Fail(message, kOutputSeekFailed, f.outputPath);
    return false;
  }
  if (!WriteWhole(f.output, data, count)) {
    Fail(message, kOutputWriteFailed, f.outputPath);
    return false;
  }
  return true;
}

// Writes bytes into the ring, and the part of them inside the last 2 MiB
// before E once more into the wrap mirror, which the Player plays next.
// A payload cut by E went on at the wrap target, E - mirror distance: so do
// the bytes moved over it, and the zero tail [E, L) stays untouched.
int WriteIntoRing(const AudioDelayFiles& f, uint64_t at, const uint8_t* data, uint32_t count,
                  char* message) {
  uint32_t beforeEnd = at >= f.ringEnd ? 0 : uint32_t(f.ringEnd - at < count ? f.ringEnd - at : count);
  if (!WriteAt(f, at, data, beforeEnd, message)) return 0;
  if (f.mirrorDistance == 0) return 1;
  if (beforeEnd < count &&
      !WriteAt(f, at + beforeEnd - f.mirrorDistance, data + beforeEnd, count - beforeEnd, message))
    return 0;
  uint64_t mirrored = f.ringEnd - kWrapCopySize;
  uint64_t from = at > mirrored ? at : mirrored;
  uint64_t to = at + beforeEnd;
  if (from >= to) return 1;
  return WriteAt(f, from - f.mirrorDistance, data + (from - at), uint32_t(to - from), message);
}

// Reads count bytes of the stream from offset at of the record's piece; a
// payload cut by the end of the previous piece goes on in the current one.
int ReadStream(const AudioDelayFiles& f, const AudioPacketRecord& e, uint64_t at, uint8_t* to,
               uint32_t count, char* message) {
  while (count > 0) {
    bool previous = e.piece != g_audio.piece && at < g_audio.previousEnd;
    if (e.piece != g_audio.piece && !previous) at = at - g_audio.previousEnd + g_audio.pieceStart;
    HANDLE source = previous ? f.previousInput : f.input;
    const char* path = previous ? f.previousInputPath : f.inputPath;
    uint32_t part = count;
    if (previous && at + count > g_audio.previousEnd) part = uint32_t(g_audio.previousEnd - at);
    if (SeekFile(source, int64_t(at), FILE_BEGIN) != int64_t(at)) return Fail(message, kInputSeekFailed, path);
    if (!ReadWhole(source, to, part)) return Fail(message, kInputReadFailed, path);
    if (!previous) return 1;
    at += part;
    to += part;
    count -= part;
  }
  return 1;
}

// The payload at chunk[payload] (Pn bytes, the last C of them beyond the
// chunk) takes the place of, or is taken by, the packet K back.
int MovePayload(const AudioDelayFiles& f, int32_t delay, const AudioPacketRecord& e, uint8_t* chunk,
                int32_t payload, int32_t length, char* message) {
  int32_t carry = g_audio.carry;
  int32_t inChunk = length - carry;
  if (delay > 0) {
    // A record two pieces back lies in a file that is closed by now.
    if (e.piece + 1 < g_audio.piece) return 1;
    if (e.piece != g_audio.piece && f.previousInput == INVALID_HANDLE_VALUE) return 1;
    if (!ReadStream(f, e, e.inputOffset, chunk + payload, uint32_t(inChunk), message)) return 0;
    if (carry > 0 &&
        !ReadStream(f, e, e.inputOffset + uint32_t(inChunk), g_carryBuffer, uint32_t(carry), message))
      return 0;
    g_audio.carryMode = CARRY_DELAY;
    return 1;
  }
  // The carried bytes are written when they arrive, never read ahead of the
  // input's end (it may still be recording).
  if (!WriteIntoRing(f, e.outputOffset, chunk + payload, uint32_t(inChunk), message)) return 0;
  g_audio.carryMode = CARRY_ADVANCE;
  g_audio.carryTarget = uint64_t(e.outputOffset) + uint32_t(inChunk);
  return 1;
}

// The first m bytes of a chunk that belong to a payload begun earlier.
int TakeCarry(const AudioDelayFiles& f, uint8_t* chunk, int32_t m, char* message) {
  if (g_audio.carryMode == CARRY_DELAY) {
    memcpy(chunk, g_carryBuffer, size_t(m));
    memmove(g_carryBuffer, g_carryBuffer + m, size_t(g_audio.carry - m));
  } else if (g_audio.carryMode == CARRY_ADVANCE) {
    if (!WriteIntoRing(f, g_audio.carryTarget, chunk, uint32_t(m), message)) return 0;
    g_audio.carryTarget += uint32_t(m);
  }
  g_audio.carry -= m;
  return 1;
}

}  // namespace

uint32_t PacketsBack(int32_t delay, uint32_t bitRate, int32_t payloadLength) {
  if (payloadLength <= 0) return 0;
  uint64_t magnitude = uint64_t(delay < 0 ? -int64_t(delay) : delay);
  return uint32_t((magnitude * bitRate * 1000 / (uint64_t(payloadLength) * 8) + 5) / 10);
}

void ResetAudioDelay() { StartAfresh(); }

void ContinueAudioDelayInNextPiece(uint64_t inputOffset) {
  if (!g_audio.continuing) return;
  g_audio.previousEnd = g_audio.nextInput;
  g_audio.pieceStart = inputOffset;
  g_audio.nextInput = inputOffset;
  ++g_audio.piece;
}

uint32_t AudioLogCount() { return uint32_t(g_audio.count); }

int CorrectAudioChunk(const AudioDelayFiles& f, int32_t delay, uint32_t bitRate, uint8_t* chunk,
                      uint32_t chunkLength, uint64_t inputOffset, uint64_t outputOffset,
                      char* message) {
  // A chunk that does not follow the last one (the position bar moved, a
  // chunk was not written) shares no packets with the log.
  if (!g_audio.continuing || inputOffset != g_audio.nextInput) StartAfresh();
  g_audio.continuing = 0;
  g_view = ChunkView{chunk, outputOffset, chunkLength};
  const int32_t n = int32_t(chunkLength);
  int32_t p = g_audio.resume;
  if (g_audio.carry > 0) {
    int32_t m = n < g_audio.carry ? n : g_audio.carry;
    if (!TakeCarry(f, chunk, m, message)) return 0;
    p = g_audio.carry > 0 ? n : m;
  }
  int32_t resume = 0;
  while (p < n) {
    const uint8_t* zero = static_cast<const uint8_t*>(memchr(chunk + p, 0, size_t(n - p)));
    if (!zero) {
      p = n;
      break;
    }
    p = int32_t(zero - chunk);
    // Headers that run past the chunk are looked at again, whole, from the
    // look-back of the next chunk.
    if (p + 22 >= n) {
      resume = p - n;
      p = n;
      break;
    }
    if (!IsAudioPack(chunk + p)) {
      ++p;
      continue;
    }
    int32_t headerData = chunk[p + 22];
    int32_t payload = p + 23 + headerData;
    if (payload > n) {
      resume = p - n;
      p = n;
      break;
    }
    int32_t packetLength = (chunk[p + 18] << 8) | chunk[p + 19];
    int32_t length = packetLength - (headerData + 3);
    int32_t end = p + 20 + packetLength;
    // An empty or impossible payload carries no sound and cannot size K.
    if (length <= 0 || payload < 0) {
      p = end > p ? end : p + 1;
      continue;
    }
    g_audio.carry = end > n ? end - n : 0;
    g_audio.carryMode = CARRY_SKIP;
    if (g_audio.payloadLength != 0 && length != g_audio.payloadLength) EmptyLog();
    if (length != g_audio.payloadLength) {
      g_audio.packetsBack = 0;
      g_audio.payloadLength = length;
    }
    if (g_audio.packetsBack == 0) g_audio.packetsBack = PacketsBack(delay, bitRate, length);
    AudioPacketRecord record = {inputOffset + uint32_t(payload), uint32_t(outputOffset + uint32_t(payload)),
                                uint32_t(length), g_audio.piece};
    const AudioPacketRecord* back = Back(g_audio.packetsBack);
    if (back && !MovePayload(f, delay, *back, chunk, payload, length, message)) return 0;
    Append(record);
    if (g_audio.carry > 0) {
      p = n;
      break;
    }
    p = end;
  }
  if (p > n) resume = p - n;
  g_audio.resume = resume;
  // The stream's last bytes, in front of the chunk buffer for the next chunk.
  memmove(chunk - kLookBack, chunk + n - kLookBack, kLookBack);
  g_audio.nextInput = inputOffset + uint32_t(n);
  g_audio.continuing = 1;
  return 1;
}
