// Fuzzes decoding with streams built from the fuzzer's bytes: the bytes
// choose every field of the sequence header, its extensions, the GOP and the
// picture headers (sizes from 1 to 4096, chroma formats, progressive flags,
// picture_structure 0..3, f_codes, matrices, DC precision, scan and VLC
// flags, field pairs), and the slices are fuzzer bytes. The stream goes out
// as an elementary stream or multiplexed with sound, private and padding
// packets between the video ones, then a session opens it and renders at
// several positions. Byte mutation alone seldom builds a header combination
// that decodes far enough to reach the slice and prediction code.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "mpeg/session.h"
#include "tools/fuzz/fuzz_file.h"
#include "tests/mpeg/stream_builder.h"

namespace {

// The tests' bit writer, and raw bytes after it.
struct Bits : BitWriter {
  void raw(const Bytes& b) {
    used = 8;
    bytes.insert(bytes.end(), b.begin(), b.end());
  }
};

// Mostly the sizes whose macroblock counts are edge cases, sometimes any.
uint32_t picture_size(FuzzedDataProvider& in) {
  static const uint16_t kEdges[] = {1, 2, 8, 15, 16, 17, 24, 31, 32, 33, 47, 48, 63, 64, 65, 96, 720, 4096};
  if (in.ConsumeBool()) return kEdges[in.ConsumeIntegralInRange<size_t>(0, sizeof kEdges / sizeof kEdges[0] - 1)];
  return in.ConsumeIntegralInRange<uint32_t>(1, 4096);
}

struct Sequence {
  bool mpeg2;
  uint32_t width, height;
  int progressive_sequence, chroma_format;
};

void put_matrix(Bits& w, FuzzedDataProvider& in) {
  for (int i = 0; i < 64; ++i) w.put(in.ConsumeIntegral<uint8_t>(), 8);
}

Sequence put_sequence(Bits& w, FuzzedDataProvider& in) {
  Sequence s;
  s.mpeg2 = in.ConsumeBool();
  s.width = picture_size(in);
  s.height = picture_size(in);
  // Bounded area so that a run stays fast; either side may still be 4096.
  while (s.width * s.height > 1024 * 512) s.height = (s.height + 1) / 2;
  w.start_code(0xB3);
  w.put(s.width & 0xFFF, 12);
  w.put(s.height & 0xFFF, 12);
  w.put(in.ConsumeIntegralInRange<uint32_t>(0, 15), 4);  // aspect_ratio_information
  w.put(in.ConsumeIntegralInRange<uint32_t>(0, 15), 4);  // frame_rate_code
  w.put(in.ConsumeIntegral<uint32_t>() & 0x3FFFF, 18);
  w.put(1, 1);
  w.put(in.ConsumeIntegral<uint16_t>() & 0x3FF, 10);
  w.put(in.ConsumeBool(), 1);  // constrained_parameters_flag
  for (int matrix = 0; matrix < 2; ++matrix) {
    const bool load = in.ConsumeBool();
    w.put(load, 1);
    if (load) put_matrix(w, in);
  }
  s.progressive_sequence = 1;
  s.chroma_format = 1;
  if (!s.mpeg2) return s;
  s.progressive_sequence = in.ConsumeBool();
  s.chroma_format = in.ConsumeIntegralInRange<int>(0, 3);
  w.start_code(0xB5);
  w.put(1, 4);
  w.put(in.ConsumeIntegral<uint8_t>(), 8);  // profile_and_level_indication
  w.put(s.progressive_sequence, 1);
  w.put(s.chroma_format, 2);
  w.put(s.width >> 12, 2);
  w.put(s.height >> 12, 2);
  w.put(in.ConsumeIntegral<uint16_t>() & 0xFFF, 12);  // bit_rate_extension
  w.put(1, 1);
  w.put(in.ConsumeIntegral<uint8_t>(), 8);
  w.put(in.ConsumeBool(), 1);  // low_delay
  w.put(in.ConsumeIntegralInRange<uint32_t>(0, 3), 2);
  w.put(in.ConsumeIntegralInRange<uint32_t>(0, 31), 5);
  if (in.ConsumeBool()) {  // sequence display extension
    w.start_code(0xB5);
    w.put(2, 4);
    w.put(in.ConsumeIntegralInRange<uint32_t>(0, 7), 3);
    const bool colour = in.ConsumeBool();
    w.put(colour, 1);
    if (colour) w.put(in.ConsumeIntegral<uint32_t>() & 0xFFFFFF, 24);
    w.put(in.ConsumeIntegral<uint16_t>() & 0x3FFF, 14);
    w.put(1, 1);
    w.put(in.ConsumeIntegral<uint16_t>() & 0x3FFF, 14);
  }
  return s;
}

void put_gop(Bits& w, FuzzedDataProvider& in) {
  w.start_code(0xB8);
  w.put(in.ConsumeBool(), 1);                            // drop_frame_flag
  w.put(in.ConsumeIntegralInRange<uint32_t>(0, 2), 5);   // hours
  w.put(in.ConsumeIntegralInRange<uint32_t>(0, 59), 6);  // minutes
  w.put(1, 1);
  w.put(in.ConsumeIntegralInRange<uint32_t>(0, 59), 6);  // seconds
  w.put(in.ConsumeIntegralInRange<uint32_t>(0, 63), 6);  // pictures
  w.put(in.ConsumeBool(), 1);                            // closed_gop
  w.put(in.ConsumeBool(), 1);                            // broken_link
}

// A picture header with its extensions; the picture_structure written.
int put_picture_header(Bits& w, FuzzedDataProvider& in, const Sequence& s, uint32_t type, int structure) {
  w.start_code(0x00);
  w.put(in.ConsumeIntegral<uint16_t>() & 0x3FF, 10);  // temporal_reference
  w.put(type, 3);
  w.put(in.ConsumeIntegral<uint16_t>(), 16);  // vbv_delay
  if (type == 2 || type == 3) {
    w.put(in.ConsumeBool(), 1);
    w.put(in.ConsumeIntegralInRange<uint32_t>(0, 7), 3);
  }
  if (type == 3) {
    w.put(in.ConsumeBool(), 1);
    w.put(in.ConsumeIntegralInRange<uint32_t>(0, 7), 3);
  }
  w.put(0, 1);  // extra_bit_picture
  if (!s.mpeg2) return 3;
  w.start_code(0xB5);
  w.put(8, 4);
  for (int f = 0; f < 4; ++f) w.put(in.ConsumeIntegralInRange<uint32_t>(0, 15), 4);  // f_code
  w.put(in.ConsumeIntegralInRange<uint32_t>(0, 3), 2);  // intra_dc_precision
  w.put(static_cast<uint32_t>(structure), 2);
  for (int flag = 0; flag < 9; ++flag) w.put(in.ConsumeBool(), 1);  // top_field_first .. progressive_frame
  w.put(0, 1);  // composite_display_flag
  if (in.ConsumeBool()) {  // quant matrix extension
    w.start_code(0xB5);
    w.put(3, 4);
    for (int matrix = 0; matrix < 4; ++matrix) {
      const bool load = in.ConsumeBool();
      w.put(load, 1);
      if (load) put_matrix(w, in);
    }
  }
  return structure;
}

// Slices of fuzzer bytes, mostly at rows the picture has.
void put_slices(Bits& w, FuzzedDataProvider& in, const Sequence& s) {
  const uint32_t rows = (s.height + 15) / 16;
  const int count = in.ConsumeIntegralInRange<int>(0, 8);
  for (int i = 0; i < count; ++i) {
    uint32_t row = in.ConsumeBool() ? in.ConsumeIntegralInRange<uint32_t>(1, 0xAF)
                                    : 1 + in.ConsumeIntegralInRange<uint32_t>(0, rows > 0xAF ? 0xAE : rows);
    w.start_code(static_cast<uint8_t>(row));
    if (s.mpeg2 && s.height > 2800) w.put(in.ConsumeIntegralInRange<uint32_t>(0, 7), 3);
    w.put(in.ConsumeIntegralInRange<uint32_t>(1, 31), 5);  // quantiser_scale_code
    w.put(0, 1);                                           // extra_bit_slice
    w.raw(in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 400)));
  }
}

