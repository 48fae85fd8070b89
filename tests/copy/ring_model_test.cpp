// The centre of the copy tests: inputs of several sizes and start offsets
// are copied by the worker's own cycles into a 2^28 - 1 ring across at least
// two wraps, and every byte of the ring file is compared with an
// independent model of where each input byte must be.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "app/settings_table.h"
#include "app/shared_state.h"
#include "control/progress.h"
#include "copy/ring_file.h"
#include "copy/worker.h"
#include "tests/copy/audio_stream.h"
#include "tests/copy/copy_harness.h"

namespace {

const uint64_t kL = (uint64_t(1) << 28) - 1;
const uint64_t kE = (uint64_t(1) << 28) - 524288;
const uint64_t kMirror = 2097152;

uint8_t InputByte(int file, uint64_t offset) {
  uint32_t x = uint32_t(offset >> 2) * 2654435761u ^ uint32_t(file) * 0x9E3779B9u;
  x ^= x >> 15;
  x *= 0x85EBCA6Bu;
  x ^= x >> 13;
  return uint8_t(x >> (8 * (offset & 3)));
}

std::vector<uint8_t> MakeInput(int file, uint64_t size) {
  std::vector<uint8_t> bytes(size);
  for (uint64_t o = 0; o < size; ++o) bytes[o] = InputByte(file, o);
  return bytes;
}

// Where the bytes must be, written without the engine's helpers.
struct RingModel {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(kL, 0);
  uint64_t out = 0;
  int wraps = 0;
  bool head;

