// Opening preview sessions on hand-made streams: stream type, the stream
// information record (audio header detection in particular) and the bitmap header.
#include "mpeg/session.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/mpeg/stream_builder.h"

namespace {

TEST(AudioHeader, FieldsMapThroughTheTables) {
  struct Case {
    uint8_t bytes[4];
    uint32_t layer, bit_rate, frequency;
    const char* mode;
  } cases[] = {
      // The rates of real streams are checked against ffprobe's in
      // session_streams_test; these are the codes no encoder writes.
      {{0xFF, 0xFD, 0x94, 0x00}, 2, 160, 48000, "stereo"},
      {{0xFF, 0xF3, 0xF0, 0xC0}, 3, 0, 22050, "monaural"},         // forbidden bit rate, lower frequencies
      {{0xFF, 0xFE, 0x1C, 0x40}, 1, 32, 0, "intensity stereo"},    // reserved frequency
      {{0xFF, 0xF9, 0xE8, 0x80}, 0, 0, 32000, "dual channel"},     // reserved layer
      {{0xFF, 0xFB, 0x04, 0x00}, 3, 0, 48000, "stereo"},           // free format
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.mode);
    StreamInfo info = StreamInfo();
    audio_header_info(c.bytes, info);
    EXPECT_EQ(info.audio_found, 1u);
    EXPECT_EQ(info.audio_layer, c.layer);
    EXPECT_EQ(info.audio_bit_rate, c.bit_rate);
    EXPECT_EQ(info.audio_sampling_frequency, c.frequency);
    EXPECT_STREQ(info.audio_mode, c.mode);
  }
}

TEST(BitmapHeader, RowsArePaddedToFourBytesAndStoredTopFirst) {
  struct Case {
    int32_t width, height;
    uint32_t size_image;
  } cases[] = {{352, 288, 1056 * 288}, {353, 241, 1060 * 241}, {1, 1, 4}, {1920, 1080, 5760 * 1080}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    BitmapHeader h = bitmap_header_for(c.width, c.height);
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, c.width);
    EXPECT_EQ(h.biHeight, -c.height);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 24);
    EXPECT_EQ(h.biCompression, 0u);
    EXPECT_EQ(h.biSizeImage, c.size_image);
    EXPECT_EQ(h.biXPelsPerMeter | h.biYPelsPerMeter, 0);
    EXPECT_EQ(h.biClrUsed | h.biClrImportant, 0u);
  }
}

// An MPEG-1 video stream of 176x144 at 29.97 frames per second, 200 kbit/s:
// sequence header, GOP, one I picture and a slice.
Bytes small_video() {
  BitWriter w;
  put_sequence_header(w, {176, 144, 4, 500});
  w.start_code(0xB8);
  w.put(0x00080000, 27);
  w.start_code(0x00);
  w.put(0, 10);
  w.put(1, 3);
  w.put(0xFFFF, 16);
  w.put(0, 1);
  w.start_code(0x01);
  w.put(0x12345678, 32);
  return w.bytes;
}

struct Opened {
  int ok;
  StreamInfo info;
  BitmapHeader bitmap;
};

Opened open(const std::string& name, const Bytes& bytes) {
  Opened o = Opened();
  FileHandle file = kNoFile;
  std::string path = write_file(name, bytes);
  o.ok = preview_open(path.c_str(), &file, &o.bitmap, &o.info);
  if (o.ok) {
    EXPECT_NE(file, kNoFile);
  }
  preview_close();
  return o;
}

TEST(Session, ProgramStreamReportsVideoAndFirstAudioHeader) {
  Bytes video = pes(0xE0, small_video());
  struct Case {
    const char* name;
    Bytes stream;
    uint32_t audio_found;
    const char* mode;
  } cases[] = {
      {"audio after video", cat({pack_header(), video, pes(0xC0, {0x00, 0xFF, 0xFD, 0x94, 0x40, 0})}), 1,
       "intensity stereo"},
      {"audio before video", cat({pack_header(), pes(0xC3, {0xFF, 0xFF, 0xFD, 0x94, 0xC0}), video}), 1,
       "monaural"},
      {"header runs past the data", cat({pack_header(), video, pes(0xC0, {0x00, 0xFF, 0xFD, 0x94})}), 0, ""},
      {"no audio", cat({pack_header(), video, pes(0xBD, {0xFF, 0xFD, 0x94, 0x00})}), 0, ""},
      {"audio packet start inside a private packet",
       cat({pack_header(), pes(0xBD, pes(0xC0, {0xFF, 0xFD, 0x14, 0x00})), video,
            pes(0xC0, {0xFF, 0xFD, 0x94, 0x00})}),
       1, "stereo"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Opened o = open("session_ps.mpg", c.stream);
    ASSERT_EQ(o.ok, 1);
    EXPECT_EQ(o.info.width, 176u);
    EXPECT_EQ(o.info.height, 144u);
    EXPECT_EQ(o.info.frame_rate_numerator, 30000u);
    EXPECT_EQ(o.info.frame_rate_denominator, 1001u);
    EXPECT_EQ(o.info.video_bit_rate, 200000u);
    EXPECT_EQ(o.info.audio_found, c.audio_found);
    if (c.audio_found) {
      EXPECT_EQ(o.info.audio_layer, 2u);
      EXPECT_EQ(o.info.audio_bit_rate, 160u);
      EXPECT_EQ(o.info.audio_sampling_frequency, 48000u);
      EXPECT_STREQ(o.info.audio_mode, c.mode);
    }
    EXPECT_EQ(o.bitmap.biWidth, 176);
    EXPECT_EQ(o.bitmap.biHeight, -144);
  }
}

TEST(Session, ElementaryStreamOpensWhateverItsLength) {
  Opened whole = open("session_es.m1v", cat({small_video(), Bytes(100000, 0x55)}));
  EXPECT_EQ(whole.ok, 1);
  EXPECT_EQ(whole.info.width, 176u);
  EXPECT_EQ(whole.info.audio_found, 0u);
  // One that a single read takes whole opens too.
  for (const Bytes& tail : {Bytes(20000, 0x55), Bytes()}) {
    Opened short_file = open("session_short.m1v", cat({small_video(), tail}));
    EXPECT_EQ(short_file.ok, 1);
    EXPECT_EQ(short_file.info.width, 176u);
  }
}

TEST(Session, HeadersThatDoNotMakeAStreamGiveNoSession) {
  Bytes header_only;
  {
    BitWriter w;
    put_sequence_header(w, {176, 144, 4, 500});
    w.start_code(0xB8);
    header_only = w.bytes;
  }
  Bytes too_wide;
  {
    BitWriter w;
    put_sequence_header(w, {176, 144, 4, 500});
    put_sequence_extension(w, 1, 1, 3);  // 12464 x 12432
    Bytes rest = small_video();
    too_wide = cat({w.bytes, Bytes(rest.begin() + 12, rest.end())});
  }
  struct Case {
    const char* name;
    Bytes stream;
  } cases[] = {
      {"no picture after the sequence header", cat({pack_header(), pes(0xE0, header_only)})},
      {"size beyond the limit", cat({pack_header(), pes(0xE0, too_wide)})},
      {"video only in private packets", cat({pack_header(), pes(0xBD, small_video())})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(open("session_bad_headers.mpg", c.stream).ok, 0);
  }
}

}  // namespace