Bytes build_elementary(FuzzedDataProvider& in, Sequence& s) {
  Bits w;
  s = put_sequence(w, in);
  const int groups = in.ConsumeIntegralInRange<int>(1, 3);
  for (int g = 0; g < groups; ++g) {
    if (g > 0 && in.ConsumeBool()) put_sequence(w, in);
    put_gop(w, in);
    const int pictures = in.ConsumeIntegralInRange<int>(1, 6);
    for (int p = 0; p < pictures; ++p) {
      const uint32_t type = p == 0 ? 1 : in.ConsumeIntegralInRange<uint32_t>(0, 7);
      const int structure = put_picture_header(w, in, s, type, in.ConsumeIntegralInRange<int>(0, 3));
      put_slices(w, in, s);
      if (structure == 1 || structure == 2) {  // its other field, mostly
        const int second = in.ConsumeBool() ? 3 - structure : in.ConsumeIntegralInRange<int>(0, 3);
        const uint32_t type2 = in.ConsumeBool() ? type : in.ConsumeIntegralInRange<uint32_t>(1, 3);
        put_picture_header(w, in, s, type2, second);
        put_slices(w, in, s);
      }
    }
  }
  if (in.ConsumeBool()) w.start_code(0xB7);
  return w.bytes;
}

void put_pes(Bytes& out, uint8_t id, const Bytes& payload, bool mpeg2) {
  const size_t header = mpeg2 ? 3 : 1;
  const size_t length = header + payload.size();
  for (uint8_t b : {0, 0, 1, static_cast<int>(id), static_cast<int>(length >> 8), static_cast<int>(length & 0xFF)})
    out.push_back(b);
  if (mpeg2) {
    out.push_back(0x80);
    out.push_back(0x00);
    out.push_back(0x00);
  } else {
    out.push_back(0x0F);
  }
  out.insert(out.end(), payload.begin(), payload.end());
}

