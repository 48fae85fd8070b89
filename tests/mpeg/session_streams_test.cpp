// Opening preview sessions on real streams: mpegframe --info against
// ffprobe, and files that must give no session.
#include "mpeg/session.h"

#include <gtest/gtest.h>

#include <thread>

#include "tests/mpeg/ffprobe.h"
#include "tests/mpeg/stream_builder.h"

namespace {

// The --info lines as key -> value.
std::map<std::string, std::string> mpegframe_info(const std::string& path) {
  std::map<std::string, std::string> values;
  std::string out = run_command(std::string(MPEGFRAME_PATH) + " '" + path + "' --info");
  size_t at = 0;
  while (at < out.size()) {
    size_t end = out.find('\n', at);
    if (end == std::string::npos) end = out.size();
    std::string line = out.substr(at, end - at);
    size_t space = line.find(' ');
    if (space != std::string::npos) values[line.substr(0, space)] = line.substr(space + 1);
    at = end + 1;
  }
  return values;
}

// ffprobe's view of the first video and first audio stream, and whether the
// first frames repeat fields (3:2 pulldown: ffprobe then reports the field
// rate as r_frame_rate).
struct Expected {
  std::map<std::string, std::string> video, audio;
  bool repeated_fields = false;
};

Expected probe_streams(const std::string& path) {
  auto all = ffprobe("-show_streams -show_frames -show_entries frame=repeat_pict:stream "
                     "-read_intervals %+#12", path);
  Expected e;
  for (auto& kv : all)
    if (kv.first.find("repeat_pict") != std::string::npos && kv.second != "0") e.repeated_fields = true;
  for (int i = 0; i < 8; ++i) {
    std::string prefix = "streams.stream." + std::to_string(i) + ".";
    std::string type = all[prefix + "codec_type"];
    auto& into = type == "video" ? e.video : e.audio;
    if ((type != "video" && type != "audio") || !into.empty()) continue;
    for (auto& kv : all)
      if (kv.first.compare(0, prefix.size(), prefix) == 0) into[kv.first.substr(prefix.size())] = kv.second;
  }
  return e;
}

TEST(SessionStreams, InfoMatchesFfprobe) {
  for (const std::string& name : all_test_streams()) {
    std::string path = stream_path(name);
    SCOPED_TRACE(path);
    auto got = mpegframe_info(path);
    Expected want = probe_streams(path);
    ASSERT_FALSE(want.video.empty());
    ASSERT_FALSE(got.empty()) << "no session";

    EXPECT_EQ(got["width"], want.video["width"]);
    EXPECT_EQ(got["height"], want.video["height"]);
    std::string rate = want.video["r_frame_rate"];
    if (want.repeated_fields) {
      unsigned long num = std::stoul(rate.substr(0, rate.find('/')));
      rate = std::to_string(num / 2) + rate.substr(rate.find('/'));
    }
    EXPECT_EQ(got["frame_rate"], rate);
    // ffprobe shows an MPEG-2 sequence header's rate as the CPB maximum
    // (leaving out the 0x3FFFF marker of variable-rate streams), an MPEG-1
    // one as the stream's bit rate.
    std::string bit_rate = want.video["side_data_list.side_data.0.max_bitrate"];
    if (bit_rate.empty()) bit_rate = want.video["bit_rate"];
    EXPECT_EQ(got["video_bit_rate"], bit_rate == "0" ? "104857200" : bit_rate);

    EXPECT_EQ(got["audio_found"], want.audio.empty() ? "0" : "1");
    if (!want.audio.empty()) {
      std::string codec = want.audio["codec_name"];
      EXPECT_EQ(got["audio_layer"], codec == "mp1" ? "1" : codec == "mp2" ? "2" : "3");
      EXPECT_EQ(got["audio_bit_rate"], std::to_string(std::stoul(want.audio["bit_rate"]) / 1000));
      EXPECT_EQ(got["audio_sampling_frequency"], want.audio["sample_rate"]);
      // ffprobe does not tell joint stereo (the "intensity stereo" code) from stereo.
      if (want.audio["channel_layout"] == "mono") EXPECT_EQ(got["audio_mode"], "monaural");
      else EXPECT_TRUE(got["audio_mode"] == "stereo" || got["audio_mode"] == "intensity stereo") << got["audio_mode"];
    }

    int width = std::stoi(want.video["width"]), height = std::stoi(want.video["height"]);
    EXPECT_EQ(got["biSize"], "40");
    EXPECT_EQ(got["biWidth"], std::to_string(width));
    EXPECT_EQ(got["biHeight"], std::to_string(-height));
    EXPECT_EQ(got["biPlanes"], "1");
    EXPECT_EQ(got["biBitCount"], "24");
    EXPECT_EQ(got["biCompression"], "0");
    EXPECT_EQ(got["biSizeImage"], std::to_string((3 * width + 3) / 4 * 4 * height));
  }
}

// Offset of the first `code` start code in the file, or the size.
size_t first_code(const std::vector<unsigned char>& b, unsigned char code) {
  for (size_t i = 0; i + 3 < b.size(); ++i)
    if (b[i] == 0 && b[i + 1] == 0 && b[i + 2] == 1 && b[i + 3] == code) return i;
  return b.size();
}

TEST(SessionStreams, FilesThatAreNotWholeStreamsGiveNoSession) {
  auto ps = read_whole_file(stream_path("mpeg2_ps.mpg"));
  auto es = read_whole_file(stream_path("mpeg2_es_open_gop.m2v"));
  ASSERT_GT(ps.size(), 100000u);
  auto cut = [](const std::vector<unsigned char>& b, size_t n) { return Bytes(b.begin(), b.begin() + n); };
  struct Case {
    const char* name;
    Bytes bytes;
  } cases[] = {
      {"text", Bytes{'H', 'e', 'l', 'l', 'o', ',', ' ', 'M', 'P', 'E', 'G', '\n'}},
      {"empty", Bytes()},
      {"program stream cut in the pack header", cut(ps, 10)},
      {"program stream cut in the sequence header", cut(ps, first_code(ps, 0xB3) + 8)},
      {"program stream cut before the first picture", cut(ps, first_code(ps, 0x00))},
      {"elementary stream cut in the sequence header", cut(es, 9)},
  };
  StreamInfo info;
  BitmapHeader bitmap;
  FileHandle file = kNoFile;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = write_file("session_bad.mpg", c.bytes);
    EXPECT_EQ(preview_open(path.c_str(), &file, &bitmap, &info), 0);
    EXPECT_FALSE(preview_is_open());
  }
  EXPECT_EQ(preview_open("no such file.mpg", &file, &bitmap, &info), 0);
  EXPECT_EQ(preview_open(".", &file, &bitmap, &info), 0);
  EXPECT_FALSE(preview_is_open());
}

