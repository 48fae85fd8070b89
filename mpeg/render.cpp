// The session's picture loop and the two ways it is used.
#include "mpeg/render.h"

#include <cstring>

#include "mpeg/display.h"
#include "mpeg/gop_scan.h"
#include "mpeg/headers.h"
#include "mpeg/slice.h"

namespace {

struct Loop {
  Reader& r;
  uint32_t& pos;
  DecoderContext& ctx;
  OutputVisitor visit;
  void* user;
  int64_t emitted;  // display index of the last picture handed to visit
  bool stopped;
  bool drop_shown;  // nothing looks back: shown pictures go back to the pool

  // Hands the queue's new entries to the visitor, in display order.
  void Emit() {
    const DisplayQueue& q = ctx.display_queue;
    for (int i = 0; i < q.count && !stopped; ++i) {
      if (q.records[i].display_index <= emitted) continue;
      emitted = q.records[i].display_index;
      if (!visit(user, q.records[i], q.pictures[i])) stopped = true;
    }
    if (drop_shown) display_queue_drop_through(ctx.display_queue, emitted);
  }

  PredictionPictures Pictures(int type, Picture* current) const {
    Picture* const* refs = ctx.reference_pictures;
    PredictionPictures p = {refs[FORWARD_REFERENCE], nullptr, current};
    if (type == 3) p.backward = refs[BACKWARD_REFERENCE];
    if (type == 1) p.forward = nullptr;
    return p;
  }

  // The second field of a field picture, when the next picture is the
  // opposite field. 1 when all its slices were decoded.
  int SecondField(Picture* current) {
    uint32_t code = 0;
    do {  // past slices that lie beyond the first field
      code = 0;
      if (!next_start_code(r, pos, reader_budget(r, kSearchBudget), code)) return 0;
    } while (code >= 1 && code <= SLICE_START_CODE_LAST);
    if (code != PICTURE_START_CODE) return 0;
    const uint64_t header_start = stream_token(r, pos - 4);
    PictureHeader second;
    const int32_t progressive = ctx.mpeg2 ? ctx.progressive_sequence : 1;
    if (!parse_picture_header(r, pos, second, progressive)) return 0;
    if (second.picture_structure != 3 - ctx.picture.picture_structure || second.picture_coding_type < 1 ||
        second.picture_coding_type > 3) {
      pos = seek_token(r, header_start);  // the loop decodes it as a picture of its own
      r.bits_left = 8;
      return 0;
    }
    setup_picture(second, ctx.slice_state);
    ctx.slice_state.second_field = 1;
    return decode_picture_slices(r, pos, Pictures(second.picture_coding_type, current), ctx.slice_state);
  }

  // 1 when the whole picture, both fields of a field pair, was decoded; the
  // lines of a missing second field are black, never stale storage.
  int Decode(int type, Picture* current) {
    const int first = decode_picture_slices(r, pos, Pictures(type, current), ctx.slice_state);
    if (ctx.picture.picture_structure == PICTURE_FRAME) return first;
    if (SecondField(current)) return first;
    BlackenField(current, ctx.picture.picture_structure == PICTURE_TOP_FIELD);
    return 0;
  }

  void BlackenField(Picture* p, int bottom) {
    const int chroma_rows = ctx.slice_state.chroma_format == 1 ? p->height / 2 : p->height;
    for (int y = bottom; y < p->height; y += 2) memset(p->y + y * p->width, 16, p->width);
    for (int y = bottom; y < chroma_rows; y += 2) {
      memset(p->cb + y * p->width, 128, p->width);
      memset(p->cr + y * p->width, 128, p->width);
    }
  }

  // One coded picture after its start code. 0 when out of memory.
  int Picture_() {
    const int32_t progressive = ctx.mpeg2 ? ctx.progressive_sequence : 1;
    if (!parse_picture_header(r, pos, ctx.picture, progressive)) return 1;
    const int type = ctx.picture.picture_coding_type;
    if (type < 1 || type > 3) return 1;  // D pictures are not decoded
    if (ctx.picture.picture_structure == 0) return 1;  // reserved: neither frame nor field
    setup_picture(ctx.picture, ctx.slice_state);
    ctx.slice_state.second_field = 0;
    Picture* p = picture_new(ctx.coded_width, ctx.coded_height);
    if (!p) return 0;
    display_begin_picture(ctx, ctx.picture);
    Picture** refs = ctx.reference_pictures;
    refs[CURRENT_PICTURE] = p;
    if (type == 3) {
      if (!refs[FORWARD_REFERENCE] || !refs[BACKWARD_REFERENCE]) {
        picture_release(p);
        refs[CURRENT_PICTURE] = nullptr;
        return 1;
      }
      ctx.display_records[DECODING_RECORD].complete = Decode(type, p);
      display_output_b_picture(ctx);
      Emit();
      return 1;
    }
    display_move_references(ctx);  // p is now the newer reference
    Emit();
    if (stopped) return 1;
    if (type == 2 && !refs[FORWARD_REFERENCE]) {
      picture_release(p);
      refs[BACKWARD_REFERENCE] = nullptr;
      return 1;
    }
    ctx.display_records[NEWER_RECORD].complete = Decode(type, p);
    return 1;
  }
};

}  // namespace