// The elementary stream in video packets of chosen sizes behind packs, with
// sound (which may hold packet start codes), private and padding packets.
Bytes multiplex(FuzzedDataProvider& in, const Bytes& es, bool mpeg2) {
  static const uint8_t kOthers[] = {0xC0, 0xC1, 0xBD, 0xBE, 0xBF, 0xBC, 0xFF};
  static const uint8_t kPack2[] = {0, 0, 1, 0xBA, 0x44, 0, 4, 0, 4, 1, 0, 0, 3, 0xF8};
  static const uint8_t kPack1[] = {0, 0, 1, 0xBA, 0x21, 0, 1, 0, 1, 0x80, 0x1B, 0x83};
  Bytes out;
  size_t at = 0;
  while (at < es.size()) {
    if (mpeg2) out.insert(out.end(), kPack2, kPack2 + sizeof kPack2);
    else out.insert(out.end(), kPack1, kPack1 + sizeof kPack1);
    const size_t n = std::min(es.size() - at, in.ConsumeIntegralInRange<size_t>(1, 2500));
    put_pes(out, 0xE0, Bytes(es.begin() + at, es.begin() + at + n), mpeg2);
    at += n;
    const int others = in.ConsumeIntegralInRange<int>(0, 2);
    for (int k = 0; k < others; ++k) {
      Bytes payload = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 300));
      if (in.ConsumeBool() && payload.size() >= 8) {  // a video packet start inside it
        const size_t p = in.ConsumeIntegralInRange<size_t>(0, payload.size() - 8);
        static const uint8_t kFake[] = {0, 0, 1, 0xE0, 0, 2, 0x0F, 0};
        std::copy(kFake, kFake + 8, payload.begin() + static_cast<long>(p));
      }
      put_pes(out, kOthers[in.ConsumeIntegralInRange<size_t>(0, sizeof kOthers - 1)], payload, mpeg2);
    }
  }
  return out;
}

int count_frames(void* user, int64_t, const uint8_t*) { return ++*static_cast<int*>(user) < 30; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = FuzzFile("structured");
  FuzzedDataProvider in(data, size);
  const bool program_stream = in.ConsumeBool();
  Sequence s;
  Bytes stream = build_elementary(in, s);
  if (program_stream) stream = multiplex(in, stream, s.mpeg2);
  // A short elementary stream that one read takes whole shows nothing.
  stream.resize(stream.size() + in.ConsumeIntegralInRange<size_t>(0, 40000), 0xFF);
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return 0;
  fwrite(stream.data(), 1, stream.size(), f);
  fclose(f);
  BitmapHeader bitmap;
  if (preview_open(path.c_str(), nullptr, &bitmap, nullptr)) {
    std::vector<uint8_t> pixels(bitmap.biSizeImage);
    const size_t n = stream.size();
    for (size_t position : {size_t{0}, n / 3, n / 2, n - n / 8, size_t{0}})
      preview_render(static_cast<int64_t>(position), pixels.data());
    int frames = 0;
    preview_decode_all(pixels.data(), count_frames, &frames);
  }
  preview_close();
  return 0;
}
