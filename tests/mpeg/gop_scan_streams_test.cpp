// The GOP scan on real streams: the display number it gives each GOP's I
// picture agrees with where ffprobe shows that I frame in display order.
#include "mpeg/gop_scan.h"

#include <gtest/gtest.h>

#include <memory>

#include "mpeg/headers.h"
#include "mpeg/session.h"
#include "tests/mpeg/ffprobe.h"
#include "tests/mpeg/stream_builder.h"

namespace {

// What a session knows after opening: the mode and the frame-rate record.
struct Stream {
  std::unique_ptr<OpenReader> in;
  std::unique_ptr<DecoderContext> ctx{new DecoderContext()};
  bool ok = false;
  explicit Stream(const std::string& path) {
    in.reset(new OpenReader(path, false));
    bool program_stream;
    if (!probe_program_stream(in->r, program_stream)) return;
    in->r.program_stream = program_stream;
    reader_seek(in->r, 0, FILE_SEEK_BEGIN);
    int code;
    while ((code = in->next()) >= 0 && code != 0xB3) {
    }
    if (code != 0xB3 || !parse_sequence_header(in->r, in->pos, *ctx)) return;
    while ((code = in->next()) >= 0 && code != 0x00) {
    }
    int32_t progressive = ctx->mpeg2 ? ctx->progressive_sequence : 1;
    if (code != 0 || !parse_picture_header(in->r, in->pos, ctx->picture, progressive)) return;
    sequence_frame_rate(*ctx, ctx->frame_rate.frame_rate_numerator, ctx->frame_rate.frame_rate_denominator);
    ctx->frame_rate.top_field_first = ctx->picture.has_coding_extension ? ctx->picture.top_field_first : 0;
    ctx->frame_rate.progressive_sequence = progressive;
    ok = true;
  }
};

// ffprobe's frames in display order: the display number of each I frame,
// counting a repeated frame (repeat_pict with the first frame's field
// order) as two, as the time codes of a 3:2 pulldown stream do.
std::vector<int64_t> ffprobe_i_frames(const std::string& path) {
  auto f = ffprobe("-select_streams v:0 -show_frames -show_entries frame=pict_type,repeat_pict,top_field_first", path);
  std::vector<int64_t> numbers;
  int64_t display = 0;
  std::string first_tff = f["frames.frame.0.top_field_first"];
  for (int i = 0;; ++i) {
    std::string prefix = "frames.frame." + std::to_string(i) + ".";
    auto type = f.find(prefix + "pict_type");
    if (type == f.end()) break;
    if (type->second == "I") numbers.push_back(display);
    bool twice = f[prefix + "repeat_pict"] != "0" && f[prefix + "top_field_first"] == first_tff;
    display += twice ? 2 : 1;
  }
  return numbers;
}

// (pulldown.m2v is not among them: mpeg2enc's time codes count the coded
// 23.976 frames while its frame rate code says 29.97, so the scan's check of
// the pictures counted against the time codes fails, as it should.)
TEST(GopScanStreams, IPictureDisplayNumbersMatchFfprobe) {
  const char* names[] = {"mpeg2_es_open_gop.m2v", "closed_gop.m2v", "drop_frame.m2v", "mpeg2_ps.mpg",
                         "mpeg1_system.mpg",      "mpeg1_es.m1v",   "interlaced.m2v", "hd1080.mpg"};
  std::vector<std::string> paths(names, names + sizeof names / sizeof *names);
  paths.push_back(data_path("fields420_bff_704x480.m2v"));
  for (const std::string& name : paths) {
    std::string path = stream_path(name);
    SCOPED_TRACE(path);
    Stream s(path);
    ASSERT_TRUE(s.ok);
    std::vector<int64_t> expected = ffprobe_i_frames(path);
    auto bytes = read_whole_file(path);
    std::vector<size_t> starts = gop_starts(bytes, s.in->r.program_stream);
    ASSERT_EQ(starts.size(), expected.size());
    ASSERT_GE(starts.size(), 2u);

    int64_t first = 0;
    int checked = 0;
    for (size_t k = 0; k < starts.size(); ++k) {
      SCOPED_TRACE("GOP " + std::to_string(k));
      reader_seek(s.in->r, static_cast<int64_t>(starts[k]), FILE_SEEK_BEGIN);
      s.in->pos = 0;
      int64_t result[3];
      ASSERT_EQ(scan_gop(s.in->r, s.in->pos, s.ctx->frame_rate, result), 1);
      // The time codes count from the stream's first one; ffprobe from 0.
      if (k == 0) first = result[GOP_I_DISPLAY_NUMBER];
      EXPECT_EQ(result[GOP_I_DISPLAY_NUMBER] - first, expected[k]);
      // The restart point is this GOP's sequence header or the GOP header itself.
      s.in->pos = seek_token(s.in->r, static_cast<uint64_t>(result[GOP_RESTART_TOKEN]));
      ASSERT_NE(s.in->pos, kReaderFailed);
      int code = s.in->next();
      EXPECT_TRUE(code == 0xB3 || code == 0xB8) << code;
      ++checked;
    }
    EXPECT_EQ(checked, static_cast<int>(starts.size()));
  }
}

}  // namespace