ColourSequence colour_sequence_of(const DecoderContext& c) {
  ColourSequence s;
  s.horizontal_size = c.horizontal_size;
  s.vertical_size = c.vertical_size;
  s.stride = c.coded_width;
  s.mpeg2 = c.mpeg2;
  s.chroma_format = c.mpeg2 ? c.chroma_format : 1;
  s.colour_description = c.colour_description;
  s.matrix_coefficients = c.matrix_coefficients;
  s.frame_rate_code = c.frame_rate_code;
  s.frame_rate_extension_n = c.mpeg2 ? c.frame_rate_extension_n : 0;
  s.frame_rate_extension_d = c.mpeg2 ? c.frame_rate_extension_d : 0;
  return s;
}

int position_at_gop(Reader& r, uint32_t& pos, DecoderContext& ctx, int64_t position, int64_t& target,
                    int64_t search_end) {
  if (reader_seek(r, position, FILE_SEEK_BEGIN) < 0) return 0;
  pos = 0;
  if (!scan_gop(r, pos, ctx.frame_rate, ctx.gop_scan, search_end)) return 0;
  pos = seek_token(r, static_cast<uint64_t>(ctx.gop_scan[GOP_RESTART_TOKEN]));
  if (pos == kReaderFailed) return 0;
  r.bits_left = 8;
  target = ctx.gop_scan[GOP_I_DISPLAY_NUMBER];
  display_reset(ctx, target);
  // A quant matrix extension decoded before loads matrices this GOP may
  // not see: every restart begins with the sequence's own.
  load_quant_matrices(ctx, ctx.slice_state.quant_tables);
  return 1;
}

int decode_pictures(Reader& r, uint32_t& pos, DecoderContext& ctx, OutputVisitor visit, void* user,
                    bool drop_shown) {
  Loop loop = {r, pos, ctx, visit, user, INT64_MIN, false, drop_shown};
  for (;;) {
    uint32_t code = 0;
    if (!next_start_code(r, pos, reader_budget(r, kSearchBudget), code)) {
      display_flush(ctx);
      loop.Emit();
      for (DisplayRecord& record : ctx.display_records) record.display_index = -1;
      return loop.stopped ? 1 : 2;
    }
    if (code != PICTURE_START_CODE) continue;
    if (!loop.Picture_()) return 0;
    if (loop.stopped) return 1;
  }
}

namespace {

// Up-samples the chroma (only of pictures that are shown: the right half of
// the chroma rows is free, prediction never reads it) and converts.
void ShowPicture(const DisplayRecord& record, const Picture* p, int32_t chroma_format,
                 const ColourConversion& conversion, uint8_t* pixels) {
  const YuvPlanes planes = {p->y, p->cb, p->cr, p->width, p->height, chroma_format};
  upsample_chroma(planes, record.progressive_frame);
  convert_to_bgr(planes, conversion, pixels);
}

struct RenderTarget {
  int64_t target;
  ColourConversion conversion;
  uint8_t* pixels;
  int32_t chroma_format;
  bool found;
  bool incomplete;  // the target came, partly decoded
};

int RenderVisit(void* user, const DisplayRecord& record, const Picture* p) {
  RenderTarget& t = *static_cast<RenderTarget*>(user);
  if (record.display_index < t.target) return 1;
  if (record.display_index == t.target && record.complete) {
    ShowPicture(record, p, t.chroma_format, t.conversion, t.pixels);
    t.found = true;
  }
  t.incomplete = record.display_index == t.target && !record.complete;
  return 0;  // the target, or past it without a match
}

}  // namespace

