// The decoder against ffmpeg's on every test stream: ffmpeg's samples go
// through the program's own colour conversion, so any difference is the
// decoder's. Prints the PSNR of every stream.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <map>
#include <vector>

#include "mpeg/colour.h"
#include "mpeg/session.h"
#include "tests/mpeg/ffprobe.h"

namespace {

struct Collect {
  std::vector<int64_t> indices;
  std::vector<std::vector<uint8_t>> bgr;
  size_t size;
};

int collect(void* user, int64_t index, const uint8_t* pixels) {
  Collect& c = *static_cast<Collect*>(user);
  c.indices.push_back(index);
  c.bgr.emplace_back(pixels, pixels + c.size);
  return 1;
}

// One line per frame of ffprobe: picture type and whether it is interlaced.
struct FfFrame {
  char type;
  int interlaced;
};

std::vector<FfFrame> probe_frames(const std::string& path) {
  std::string out = run_command("ffprobe -v error -select_streams v:0 -show_entries "
                                "frame=pict_type,interlaced_frame -of csv=p=0 '" + path + "'");
  std::vector<FfFrame> frames;
  size_t at = 0;
  while (at < out.size()) {
    size_t end = out.find('\n', at);
    if (end == std::string::npos) end = out.size();
    std::string line = out.substr(at, end - at);
    at = end + 1;
    size_t comma = line.find(',');
    if (comma == std::string::npos) continue;
    frames.push_back(FfFrame{line[0], atoi(line.c_str() + comma + 1)});
  }
  return frames;
}

// ffmpeg's decoded samples of every frame in display order.
std::string ffmpeg_raw(const std::string& path, const char* pix_fmt) {
  return run_command("ffmpeg -nostdin -v error -threads 1 -i '" + path +
                     "' -map 0:v:0 -fps_mode passthrough -f rawvideo -pix_fmt " + pix_fmt + " -");
}

// ffmpeg's frame at `data` converted with the program's rules.
std::vector<uint8_t> convert_reference(const uint8_t* data, const ColourSequence& seq, int height_rows,
                                       int progressive, const BitmapHeader& bitmap) {
  const int w = seq.horizontal_size, h = seq.vertical_size, stride = seq.stride;
  const int cw = seq.chroma_format == 3 ? w : (w + 1) / 2;
  const int ch = seq.chroma_format == 1 ? (h + 1) / 2 : h;
  std::vector<uint8_t> planes(3 * static_cast<size_t>(stride) * height_rows + 16);
  YuvPlanes p = {planes.data(), planes.data() + stride * height_rows,
                 planes.data() + 2 * stride * height_rows, stride, height_rows, seq.chroma_format};
  const int chroma_rows = seq.chroma_format == 1 ? height_rows / 2 : height_rows;
  // Rows and columns past the picture repeat its edge, as an encoder pads.
  auto fill = [&](uint8_t* plane, const uint8_t* src, int sw, int sh, int rows, int cols) {
    for (int y = 0; y < rows; ++y)
      for (int x = 0; x < cols; ++x)
        plane[y * stride + x] = src[(y < sh ? y : sh - 1) * sw + (x < sw ? x : sw - 1)];
  };
  const int chroma_cols = seq.chroma_format == 3 ? stride : stride / 2;
  fill(p.y, data, w, h, height_rows, stride);
  fill(p.cb, data + w * h, cw, ch, chroma_rows, chroma_cols);
  fill(p.cr, data + w * h + cw * ch, cw, ch, chroma_rows, chroma_cols);
  upsample_chroma(p, progressive);
  std::vector<uint8_t> bgr(bitmap.biSizeImage);
  convert_to_bgr(p, build_colour_conversion(seq), bgr.data());
  return bgr;
}

double psnr(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b, const ColourSequence& seq,
            int row_bytes) {
  double sum = 0;
  for (int y = 0; y < seq.vertical_size; ++y)
    for (int x = 0; x < 3 * seq.horizontal_size; ++x) {
      const double d = static_cast<double>(a[y * row_bytes + x]) - b[y * row_bytes + x];
      sum += d * d;
    }
  const double mse = sum / (3.0 * seq.horizontal_size * seq.vertical_size);
  return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

// ffmpeg's frames of a stream in display order, each converted on demand
// with the program's rules.
struct FfmpegFrames {
  ColourSequence seq;
  BitmapHeader bitmap;
  std::string raw;
  std::vector<FfFrame> kinds;
  size_t frame_bytes = 1;

  size_t count() const { return raw.size() / frame_bytes; }
  int row_bytes() const { return static_cast<int>(bitmap.biSizeImage / seq.vertical_size); }
  FfFrame kind(size_t n) const { return n < kinds.size() ? kinds[n] : FfFrame{'?', 0}; }
  std::vector<uint8_t> bgr(size_t n) const {
    return convert_reference(reinterpret_cast<const uint8_t*>(raw.data()) + n * frame_bytes, seq,
                             (seq.vertical_size + 31) & ~31, !kind(n).interlaced, bitmap);
  }
};

FfmpegFrames ffmpeg_frames(const std::string& path, const ColourSequence& seq, const BitmapHeader& bitmap) {
  FfmpegFrames f;
  f.seq = seq;
  f.bitmap = bitmap;
  const char* pix_fmt = seq.chroma_format == 1 ? "yuv420p" : (seq.chroma_format == 2 ? "yuv422p" : "yuv444p");
  f.raw = ffmpeg_raw(path, pix_fmt);
  f.kinds = probe_frames(path);
  const size_t w = static_cast<size_t>(seq.horizontal_size), h = static_cast<size_t>(seq.vertical_size);
  const size_t chroma = seq.chroma_format == 3   ? w * h
                        : seq.chroma_format == 2 ? (w + 1) / 2 * h
                                                 : (w + 1) / 2 * ((h + 1) / 2);
  f.frame_bytes = w * h + 2 * chroma;
  return f;
}

int first_only(void* user, int64_t index, const uint8_t*) {
  *static_cast<int64_t*>(user) = index;
  return 0;
}

// mpegframe's display index and frame for a position (`where`: --permille N
// or --pos BYTES); false when it rendered none.
bool mpegframe_render(const std::string& path, const std::string& where, const std::string& bmp,
                      int64_t& index, std::vector<uint8_t>& pixels, size_t size) {
  const std::string out = run_command(std::string(MPEGFRAME_PATH) + " '" + path + "' " + where +
                                      " --out '" + bmp + "' 2>/dev/null");
  const size_t at = out.find("display_index ");
  if (at == std::string::npos) return false;
  index = atoll(out.c_str() + at + 14);
  FILE* f = fopen(bmp.c_str(), "rb");
  if (!f) return false;
  pixels.assign(size, 0);
  fseek(f, 54, SEEK_SET);
  const bool ok = fread(pixels.data(), 1, size, f) == size;
  fclose(f);
  return ok;
}

TEST(RenderStreams, FrameAtPermilleIsFfmpegsFrameOfItsIndex) {
  for (const std::string& name : all_test_streams()) {
    if (name.compare(0, 8, "pulldown") == 0) continue;  // see PulldownGopsShowTheirIPictures
    const std::string path = stream_path(name);
    SCOPED_TRACE(path);
    BitmapHeader bitmap;
    ASSERT_EQ(preview_open(path.c_str(), nullptr, &bitmap, nullptr), 1);
    ColourSequence seq;
    ASSERT_EQ(preview_colour_sequence(seq), 1);
    std::vector<uint8_t> scratch(bitmap.biSizeImage);
    int64_t first = -1;
    preview_decode_all(scratch.data(), first_only, &first);
    preview_close();
    ASSERT_GE(first, 0);

    const FfmpegFrames ff = ffmpeg_frames(path, seq, bitmap);
    // The start, the middle, the last GOP (its header, or the packet that
    // holds it) and the end of the file, past which no GOP begins, so the
    // last one is shown.
    const std::vector<size_t> gops = gop_starts(read_whole_file(path), path.find(".mpg") != std::string::npos);
    ASSERT_FALSE(gops.empty());
    struct Where {
      std::string name, args;
      bool frame;
    } places[] = {{"0 permille", "--permille 0", true},
                  {"500 permille", "--permille 500", true},
                  {"last GOP", "--pos " + std::to_string(gops.back()), true},
                  {"1000 permille", "--permille 1000", true}};
    for (const Where& at : places) {
      SCOPED_TRACE(at.name);
      int64_t index = -1;
      std::vector<uint8_t> ours;
      const std::string bmp = std::string(MPEG_STREAM_DIR) + "/render_test.bmp";
      const bool rendered = mpegframe_render(path, at.args, bmp, index, ours, bitmap.biSizeImage);
      EXPECT_EQ(rendered, at.frame);
      if (!rendered) {
        printf("%-40s %-13s no frame\n", name.c_str(), at.name.c_str());
        continue;
      }
      const size_t n = static_cast<size_t>(index - first);
      ASSERT_LT(n, ff.count());
      const FfFrame kind = ff.kind(n);
      const double p = psnr(ours, ff.bgr(n), seq, ff.row_bytes());
      printf("%-40s %-13s display index %lld (%c) %.2f dB\n", name.c_str(), at.name.c_str(),
             static_cast<long long>(index), kind.type, p);
      EXPECT_EQ(kind.type, 'I');
      EXPECT_GE(p, 48.0);
      if (at.name == "last GOP" || at.name == "1000 permille") {
        size_t last_i = 0;
        for (size_t k = 0; k < ff.kinds.size(); ++k)
          if (ff.kinds[k].type == 'I') last_i = k;
        EXPECT_EQ(n, last_i);
      }
    }
  }
}

TEST(DecodeStreams, EveryFrameMatchesFfmpeg) {
  for (const std::string& name : all_test_streams()) {
    // Their GOP time codes do not count the repeated fields, so the frame
    // numbers are not ffmpeg's (see PulldownGopsShowTheirIPictures).
    if (name.compare(0, 8, "pulldown") == 0) continue;
    const std::string path = stream_path(name);
    SCOPED_TRACE(path);
    BitmapHeader bitmap;
    ASSERT_EQ(preview_open(path.c_str(), nullptr, &bitmap, nullptr), 1);
    ColourSequence seq;
    ASSERT_EQ(preview_colour_sequence(seq), 1);
    Collect ours;
    ours.size = bitmap.biSizeImage;
    std::vector<uint8_t> pixels(bitmap.biSizeImage);
    const int64_t count = preview_decode_all(pixels.data(), collect, &ours);
    preview_close();
    ASSERT_GT(count, 0);

    const FfmpegFrames ff = ffmpeg_frames(path, seq, bitmap);

    // Our frames are numbered from the first GOP's time code; ffmpeg's from 0.
    const int64_t first = ours.indices.front();
    double worst_i = 99, worst = 99;
    size_t compared = 0;
    for (size_t k = 0; k < ours.indices.size(); ++k) {
      const size_t n = static_cast<size_t>(ours.indices[k] - first);
      if (n >= ff.count()) break;
      const FfFrame kind = ff.kind(n);
      const double p = psnr(ours.bgr[k], ff.bgr(n), seq, ff.row_bytes());
      if (kind.type == 'I' && p < worst_i) worst_i = p;
      if (p < worst) worst = p;
      ++compared;
      if (getenv("DECODE_VERBOSE")) printf("  %zu %c %.2f\n", n, kind.type, p);
      if (p < 40) ADD_FAILURE() << "frame " << n << " (" << kind.type << ") " << p << " dB";
    }
    printf("%-40s frames %zu/%zu  worst I %.2f dB  worst %.2f dB\n", name.c_str(), compared, ff.count(),
           worst_i, worst);
    EXPECT_GE(worst_i, 48.0);
    EXPECT_GE(worst, 40.0);
    // Every frame to the file's last byte, as many as ffmpeg's.
    EXPECT_EQ(compared, ff.count());
    EXPECT_EQ(ours.indices.size(), ff.count());
  }
}

}  // namespace

namespace {

// A recording still being written ends anywhere, inside a picture or a
// packet: everything before the cut decodes as in the whole file, and only
// the pictures that need the cut one may differ.
TEST(DecodeStreams, AStreamCutAnywhereDecodesAsFarAsItGoes) {
  for (const char* name : {"mpeg2_ps.mpg", "interlaced.m2v", "mpeg1_es.m1v", "mp3_ps.mpg", "mpeg1_system.mpg"}) {
    const std::string path = stream_path(name);
    SCOPED_TRACE(path);
    BitmapHeader bitmap;
    ASSERT_EQ(preview_open(path.c_str(), nullptr, &bitmap, nullptr), 1);
    Collect whole;
    whole.size = bitmap.biSizeImage;
    std::vector<uint8_t> pixels(bitmap.biSizeImage);
    ASSERT_GT(preview_decode_all(pixels.data(), collect, &whole), 0);
    const std::vector<unsigned char> bytes = read_whole_file(path);
    for (int percent : {35, 70, 95}) {
      SCOPED_TRACE(percent);
      const size_t cut = bytes.size() * percent / 100;
      const std::string cut_path = std::string(MPEG_STREAM_DIR) + "/cut_" + name;
      FILE* f = fopen(cut_path.c_str(), "wb");
      ASSERT_TRUE(f);
      fwrite(bytes.data(), 1, cut, f);
      fclose(f);
      ASSERT_EQ(preview_open(cut_path.c_str(), nullptr, &bitmap, nullptr), 1);
      Collect part;
      part.size = bitmap.biSizeImage;
      preview_decode_all(pixels.data(), collect, &part);
      ASSERT_GE(part.indices.size(), 4u);
      EXPECT_LT(part.indices.size(), whole.indices.size());
      const int64_t last = part.indices.back();
      size_t same = 0;
      for (size_t k = 0; k < part.indices.size(); ++k) {
        if (part.indices[k] + 3 > last) continue;
        const size_t n = static_cast<size_t>(part.indices[k] - whole.indices.front());
        ASSERT_LT(n, whole.indices.size());
        ASSERT_EQ(whole.indices[n], part.indices[k]);
        EXPECT_TRUE(part.bgr[k] == whole.bgr[n]) << "frame " << part.indices[k];
        ++same;
      }
      printf("%-24s cut at %d%%: %zu frames, %zu as in the whole file\n", name, percent,
             part.indices.size(), same);
    }
    preview_close();
  }
}

}  // namespace

namespace {

// Offsets of the I picture start codes of a stream.
std::vector<size_t> i_picture_starts(const std::vector<unsigned char>& b) {
  std::vector<size_t> starts;
  for (size_t i = 0; i + 5 < b.size(); ++i)
    if (b[i] == 0 && b[i + 1] == 0 && b[i + 2] == 1 && b[i + 3] == 0 && ((b[i + 5] >> 3) & 7) == 1)
      starts.push_back(i);
  return starts;
}

// The live end of a recording often lies inside an I picture: render shows
// a whole earlier frame, exactly as the whole file decodes it, or nothing,
// never the cut picture with stale rows.
TEST(RenderStreams, CutInsideAnIPictureShowsOnlyWholeFrames) {
  for (const std::string& name : {std::string("mpeg2_ps.mpg"), std::string("interlaced.m2v"),
                                  data_path("fields420_bff_704x480.m2v")}) {
    const std::string path = stream_path(name);
    SCOPED_TRACE(path);
    BitmapHeader bitmap;
    ASSERT_EQ(preview_open(path.c_str(), nullptr, &bitmap, nullptr), 1);
    Collect whole;
    whole.size = bitmap.biSizeImage;
    std::vector<uint8_t> pixels(bitmap.biSizeImage);
    ASSERT_GT(preview_decode_all(pixels.data(), collect, &whole), 0);
    const std::vector<unsigned char> bytes = read_whole_file(path);
    const std::vector<size_t> pictures = i_picture_starts(bytes);
    ASSERT_GE(pictures.size(), 2u);
    const size_t picture = pictures[1];
    // The I picture's coded size: up to the next picture start code.
    size_t next = picture + 4;
    while (next + 3 < bytes.size() && !(bytes[next] == 0 && bytes[next + 1] == 0 &&
                                        bytes[next + 2] == 1 && bytes[next + 3] == 0))
      ++next;
    const std::vector<size_t> gops = gop_starts(bytes, name.find(".mpg") != std::string::npos);
    size_t gop = 0;
    for (size_t g : gops)
      if (g < picture) gop = g;
    int rendered = 0;
    for (int tenth : {1, 4, 7, 9}) {
      const size_t cut = picture + (next - picture) * tenth / 10;
      SCOPED_TRACE(cut);
      const std::string cut_path = std::string(MPEG_STREAM_DIR) + "/cut_i.bin";
      FILE* f = fopen(cut_path.c_str(), "wb");
      ASSERT_TRUE(f);
      fwrite(bytes.data(), 1, cut, f);
      fclose(f);
      ASSERT_EQ(preview_open(cut_path.c_str(), nullptr, &bitmap, nullptr), 1);
      for (int64_t position : {static_cast<int64_t>(gop), static_cast<int64_t>(cut)}) {
        int64_t shown = -1;
        if (!preview_render(position, pixels.data(), &shown)) continue;
        ++rendered;
        const size_t n = static_cast<size_t>(shown - whole.indices.front());
        ASSERT_LT(n, whole.indices.size());
        EXPECT_TRUE(pixels == whole.bgr[n]) << "frame " << shown << " from " << position;
      }
    }
    EXPECT_EQ(rendered, 8);  // the GOP before the cut one
    preview_close();
  }
}

}  // namespace

namespace {

// mpeg2enc's 3:2 pulldown, alone and muxed by mplex: its GOP time codes
// count coded frames while the frame rate says 29.97, so they disagree
// with the pictures counted. Every GOP still shows its own I picture.
TEST(RenderStreams, PulldownGopsShowTheirIPictures) {
  for (const char* name : {"pulldown.m2v", "pulldown_ps.mpg"}) {
    const std::string path = stream_path(name);
    SCOPED_TRACE(path);
    BitmapHeader bitmap;
    ASSERT_EQ(preview_open(path.c_str(), nullptr, &bitmap, nullptr), 1);
    ColourSequence seq;
    ASSERT_EQ(preview_colour_sequence(seq), 1);
    const FfmpegFrames ff = ffmpeg_frames(path, seq, bitmap);
    std::vector<size_t> i_frames;
    for (size_t k = 0; k < ff.kinds.size() && k < ff.count(); ++k)
      if (ff.kinds[k].type == 'I') i_frames.push_back(k);
    const std::vector<unsigned char> bytes = read_whole_file(path);
    const std::vector<size_t> gops = gop_starts(bytes, std::string(name).find(".mpg") != std::string::npos);
    ASSERT_EQ(gops.size(), i_frames.size());
    ASSERT_GE(gops.size(), 2u);
    std::vector<uint8_t> pixels(bitmap.biSizeImage);
    int64_t last_shown = -1;
    // Each GOP from its start, then the middle and the end of the file.
    std::vector<std::pair<size_t, size_t>> places;  // position, GOP shown
    for (size_t k = 0; k < gops.size(); ++k) places.push_back({gops[k], k});
    size_t middle_gop = 0;
    while (middle_gop + 1 < gops.size() && gops[middle_gop] < bytes.size() / 2) ++middle_gop;
    places.push_back({bytes.size() / 2, middle_gop});
    places.push_back({bytes.size(), gops.size() - 1});
    for (size_t k = 0; k < places.size(); ++k) {
      const auto& at = places[k];
      SCOPED_TRACE(at.first);
      int64_t shown = -1;
      ASSERT_EQ(preview_render(static_cast<int64_t>(at.first), pixels.data(), &shown), 1);
      const double p = psnr(pixels, ff.bgr(i_frames[at.second]), seq, ff.row_bytes());
      printf("%-16s at %7zu: display index %lld, GOP %zu %.2f dB\n", name, at.first,
             static_cast<long long>(shown), at.second, p);
      EXPECT_GE(p, 48.0);
      if (k < gops.size()) {
        EXPECT_GT(shown, last_shown);  // GOP by GOP, later numbers
        last_shown = shown;
      }
    }
    preview_close();
  }
}

}  // namespace
