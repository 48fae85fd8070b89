// Audio delay correction on hand-made program streams run through the
// correction chunk by chunk, as the worker does, with real files on T:.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/settings_table.h"
#include "app/shared_state.h"
#include "control/progress.h"
#include "copy/audio_delay.h"
#include "copy/preview_link.h"
#include "copy/ring_file.h"
#include "copy/worker.h"
#include "tests/copy/audio_stream.h"
#include "tests/copy/copy_harness.h"

namespace {

TEST(AudioDelayTest, PacketsBackFollowsTheFormula) {
  EXPECT_EQ(PacketsBack(5, 224, 2016), 7u);
  EXPECT_EQ(PacketsBack(-5, 224, 2016), 7u);
  EXPECT_EQ(PacketsBack(99, 448, 1), 554400u);
  EXPECT_EQ(PacketsBack(5, 0, 2016), 0u);
  EXPECT_EQ(PacketsBack(5, 224, 0), 0u);   // an empty payload never sizes K
  EXPECT_EQ(PacketsBack(5, 224, -4), 0u);
}

// Runs the stream through the correction in chunks of the given size and
// writes them to the output, as the worker does; returns the output.
// base: where the stream starts in the output; ringEnd and mirror as the
// ring file's wrap has set them.
std::vector<uint8_t> Correct(const Stream& s, int32_t delay, uint32_t chunkSize, uint64_t base = 0,
                             uint64_t ringEnd = RingEndFor(28), uint32_t mirror = 0, uint32_t bitRate = 224) {
  std::string inputPath = TestPath("audio_in.m2p"), outputPath = TestPath("audio_out.mpg");
  EXPECT_TRUE(WriteTestFile(inputPath, s.bytes));
  EXPECT_TRUE(WriteTestFile(outputPath, std::vector<uint8_t>(size_t(base) + s.bytes.size(), 0)));
  HANDLE input = CreateFileA(inputPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
  HANDLE output = CreateFileA(outputPath.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  AudioDelayFiles files = {input, inputPath.c_str(), INVALID_HANDLE_VALUE, "", output, outputPath.c_str(),
                           ringEnd, mirror};
  ResetAudioDelay();
  std::vector<uint8_t> area(kLookBack + kChunkSize, 0);
  uint8_t* chunk = area.data() + kLookBack;
  char message[kMessageSize] = "";
  for (uint64_t at = 0; at < s.bytes.size(); at += chunkSize) {
    uint32_t n = uint32_t(std::min<uint64_t>(chunkSize, s.bytes.size() - at));
    memcpy(chunk, &s.bytes[at], n);
    EXPECT_EQ(CorrectAudioChunk(files, delay, bitRate, chunk, n, at, base + at, message), 1) << message;
    SeekFile(output, int64_t(base + at), FILE_BEGIN);
    EXPECT_TRUE(WriteWhole(output, chunk, n));
  }
  CloseHandle(input);
  CloseHandle(output);
  return ReadTestFile(outputPath);
}

bool SamePayload(const std::vector<uint8_t>& a, uint64_t at, const std::vector<uint8_t>& b, uint64_t bt) {
  return memcmp(&a[at], &b[bt], 2016) == 0;
}

TEST(AudioDelayTest, DelayReplacesEachPayloadByTheOneKPacketsEarlier) {
  Stream s = MakeStream(120, 2016);
  for (uint32_t chunkSize : {32768u, 4099u, 1000u, 23u}) {
    SCOPED_TRACE("chunks of " + std::to_string(chunkSize));
    std::vector<uint8_t> out = Correct(s, 5, chunkSize);
    ASSERT_EQ(out.size(), s.bytes.size());
    for (size_t i = 0; i < s.payloads.size(); ++i) {
      SCOPED_TRACE("payload " + std::to_string(i));
      size_t source = i < 7 ? i : i - 7;
      ASSERT_TRUE(SamePayload(out, s.payloads[i], s.bytes, s.payloads[source]));
    }
    // Nothing but the payloads changed.
    std::vector<uint8_t> masked = out, original = s.bytes;
    for (uint64_t p : s.payloads) {
      memset(&masked[p], 0, 2016);
      memset(&original[p], 0, 2016);
    }
    ASSERT_TRUE(masked == original);
  }
}

TEST(AudioDelayTest, AdvanceWritesEachPayloadOverTheOneKPacketsEarlier) {
  Stream s = MakeStream(120, 2016);
  for (uint32_t chunkSize : {32768u, 4099u, 1000u}) {
    SCOPED_TRACE("chunks of " + std::to_string(chunkSize));
    std::vector<uint8_t> out = Correct(s, -5, chunkSize);
    ASSERT_EQ(out.size(), s.bytes.size());
    size_t count = s.payloads.size();
    for (size_t i = 7; i < count; ++i) {
      SCOPED_TRACE("payload " + std::to_string(i));
      ASSERT_TRUE(SamePayload(out, s.payloads[i - 7], s.bytes, s.payloads[i]));
    }
    for (size_t i = count - 7; i < count; ++i) ASSERT_TRUE(SamePayload(out, s.payloads[i], s.bytes, s.payloads[i]));
  }
}

// The last 2 MiB before E are played again from the ring start after the
// wrap: an advance into them is written into that copy too.
TEST(AudioDelayTest, AdvanceIntoTheLastTwoMebibytesAlsoReachesTheWrapCopy) {
  Stream s = MakeStream(120, 2016);
  const uint64_t base = 4 << 20, size = s.bytes.size();
  ASSERT_LT(size, kWrapCopySize);
  const uint64_t ringEnd = base + size;
  const uint32_t mirror = uint32_t(ringEnd - kWrapCopySize);  // a wrap to ring start 0
  std::vector<uint8_t> out = Correct(s, -5, 4099, base, ringEnd, mirror);
  ASSERT_EQ(out.size(), base + size);
  for (size_t i = 7; i < s.payloads.size(); ++i) {
    SCOPED_TRACE("payload " + std::to_string(i));
    uint64_t target = s.payloads[i - 7];
    ASSERT_TRUE(SamePayload(out, base + target, s.bytes, s.payloads[i]));
    ASSERT_TRUE(SamePayload(out, base + target - mirror, s.bytes, s.payloads[i]));
  }
}

TEST(AudioDelayTest, AChangeOfPayloadLengthStartsTheCountAgain) {
  Stream s = MakeStream(20, 2016);
  size_t firstShort = s.payloads.size();
  for (int i = 0; i < 20; ++i) {
    s.Video(700);
    s.Audio(1500);
  }
  std::vector<uint8_t> out = Correct(s, 5, 32768);
  for (size_t i = firstShort; i < s.payloads.size(); ++i) {
    SCOPED_TRACE(i);
    // K for 1,500 bytes is (5 * 224000 / 12000 + 5) / 10 = 9, counted from the change.
    size_t source = i - firstShort < 9 ? i : i - 9;
    ASSERT_EQ(memcmp(&out[s.payloads[i]], &s.bytes[s.payloads[source]], 1500), 0);
  }
}

}  // namespace

namespace {

struct Packet {
  uint64_t payload;
  uint32_t length;
};

// Audio packets of a program stream found by their pack and packet headers.
std::vector<Packet> AudioPackets(const std::vector<uint8_t>& s) {
  std::vector<Packet> packets;
  for (size_t p = 0; p + 23 < s.size(); ++p) {
    if (s[p] || s[p + 1] || s[p + 2] != 1 || s[p + 3] != 0xBA) continue;
    if (s[p + 14] || s[p + 15] || s[p + 16] != 1 || s[p + 17] < 0xC0 || s[p + 17] > 0xDF) continue;
    int length = (s[p + 18] << 8 | s[p + 19]) - (s[p + 22] + 3);
    if (length > 0) packets.push_back({p + 23 + s[p + 22], uint32_t(length)});
  }
  return packets;
}

// ffmpeg's streams, made by the copy_make_av_stream fixture: Layer II and
// Layer III. K is what the bit rate the decoder reports gives; for Layer III
// that is the rate of the Layer III table, not of the Layer II one.
TEST(AudioDelayTest, FfmpegStreamsDelayedAndAdvancedByWholePackets) {
  const struct {
    const char* path;
    uint32_t bitRate;         // kbit/s, as ffmpeg was asked to encode
    uint32_t length, k;       // the usual payload length and its K for |D| = 5
  } streams[] = {{"T:\\copy\\av.mpg", 224, 2019, 7}, {"T:\\copy\\av_mp3.mpg", 128, 2019, 4}};
  for (const auto& stream : streams) {
    SCOPED_TRACE(stream.path);
    std::vector<uint8_t> input = ReadTestFile(stream.path);
    if (input.empty()) GTEST_SKIP() << stream.path << " is made by the ctest fixture copy_make_av_stream";
    g_audioBitRate = 0;
    ASSERT_EQ(OpenPreviewSession(stream.path, nullptr, nullptr, nullptr), 1);
    preview_close();
    ASSERT_EQ(g_audioBitRate.load(), stream.bitRate);
    std::vector<Packet> packets = AudioPackets(input);
    ASSERT_GT(packets.size(), 100u);
    Stream s;
    s.bytes = input;
    for (int32_t delay : {5, -5}) {
      SCOPED_TRACE(delay);
      std::vector<uint8_t> out = Correct(s, delay, 32768, 0, RingEndFor(28), 0, g_audioBitRate.load());
      ASSERT_EQ(out.size(), input.size());
      // Runs of one payload length each start their own count of K packets.
      size_t runStart = 0;
      int moved = 0;
      for (size_t i = 0; i < packets.size(); ++i) {
        if (packets[i].length != packets[runStart].length) runStart = i;
        uint32_t k = PacketsBack(delay, stream.bitRate, int32_t(packets[i].length));
        if (packets[i].length == stream.length) {
          ASSERT_EQ(k, stream.k);
        }
        if (i - runStart < k) continue;
        const Packet& earlier = packets[i - k];
        SCOPED_TRACE("payload " + std::to_string(i));
        if (delay > 0) {
          ASSERT_EQ(memcmp(&out[packets[i].payload], &input[earlier.payload], packets[i].length), 0);
        } else {
          ASSERT_EQ(memcmp(&out[earlier.payload], &input[packets[i].payload], packets[i].length), 0);
        }
        ++moved;
      }
      EXPECT_GT(moved, 100);
    }
  }
}

}  // namespace

namespace {

// What a delay of K whole packets makes of a stream: each run of one payload
// length counts its own K packets.
std::vector<uint8_t> Delayed(const std::vector<uint8_t>& input, int32_t delay, uint32_t bitRate) {
  std::vector<uint8_t> out = input;
  std::vector<Packet> packets = AudioPackets(input);
  size_t runStart = 0;
  for (size_t i = 0; i < packets.size(); ++i) {
    if (packets[i].length != packets[runStart].length) runStart = i;
    uint32_t k = PacketsBack(delay, bitRate, int32_t(packets[i].length));
    if (k > 0 && i - runStart >= k)
      memcpy(&out[packets[i].payload], &input[packets[i - k].payload], packets[i].length);
  }
  return out;
}

std::vector<uint8_t> Part(const std::vector<uint8_t>& bytes, size_t from, size_t count) {
  return std::vector<uint8_t>(bytes.begin() + from, bytes.begin() + from + count);
}

// The worker copies a recording split into two numbered pieces (cut inside
// an audio payload); the correction goes on across the cut, reading the
// packets before it from the previous piece.
TEST(AudioDelayTest, TheCorrectionContinuesAcrossANumberedPiece) {
  std::vector<uint8_t> input = ReadTestFile("T:\\copy\\av.mpg");
  if (input.empty()) GTEST_SKIP() << "T:\\copy\\av.mpg is made by the ctest fixture copy_make_av_stream";
  std::vector<Packet> packets = AudioPackets(input);
  ASSERT_GT(packets.size(), 60u);
  size_t cut = size_t(packets[50].payload + 1000);
  std::string first = TestPath("avsplit.m2p"), second = TestPath("avsplit.001.m2p");
  ASSERT_TRUE(WriteTestFile(first, Part(input, 0, cut)));
  ASSERT_TRUE(WriteTestFile(second, Part(input, cut, input.size() - cut)));

  ResetCopyState();
  ASSERT_TRUE(MakeSizedFile("T:\\$Ringfeed.mpg", RingFileLengthFor(28)));
  RaiseCommands(CMD_OPEN_OUTPUT | CMD_SIZE);
  PollRequests(1);
  PollRequests(1);
  g_audioDelay = 5;
  g_audioBitRate = 224;
  strcpy(g_settings.File, first.c_str());
  RaiseCommands(CMD_NEW_INPUT | CMD_START);
  RunCopyCycle();
  auto atEnd = [] { return g_inputOffset.load() == g_inputSize.load() && g_barState.load() == BAR_FILE_END; };
  ASSERT_TRUE(RunCyclesUntil(atEnd, 10));
  g_worker.endDeadline = GetTickCount() - 10;  // the grace has run out
  RunCopyCycle();
  ASSERT_STREQ(g_settings.File, second.c_str());
  ASSERT_TRUE(RunCyclesUntil(atEnd, 10));
  ASSERT_EQ(g_worker.message[0], 0) << g_worker.message;
  CloseCopyFiles();

  std::vector<uint8_t> ring = ReadTestFile("T:\\$Ringfeed.mpg");
  std::vector<uint8_t> expected = Delayed(input, 5, 224);
  ASSERT_GE(ring.size(), input.size());
  EXPECT_TRUE(Part(ring, 0, input.size()) == expected);
  EXPECT_FALSE(expected == input);
}

}  // namespace
