#include "input/media_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

StreamInfo Info(uint32_t w, uint32_t h, uint32_t num, uint32_t den, uint32_t bitRate) {
  StreamInfo info = {};
  info.width = w;
  info.height = h;
  info.frame_rate_numerator = num;
  info.frame_rate_denominator = den;
  info.video_bit_rate = bitRate;
  return info;
}

TEST(MediaText, VideoParameters) {
  struct Case {
    const char* name;
    StreamInfo info;
    const char* text;
  } cases[] = {
      {"720x480 frame-rate code 4, 20000 x 400", Info(720, 480, 30000, 1001, 8000000),
       " 8.00Mbps 29.97fps\n720 x 480 pixel"},
      {"PAL at 15 Mbit/s", Info(720, 576, 25, 1, 15000000), "15.00Mbps 25.00fps\n720 x 576 pixel"},
      {"code 0", Info(352, 240, 0, 1, 1150000), " 1.15Mbps  0.00fps\n352 x 240 pixel"},
      {"no denominator", Info(16, 16, 30, 0, 0), " 0.00Mbps  0.00fps\n16 x 16 pixel"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    char text[128];
    FormatVideoText(c.info, text, sizeof text);
    EXPECT_STREQ(text, c.text);
  }
}

TEST(MediaText, AudioParametersOnlyWhenFound) {
  StreamInfo info = {};
  info.audio_layer = 2;
  info.audio_bit_rate = 224;
  info.audio_sampling_frequency = 48000;
  info.audio_mode = "stereo";
  char text[128] = "old";
  FormatAudioText(info, text, sizeof text);
  EXPECT_STREQ(text, "");
  info.audio_found = 1;
  FormatAudioText(info, text, sizeof text);
  EXPECT_STREQ(text, "Layer2 stereo\n224Kbps 48.0KHz");
  info.audio_layer = 3;
  info.audio_bit_rate = 0;
  info.audio_sampling_frequency = 44100;
  info.audio_mode = "intensity stereo";
  FormatAudioText(info, text, sizeof text);
  EXPECT_STREQ(text, "Layer3 intensity stereo\n0Kbps 44.1KHz");
}

TEST(MediaText, AudioDelayStepsStopAtNinetyNine) {
  struct Case {
    int32_t delay;
    int delta;
    int32_t after;
  } cases[] = {{0, -1, -1}, {0, 1, 1}, {0, 0, 1}, {-98, -1, -99}, {-99, -1, -99},
               {-99, 1, -98}, {98, 1, 99}, {99, 1, 99}, {99, -1, 98}, {5, -7, 4}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.delay << " by " << c.delta);
    EXPECT_EQ(StepAudioDelay(c.delay, c.delta), c.after);
  }
}

TEST(MediaText, AudioDelayTexts) {
  struct Case {
    int32_t delay;
    const char* value;
    const char* unit;
  } cases[] = {{0, "0.0", "秒"},     {1, "0.1", "秒遅らせる"}, {-1, "0.1", "秒進める"},
               {99, "9.9", "秒遅らせる"}, {-99, "9.9", "秒進める"}, {-10, "1.0", "秒進める"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.delay);
    char text[16];
    FormatDelayValue(c.delay, text, sizeof text);
    EXPECT_STREQ(text, c.value);
    EXPECT_STREQ(DelayUnitText(c.delay), c.unit);
  }
}

TEST(MediaText, Percentage) {
  struct Case {
    int32_t position;
    const char* text;
  } cases[] = {{0, "0.0%"}, {5, "0.5%"}, {999, "99.9%"}, {1000, "100.0%"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.position);
    char text[16];
    FormatPercent(c.position, text, sizeof text);
    EXPECT_STREQ(text, c.text);
  }
}

}  // namespace
