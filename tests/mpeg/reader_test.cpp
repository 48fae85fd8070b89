// Stream reader: start codes through PES framing, bit reads across packets,
// position tokens and the stream-type probe, on hand-made byte streams.
#include "mpeg/reader.h"

#include <gtest/gtest.h>

#include "mpeg/session.h"
#include "tests/mpeg/stream_builder.h"

namespace {

typedef Bytes (*PesMaker)(uint8_t, const Bytes&);
Bytes pes2(uint8_t id, const Bytes& payload) { return pes(id, payload, 2); }

struct Framing {
  const char* name;
  PesMaker make;
};
const Framing kFramings[] = {{"ISO/IEC 13818-1 PES", pes2}, {"ISO/IEC 11172-1 packet", pes_mpeg1}};

TEST(Reader, StartCodeSplitAcrossVideoPacketsIsFound) {
  for (const Framing& f : kFramings) {
    SCOPED_TRACE(f.name);
    Bytes stream = cat({pack_header(), f.make(0xE0, {0, 0, 1, 0xB3, 0x11, 0x22, 0x33, 0x00, 0x00}),
                        f.make(0xC0, {0xFF, 0xFD, 0, 0}), f.make(0xBE, {0xFF, 0xFF}),
                        f.make(0xE0, {0x01, 0x00, 0x44, 0x55, 0, 0, 1, 0xB8, 0x66})});
    OpenReader in(write_file("reader_split.mpg", stream), true);
    EXPECT_EQ(in.all(), (std::vector<int>{0xB3, 0x00, 0xB8}));
  }
}

TEST(Reader, OnlyVideoPacketsReachTheParsers) {
  // Every non-video packet carries start codes that must never be seen.
  Bytes fake = {0, 0, 1, 0xB7, 0, 0, 1, 0x01};
  Bytes system_header = {0, 0, 1, 0xBB, 0, 8, 0x80, 0, 1, 0x04, 0xE1, 0xFF, 0, 0};
  Bytes stream = cat({pack_header(), system_header, pes(0xC0, fake), pes(0xE0, {0, 0, 1, 0xB3, 9}),
                      pes(0xBD, fake), pes(0xDF, fake), pack_header(), pes(0xBE, fake),
                      pes(0xEF, {0, 0, 1, 0xB8, 9}, 7), pes(0xBF, fake),
                      pes(0xE0, {0, 0, 1, 0x00, 9})});
  OpenReader in(write_file("reader_demux.mpg", stream), true);
  EXPECT_EQ(in.all(), (std::vector<int>{0xB3, 0xB8, 0x00}));
}

// A packet start inside another packet's payload is data: the reader steps
// over packs, system headers and every other packet by their lengths.
TEST(Reader, PacketStartsInsideOtherPacketsAreNotTakenForVideo) {
  // A whole video packet with an end code, as MP3 frames may hold one.
  Bytes fake = cat({{0x12}, pes(0xE0, {0, 0, 1, 0xB7}), {0x34}});
  Bytes mpeg1_pack = {0, 0, 1, 0xBA, 0x21, 0, 1, 0, 1, 0x80, 0x1B, 0x83};
  Bytes stuffed_pack = pack_header();
  stuffed_pack.back() = 0xFB;  // three stuffing bytes follow
  append(stuffed_pack, {0xFF, 0xFF, 0xFF});
  Bytes system_header = {0, 0, 1, 0xBB, 0, 6, 0x80, 0, 1, 0x04, 0xE1, 0xFF};
  Bytes stream = cat({mpeg1_pack, system_header, pes_mpeg1(0xC0, fake), pes(0xE0, {0, 0, 1, 0xB3, 9}),
                      stuffed_pack, pes(0xBD, fake), pes(0xBF, fake), pes(0xBE, fake), pes(0xBC, fake),
                      pes(0xFF, fake), pes(0xC5, fake, 4), pes(0xE0, {0, 0, 1, 0xB8, 9}),
                      {0, 0, 1, 0xB9}});
  OpenReader in(write_file("reader_steps.mpg", stream), true);
  EXPECT_EQ(in.all(), (std::vector<int>{0xB3, 0xB8}));
}

TEST(Reader, BytesThatAreNotAPacketAreScannedToTheNextConfirmedOne) {
  // Junk where a packet should begin: a packet start whose announced end is
  // not another start is passed over; the next real one is taken.
  Bytes junk = {0x55, 0, 0, 1, 0xE0, 0, 8, 0x80, 0, 0, 0, 0, 1, 0xB7, 0x77, 0x55};
  Bytes stream = cat({pack_header(), pes(0xE0, {0, 0, 1, 0xB3, 9}), junk, pes(0xE0, {0, 0, 1, 0xB8, 9}),
                      pes(0xC0, {0xFF, 0xFD, 0x80, 0x00}), {0x55, 0x66}, pack_header(),
                      pes(0xE0, {0, 0, 1, 0x00, 9})});
  OpenReader in(write_file("reader_footing.mpg", stream), true);
  EXPECT_EQ(in.all(), (std::vector<int>{0xB3, 0xB8, 0x00}));
}

// The bits of `bytes` from bit `first` on, n of them.
uint32_t bits_of(const Bytes& bytes, size_t first, int n) {
  uint32_t v = 0;
  for (int i = 0; i < n; ++i) {
    size_t bit = first + i;
    v = v << 1 | ((bytes[bit / 8] >> (7 - bit % 8)) & 1);
  }
  return v;
}

TEST(Reader, BitsAcrossPesPacketsComeFromTheNextPayload) {
  Bytes first = {0, 0, 1, 0xB3, 0xA5, 0x5A};
  Bytes second = {0xC3, 0x3C, 0x0F, 0xF0};
  Bytes es = cat({first, second});
  // A 17-bit field starting at each bit of the first payload's last bytes.
  for (int skip = 1; skip <= 15; ++skip) {
    SCOPED_TRACE(skip);
    Bytes stream = cat({pack_header(), pes(0xE0, first, 3), pes(0xC0, {1, 2, 3, 4}), pes(0xE0, second, 5)});
    OpenReader in(write_file("reader_bits.mpg", stream), true);
    ASSERT_EQ(in.next(), 0xB3);
    get_bits(in.r, in.pos, skip);
    EXPECT_EQ(show_bits(in.r, in.pos, 17), bits_of(es, 32 + skip, 17));
    EXPECT_EQ(get_bits(in.r, in.pos, 17), bits_of(es, 32 + skip, 17));
    EXPECT_EQ(get_bits(in.r, in.pos, 7), bits_of(es, 32 + skip + 17, 7));
  }
}

TEST(Reader, BitsPastTheEndReadAsOnesAndEndTheSearch) {
  Bytes stream = cat({pack_header(), pes(0xE0, {0, 0, 1, 0xB3, 0x12})});
  OpenReader in(write_file("reader_end.mpg", stream), true);
  ASSERT_EQ(in.next(), 0xB3);
  EXPECT_EQ(get_bits(in.r, in.pos, 8), 0x12u);
  EXPECT_EQ(get_bits(in.r, in.pos, 16), 0xFFFFFFFFu);
  EXPECT_EQ(in.pos, kReaderFailed);
  EXPECT_EQ(in.next(), -1);
}

// An elementary stream of `size` bytes of filler with start codes at the
// given offsets.
Bytes elementary_stream(size_t size, const std::vector<std::pair<size_t, uint8_t>>& codes) {
  Bytes b(size, 0x55);
  for (auto& c : codes) {
    b[c.first] = 0;
    b[c.first + 1] = 0;
    b[c.first + 2] = 1;
    b[c.first + 3] = c.second;
  }
  return b;
}

// The same stream cut into video packets of `payload` bytes behind packs.
Bytes multiplexed(const Bytes& es, size_t payload) {
  Bytes out;
  for (size_t at = 0; at < es.size(); at += payload) {
    Bytes part(es.begin() + at, es.begin() + std::min(es.size(), at + payload));
    out = cat({out, pack_header(), pes(0xE0, part), pes(0xC0, {0xFF, 0xFD, 0x80, 0x00})});
  }
  return out;
}

TEST(Reader, TokenAtAStartCodeComesBackToIt) {
  // Some codes straddle two packets of 2028 bytes, with 3, 2 or 1 of their
  // bytes in the first.
  std::vector<std::pair<size_t, uint8_t>> codes = {
      {1000, 0xB3},      {2046, 0xB5},  {10 * 2028 - 3, 0xB8}, {40000, 0xB2},
      {30 * 2028 - 2, 0x00}, {70001, 0x00}, {100000, 0x01},        {100010, 0x02},
      {50 * 2028 - 1, 0x01}, {130000, 0xB7}};
  Bytes es = elementary_stream(200000, codes);
  struct Case {
    const char* name;
    Bytes file;
    bool program_stream;
  } cases[] = {{"elementary", es, false},
               {"program", multiplexed(es, 2028), true},
               {"program, the largest packets", multiplexed(es, 65000), true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string path = write_file("reader_token.mpg", c.file);
    for (size_t k = 0; k + 1 < codes.size(); ++k) {
      SCOPED_TRACE(k);
      OpenReader in(path, c.program_stream);
      for (size_t i = 0; i < k; ++i) ASSERT_EQ(in.next(), codes[i].second);
      ASSERT_EQ(in.next(), codes[k].second);
      uint64_t token = stream_token(in.r, in.pos - 4);
      ASSERT_EQ(in.next(), codes[k + 1].second);
      in.pos = seek_token(in.r, token);
      ASSERT_NE(in.pos, kReaderFailed);
      EXPECT_EQ(in.next(), codes[k].second);
      EXPECT_EQ(in.next(), codes[k + 1].second);
    }
  }
}

TEST(Reader, EveryStartCodeUpToTheEndOfTheFileIsFound) {
  // The last read of a file spends the search budget; its codes count all
  // the same, up to one whose four bytes end the file.
  for (size_t size : {20000u, 32768u, 32769u, 70000u}) {
    SCOPED_TRACE(size);
    Bytes es = elementary_stream(size, {{100, 0xB3}, {size - 40, 0xB8}, {size - 4, 0xB7}});
    OpenReader elementary(write_file("reader_short.m2v", es), false);
    EXPECT_EQ(elementary.all(), (std::vector<int>{0xB3, 0xB8, 0xB7}));
    for (size_t payload : {2028u, 65000u}) {
      OpenReader program(write_file("reader_short.mpg", multiplexed(es, payload)), true);
      EXPECT_EQ(program.all(), (std::vector<int>{0xB3, 0xB8, 0xB7})) << payload;
    }
  }
}

// A recording still being written: codes written after a search ended are
// found by the next one, however the reader has kept the file's size.
TEST(Reader, CodesWrittenAfterTheEndAreFoundOnTheNextSearch) {
  const Bytes first = elementary_stream(5000, {{100, 0xB3}, {4000, 0xB8}});
  const std::string path = write_file("reader_growing.m2v", first);
  OpenReader in(path, false);
  EXPECT_EQ(in.all(), (std::vector<int>{0xB3, 0xB8}));
  for (int code : {0x00, 0xB7}) {
    FILE* f = fopen(path.c_str(), "ab");
    ASSERT_TRUE(f);
    const Bytes more = elementary_stream(3000, {{1000, static_cast<uint8_t>(code)}});
    fwrite(more.data(), 1, more.size(), f);
    fclose(f);
    EXPECT_EQ(in.all(), (std::vector<int>{code})) << code;
  }
}

TEST(Reader, LookAheadSeesZerosAfterTheLastByteAndReadsStopThere) {
  // A stream that ends in the middle of its codes, as slices do without an
  // end code: the last bits are still there to peek at and to read.
  Bytes es = {0, 0, 1, 0xB3, 0xA5, 0x5A, 0xC3};
  struct Case {
    const char* name;
    Bytes file;
    bool program_stream;
  } cases[] = {{"elementary", es, false},
               {"program", cat({pack_header(), pes(0xE0, es), pes(0xC0, {0xFF, 0xFD, 0x80, 0x00}),
                                pes(0xBE, {0xFF, 0xFF})}),
                true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OpenReader in(write_file("reader_tail.mpg", c.file), c.program_stream);
    ASSERT_EQ(in.next(), 0xB3);
    EXPECT_EQ(get_bits(in.r, in.pos, 4), 0xAu);
    EXPECT_EQ(show_bits(in.r, in.pos, 24), 0x55AC30u);
    EXPECT_EQ(show_bits(in.r, in.pos, 16), 0x55ACu);
    EXPECT_EQ(get_bits(in.r, in.pos, 20), 0x55AC3u);
    EXPECT_NE(in.pos, kReaderFailed);
    EXPECT_EQ(show_bits(in.r, in.pos, 8), 0u);
    EXPECT_EQ(get_bits(in.r, in.pos, 1), 0xFFFFFFFFu);
    EXPECT_EQ(in.pos, kReaderFailed);
    EXPECT_EQ(in.next(), -1);
  }
}

TEST(Reader, ProbeTellsProgramFromElementaryStreams) {
  struct Case {
    const char* name;
    Bytes bytes;
    bool found, program_stream;
  } cases[] = {
      {"pack header", cat({pack_header(), pes(0xE0, {1})}), true, true},
      {"sequence header", {0, 0, 1, 0xB3, 0x16, 0x00, 0xF0}, true, false},
      {"GOP header first", {0, 0, 1, 0xB8, 0, 0, 0, 0}, true, false},
      {"video packet after text", cat({{'a', 'b', 'c'}, pes(0xE0, {1})}), true, true},
      {"no start code", {'t', 'e', 'x', 't', 0, 0, 2, 0xBA}, false, false},
      {"empty", {}, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OpenReader in(write_file("reader_probe.mpg", c.bytes), false);
    bool program_stream = false;
    EXPECT_EQ(probe_program_stream(in.r, program_stream), c.found);
    if (c.found) {
      EXPECT_EQ(program_stream, c.program_stream);
    }
  }
}

TEST(Reader, DamagedPacketsEndTheDataWithoutReadingOutside) {
  Bytes good = pes(0xE0, {0, 0, 1, 0xB3, 1});
  Bytes header_past_packet = {0, 0, 1, 0xE0, 0, 4, 0x80, 0x00, 0xF0, 0};
  Bytes longer_than_file = {0, 0, 1, 0xE0, 0x40, 0x00, 0x80, 0, 0, 0, 0, 1, 0xB8};
  Bytes longer_than_buffer = cat({{0, 0, 1, 0xE0, 0xFF, 0xFF, 0x80, 0, 0}, Bytes(70000, 0x55)});
  struct Case {
    const char* name;
    Bytes tail;
  } cases[] = {{"header data past the packet", header_past_packet},
               {"packet longer than the file", longer_than_file},
               {"packet longer than the buffer", longer_than_buffer},
               {"cut inside a packet header", {0, 0, 1, 0xE0, 0}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OpenReader in(write_file("reader_damaged.mpg", cat({pack_header(), good, c.tail})), true);
    EXPECT_EQ(in.all(), (std::vector<int>{0xB3}));
  }
}

}  // namespace