  // where, when given, receives the ring offset of each input byte copied.
  void Copy(const std::vector<uint8_t>& input, uint64_t from, std::vector<uint64_t>* where = nullptr) {
    uint64_t start = head ? 4096 : 0;
    if (head && from > 0 && out == 0) {
      memcpy(&bytes[0], &input[0], 4096);
      out = 4096;
    }
    for (uint64_t in = from; in < input.size(); ++in) {
      if (out == kE) {
        memmove(&bytes[start], &bytes[kE - kMirror], kMirror);
        out = start + kMirror;
        ++wraps;
      }
      if (where) (*where)[in] = out;
      bytes[out++] = input[in];
    }
  }
  void TakeOver() {
    if (out > 1024) {
      out -= 1024;
      if (head && out < 4096) out = 4096;
    }
  }
};

struct Piece {
  int file;
  int permille;
};

void CompareRing(const RingModel& model) {
  HANDLE file = CreateFileA("T:\\$Ringfeed.mpg", GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size;
  GetFileSizeEx(file, &size);
  ASSERT_EQ(uint64_t(size.QuadPart), kL);
  std::vector<uint8_t> block(1 << 20);
  for (uint64_t at = 0; at < kL; at += block.size()) {
    DWORD count = DWORD(std::min<uint64_t>(block.size(), kL - at)), got = 0;
    ASSERT_TRUE(ReadFile(file, block.data(), count, &got, nullptr) && got == count);
    if (memcmp(block.data(), &model.bytes[at], count) == 0) continue;
    uint64_t i = 0;
    while (block[i] == model.bytes[at + i]) ++i;
    CloseHandle(file);
    FAIL() << "first difference at ring offset " << at + i;
  }
  CloseHandle(file);
}

void RunModelCase(bool head, bool wait) {
  ResetCopyState();
  g_settings.Head = head;
  g_settings.Wait = wait;
  DeleteFileA("T:\\$Ringfeed.mpg");

  // Sizes: whole blocks, odd bytes, a piece shorter than one block.
  const uint64_t sizes[] = {150000000, 77777777, 20000, 99999999};
  std::vector<std::vector<uint8_t>> inputs;
  std::vector<std::string> paths;
  for (int i = 0; i < 4; ++i) {
    inputs.push_back(MakeInput(i, sizes[i]));
    paths.push_back(TestPath(("model" + std::to_string(i) + ".m2p").c_str()));
    ASSERT_TRUE(WriteTestFile(paths[i], inputs[i]));
  }
  // The first piece starts inside its input, so the kept head is written
  // from the input's start.
  const Piece plan[] = {{0, 250}, {1, 0}, {2, 0}, {3, 333}, {0, 999}, {1, 500}, {0, 0}, {3, 0}};

  RaiseCommands(CMD_OPEN_OUTPUT | CMD_SIZE);
  PollRequests(1);
  PollRequests(1);
  ASSERT_EQ(g_ringEnd.load(), kE);
  ASSERT_EQ(g_ring.initialisePending, 1);

  RingModel model;
  model.head = head;
  bool first = true;
  for (const Piece& piece : plan) {
    SCOPED_TRACE("input " + std::to_string(piece.file) + " from permille " + std::to_string(piece.permille));
    strcpy(g_settings.File, paths[piece.file].c_str());
    g_startPermille = piece.permille;
    RaiseCommands(g_stopped.load() ? CMD_NEW_INPUT | CMD_START : uint32_t(CMD_NEW_INPUT));
    RunCopyCycle();  // the takeover happens at the cycle's end
    uint64_t size = inputs[piece.file].size();
    uint64_t from = uint64_t(piece.permille) * size / 1000 / 32768 * 32768;
    ASSERT_EQ(g_inputOffset.load(), from);
    if (!first) model.TakeOver();
    if (first) model.out = 0;  // the initialisation rewinds
    first = false;
    ASSERT_EQ(g_outputOffset.load(), model.out);
    model.Copy(inputs[piece.file], from);
    bool done = RunCyclesUntil(
        [&] {
          // Without the overtaking guard the copy stops at E; start it again.
          if (g_stopped.load()) RaiseCommands(CMD_START);
          return g_inputOffset.load() == size && g_barState.load() == BAR_FILE_END;
        },
        200);
    ASSERT_TRUE(done) << "stuck at input offset " << g_inputOffset.load();
    ASSERT_EQ(g_worker.message[0], 0) << g_worker.message;
    ASSERT_EQ(g_outputOffset.load(), model.out);
  }
  ASSERT_GE(model.wraps, 2);
  RaiseCommands(CMD_STOP);
  RunCopyCycle();
  ASSERT_EQ(g_outputFile, INVALID_HANDLE_VALUE);
  CompareRing(model);
}

// The sound advanced by K = 7 packets across a wrap, the ring end E cutting
// one payload 1,000 bytes in: each payload is moved over the one K before,
// its halves on both sides of the wrap as the copy put them; the zero tail
// [E, L) stays zero and the wrap mirror takes what moved into it.
TEST(RingModelTest, AdvancedSoundAcrossTheWrapMovesBothHalvesOfACutPayloadAndKeepsTheTailZero) {
  ResetCopyState();
  g_settings.Wait = 0;
  DeleteFileA("T:\\$Ringfeed.mpg");
  ASSERT_TRUE(MakeSizedFile("T:\\$Ringfeed.mpg", kL));
  RaiseCommands(CMD_OPEN_OUTPUT | CMD_SIZE);
  PollRequests(1);
  PollRequests(1);
  ASSERT_EQ(g_ring.initialisePending, 0);

  const Stream s = MakeStream(120, 2016);
  const size_t cut = 60, k = 7;
  std::string path = TestPath("advance_wrap.m2p");
  ASSERT_TRUE(WriteTestFile(path, s.bytes));
  RingModel model;
  model.head = true;
  model.out = kE - (s.payloads[cut] + 1000);
  g_outputOffset = model.out + 1024;  // the takeover steps back 1 KiB
  g_audioDelay = -5;
  g_audioBitRate = 224;
  strcpy(g_settings.File, path.c_str());
  RaiseCommands(CMD_NEW_INPUT | CMD_START);
  RunCopyCycle();
  ASSERT_EQ(g_outputOffset.load(), model.out);
  ASSERT_TRUE(RunCyclesUntil(
      [&] {
        if (g_stopped.load()) RaiseCommands(CMD_START);  // the stop at E
        return g_inputOffset.load() == s.bytes.size() && g_barState.load() == BAR_FILE_END;
      },
      100));
  ASSERT_EQ(g_worker.message[0], 0) << g_worker.message;
  RaiseCommands(CMD_STOP);
  RunCopyCycle();

  std::vector<uint64_t> where(s.bytes.size());
  model.Copy(s.bytes, 0, &where);
  ASSERT_EQ(model.wraps, 1);
  ASSERT_EQ(where[s.payloads[cut] + 999], kE - 1);
  ASSERT_EQ(where[s.payloads[cut] + 1000], 4096 + kMirror);
  for (size_t j = 0; j + k < s.payloads.size(); ++j)
    for (uint64_t b = 0; b < 2016; ++b) model.bytes[where[s.payloads[j] + b]] = s.bytes[s.payloads[j + k] + b];
  memmove(&model.bytes[4096], &model.bytes[kE - kMirror], kMirror);
  CompareRing(model);
}

TEST(RingModelTest, HeadOnWithOvertakingGuardKeepsEveryByteInPlace) { RunModelCase(true, true); }

TEST(RingModelTest, HeadOffWithoutGuardStopsAtTheRingEndAndLosesNothing) { RunModelCase(false, false); }

}  // namespace
