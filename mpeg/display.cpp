// Display numbering and the display queue.
#include "mpeg/display.h"

namespace {

void drop_oldest(DisplayQueue& q) {
  picture_release(q.pictures[0]);
  for (int i = 1; i < q.count; ++i) {
    q.records[i - 1] = q.records[i];
    q.pictures[i - 1] = q.pictures[i];
  }
  --q.count;
  q.pictures[q.count] = nullptr;
}

// Adds one picture in display order; a picture shown twice (repeat_first_field
// with the stream's own field order) is preceded by a copy one index later.
void output(DecoderContext& ctx, Picture* picture, const DisplayRecord& shown) {
  if (!picture) return;
  const DisplayRecord record = shown;  // `shown` may be the newer record itself
  DisplayRecord& newer = ctx.display_records[NEWER_RECORD];
  if (record.repeat_first_field && record.top_field_first == ctx.frame_rate.top_field_first) {
    DisplayRecord copy = record;
    copy.display_index = record.display_index + 1;
    copy.picture_coding_type = 3;
    copy.repeat_first_field = 0;
    Picture* repeated = picture_copy(picture);
    display_queue_insert(ctx.display_queue, copy, repeated);
    picture_release(repeated);
    ++newer.display_index;
  }
  if (record.picture_coding_type == 1) {
    ctx.i_picture_distance = record.display_index - ctx.last_i_display_index;
    ctx.last_i_display_index = record.display_index;
  }
  display_queue_insert(ctx.display_queue, record, picture);
}

}  // namespace

void display_queue_clear(DisplayQueue& q) {
  while (q.count > 0) drop_oldest(q);
}

void display_queue_drop_through(DisplayQueue& q, int64_t last) {
  while (q.count > 0 && q.records[0].display_index <= last) drop_oldest(q);
}

int display_queue_insert(DisplayQueue& q, const DisplayRecord& record, Picture* picture) {
  if (!picture) return 0;
  if (q.count == kDisplayQueueCapacity) drop_oldest(q);
  int at = q.count;
  while (at > 0 && q.records[at - 1].display_index > record.display_index) {
    q.records[at] = q.records[at - 1];
    q.pictures[at] = q.pictures[at - 1];
    --at;
  }
  q.records[at] = record;
  q.pictures[at] = picture_retain(picture);
  ++q.count;

  int i_pictures = 0;
  for (int i = 0; i < q.count; ++i) i_pictures += q.records[i].picture_coding_type == 1;
  if (q.count > 5 && i_pictures > 1) drop_oldest(q);
  if (q.count > 20) drop_oldest(q);
  return 1;
}

Picture* display_queue_find(const DisplayQueue& q, int64_t display_index) {
  for (int i = 0; i < q.count; ++i)
    if (q.records[i].display_index == display_index) return q.pictures[i];
  return nullptr;
}

void display_reset(DecoderContext& ctx, int64_t target) {
  for (Picture*& p : ctx.reference_pictures) {
    picture_release(p);
    p = nullptr;
  }
  ctx.display_records[OLDER_RECORD].display_index = target - 1;
  ctx.display_records[NEWER_RECORD].display_index = target - 1;
  display_queue_clear(ctx.display_queue);
}

void display_begin_picture(DecoderContext& ctx, const PictureHeader& h) {
  DisplayRecord& r = ctx.display_records[DECODING_RECORD];
  r.display_index = ctx.display_records[NEWER_RECORD].display_index;
  r.picture_coding_type = h.picture_coding_type;
  r.repeat_first_field = h.has_coding_extension ? h.repeat_first_field : 0;
  r.top_field_first = h.has_coding_extension ? h.top_field_first : 0;
  r.progressive_frame = h.has_coding_extension ? h.progressive_frame : 1;
  r.complete = 0;
}

void display_move_references(DecoderContext& ctx) {
  Picture** refs = ctx.reference_pictures;
  DisplayRecord* records = ctx.display_records;
  picture_release(refs[FORWARD_REFERENCE]);
  refs[FORWARD_REFERENCE] = refs[BACKWARD_REFERENCE];
  records[OLDER_RECORD] = records[NEWER_RECORD];
  refs[BACKWARD_REFERENCE] = refs[CURRENT_PICTURE];
  refs[CURRENT_PICTURE] = nullptr;
  records[NEWER_RECORD] = records[DECODING_RECORD];
  ++records[NEWER_RECORD].display_index;
  output(ctx, refs[FORWARD_REFERENCE], records[OLDER_RECORD]);
}

void display_output_b_picture(DecoderContext& ctx) {
  Picture*& picture = ctx.reference_pictures[CURRENT_PICTURE];
  output(ctx, picture, ctx.display_records[DECODING_RECORD]);
  picture_release(picture);
  picture = nullptr;
  ++ctx.display_records[NEWER_RECORD].display_index;
}

void display_flush(DecoderContext& ctx) {
  Picture** refs = ctx.reference_pictures;
  picture_release(refs[FORWARD_REFERENCE]);
  refs[FORWARD_REFERENCE] = nullptr;
  output(ctx, refs[BACKWARD_REFERENCE], ctx.display_records[NEWER_RECORD]);
}