TEST(SessionStreams, ElementaryStreamThatOneReadTakesWholeOpens) {
  auto es = read_whole_file(stream_path("mpeg2_es_open_gop.m2v"));
  ASSERT_GT(es.size(), 32768u);
  for (size_t size : {size_t{30000}, size_t{32768}}) {
    SCOPED_TRACE(size);
    std::string path = write_file("session_short.m2v", Bytes(es.begin(), es.begin() + size));
    StreamInfo info;
    BitmapHeader bitmap;
    EXPECT_EQ(preview_open(path.c_str(), nullptr, &bitmap, &info), 1);
    EXPECT_EQ(info.width, 640u);
    EXPECT_EQ(info.height, 360u);
    preview_close();
  }
}

TEST(SessionStreams, AudioValuesOutliveASessionWithoutAudio) {
  StreamInfo info = StreamInfo();
  BitmapHeader bitmap;
  FileHandle file = kNoFile;
  ASSERT_EQ(preview_open(stream_path("mpeg1_system.mpg").c_str(), &file, &bitmap, &info), 1);
  EXPECT_NE(file, kNoFile);
  StreamInfo with_audio = info;
  ASSERT_EQ(with_audio.audio_found, 1u);
  ASSERT_EQ(preview_open(stream_path("closed_gop.m2v").c_str(), &file, &bitmap, &info), 1);
  EXPECT_EQ(info.audio_found, 0u);
  EXPECT_EQ(info.audio_layer, with_audio.audio_layer);
  EXPECT_EQ(info.audio_bit_rate, with_audio.audio_bit_rate);
  EXPECT_EQ(info.audio_sampling_frequency, with_audio.audio_sampling_frequency);
  EXPECT_STREQ(info.audio_mode, with_audio.audio_mode);
  EXPECT_EQ(info.width, 352u);
  EXPECT_EQ(preview_open("", nullptr, nullptr, nullptr), 1);
  EXPECT_FALSE(preview_is_open());
}

TEST(SessionStreams, CloseFromAnotherThreadWhileOpening) {
  std::string a = stream_path("mpeg2_ps.mpg"), b = stream_path("interlaced.m2v");
  std::thread closer([] {
    for (int i = 0; i < 200; ++i) preview_close();
  });
  int opened = 0;
  for (int i = 0; i < 50; ++i) opened += preview_open((i & 1 ? a : b).c_str(), nullptr, nullptr, nullptr);
  closer.join();
  EXPECT_EQ(opened, 50);
  preview_close();
}

}  // namespace