namespace {

// How far after a position its GOP is looked for and, when none is, how far
// back the last GOP before it; and how close the search comes to that one.
const int64_t kLastGopReach = int64_t(16) << 20;
const int64_t kLastGopStep = 4096;

// A GOP found from `from`, starting before `position`, whose I picture
// comes before `before`.
int GopBefore(Reader& r, uint32_t& pos, DecoderContext& ctx, int64_t from, int64_t position, int64_t before,
              int64_t& target) {
  // The GOPs searched for start before `position`: the search need not
  // read on to the end of a file without GOP headers, some twenty times.
  return position_at_gop(r, pos, ctx, from, target, position) && target < before;
}

// The last GOP before `position` whose I picture comes before display index
// `before`: the end of a file, or of a recording still being written, shows
// its last frames, not nothing, and a picture the data cuts short gives way
// to the GOP before it.
int position_at_last_gop(Reader& r, uint32_t& pos, DecoderContext& ctx, int64_t position, int64_t before,
                         int64_t& target) {
  int64_t none = position;  // no such GOP is found from here on
  int64_t back = 65536;
  int64_t some = -1;        // one is found from here
  for (; some < 0 && none > 0 && back <= kLastGopReach; back *= 2) {
    int64_t from = position > back ? position - back : 0;
    if (GopBefore(r, pos, ctx, from, position, before, target)) some = from;
    else none = from;
  }
  if (some < 0) return 0;
  while (none - some > kLastGopStep) {
    int64_t middle = some + (none - some) / 2;
    if (GopBefore(r, pos, ctx, middle, position, before, target)) some = middle;
    else none = middle;
  }
  return GopBefore(r, pos, ctx, some, position, before, target);
}

// Decodes from the positioned GOP to its I picture into the target's pixels.
// 1 shown, 0 not, -1 when the picture came but the data cut it short.
int RenderTargetFrom(Reader& r, uint32_t& pos, DecoderContext& ctx, int64_t target, uint8_t* pixels) {
  ctx.target_display_index = target;
  RenderTarget t = {target, build_colour_conversion(colour_sequence_of(ctx)), pixels,
                    ctx.slice_state.chroma_format, false, false};
  // The last reference of the data comes out only at its end: not rendered.
  const int result = decode_pictures(r, pos, ctx, RenderVisit, &t);
  if (t.found && result == 1) return 1;
  return t.incomplete ? -1 : 0;
}

}  // namespace

int render_frame(Reader& r, DecoderContext& ctx, int64_t position, uint8_t* pixels, int64_t& shown) {
  if (!pixels) return 0;
  uint32_t pos = 0;
  int64_t target;
  // No GOP this far after the position: the last one before it is shown.
  if (!position_at_gop(r, pos, ctx, position, target, position + kLastGopReach) &&
      !position_at_last_gop(r, pos, ctx, position, INT64_MAX, target))
    return 0;
  int result = RenderTargetFrom(r, pos, ctx, target, pixels);
  if (result < 0) {
    // Cut short (the live end of a recording): the last whole GOP before it.
    if (!position_at_last_gop(r, pos, ctx, position, target, target)) return 0;
    result = RenderTargetFrom(r, pos, ctx, target, pixels);
  }
  if (result != 1) return 0;
  shown = target;
  return 1;
}

namespace {

struct AllFrames {
  ColourConversion conversion;
  uint8_t* pixels;
  int32_t chroma_format;
  FrameSink sink;
  void* user;
  int64_t count;
};

int AllVisit(void* user, const DisplayRecord& record, const Picture* p) {
  AllFrames& a = *static_cast<AllFrames*>(user);
  if (!record.complete) return 1;  // a partly decoded picture is not shown
  ShowPicture(record, p, a.chroma_format, a.conversion, a.pixels);
  ++a.count;
  return a.sink(a.user, record.display_index, a.pixels);
}

}  // namespace

int64_t decode_all_frames(Reader& r, DecoderContext& ctx, uint8_t* pixels, FrameSink sink, void* user) {
  uint32_t pos = 0;
  int64_t target;
  if (!position_at_gop(r, pos, ctx, 0, target)) return 0;
  ctx.target_display_index = -1;
  AllFrames a = {build_colour_conversion(colour_sequence_of(ctx)), pixels,
                 ctx.slice_state.chroma_format, sink, user, 0};
  // Every frame once: a shown picture's storage serves a later one, and
  // fresh storage costs a page fault for each of its pages.
  decode_pictures(r, pos, ctx, AllVisit, &a, true);
  return a.count;
}
