// Display numbering and the display queue.
#include "mpeg/display.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

struct Decoder {
  std::unique_ptr<DecoderContext> ctx{new DecoderContext()};
  std::vector<int64_t> i_indices;
  Decoder() { display_reset(*ctx, 100); }
  ~Decoder() {
    display_reset(*ctx, 0);
  }
  // Feeds one coded picture ('I', 'P', 'B', lower case with repeat_first_field).
  void feed(char kind, int top_field_first = 0) {
    PictureHeader h = PictureHeader();
    h.has_coding_extension = 1;
    h.picture_coding_type = (kind | 0x20) == 'i' ? 1 : (kind | 0x20) == 'p' ? 2 : 3;
    h.repeat_first_field = kind >= 'a';
    h.top_field_first = top_field_first;
    h.progressive_frame = 1;
    display_begin_picture(*ctx, h);
    ctx->reference_pictures[CURRENT_PICTURE] = picture_new(16, 16);
    ctx->reference_pictures[CURRENT_PICTURE]->y[0] = static_cast<uint8_t>(kind);
    if (h.picture_coding_type == 3) display_output_b_picture(*ctx);
    else display_move_references(*ctx);
  }
  // The queue as "index:kind" entries.
  std::string queue() const {
    std::string s;
    const DisplayQueue& q = ctx->display_queue;
    for (int i = 0; i < q.count; ++i) {
      s += std::to_string(q.records[i].display_index) + ":" + static_cast<char>(q.pictures[i]->y[0]);
      s += "IPB"[q.records[i].picture_coding_type - 1];
      s += i + 1 < q.count ? " " : "";
    }
    return s;
  }
};

TEST(Display, CodedOrderComesOutInDisplayOrder) {
  Decoder d;
  for (char k : std::string("IPBBPBB")) d.feed(k);
  // I at the target index, the B pictures before the P that precedes them in coding.
  EXPECT_EQ(d.queue(), "100:II 101:BB 102:BB 103:PP 104:BB 105:BB");
  display_flush(*d.ctx);
  EXPECT_EQ(d.queue(), "100:II 101:BB 102:BB 103:PP 104:BB 105:BB 106:PP");
  EXPECT_EQ(d.ctx->last_i_display_index, 100);
}

TEST(Display, RepeatedPictureWithTheStreamsFieldOrderIsShownTwice) {
  Decoder d;
  d.ctx->frame_rate.top_field_first = 1;
  d.feed('i', 1);  // shown twice
  d.feed('p', 0);  // repeat with the other field order: once
  d.feed('P', 1);
  d.feed('P', 0);
  EXPECT_EQ(d.queue(), "100:iI 101:iB 102:pP 103:PP");
}

TEST(Display, QueueDropsTheOldestOnceItHoldsTwoIPictures) {
  Decoder d;
  for (char k : std::string("IPPPPPIPP")) d.feed(k);
  // The second I picture pushed the first one out; then one I is left, so
  // the queue may grow again.
  EXPECT_EQ(d.queue(), "101:PP 102:PP 103:PP 104:PP 105:PP 106:II 107:PP");
  EXPECT_EQ(d.ctx->i_picture_distance, 6);
}

TEST(Display, QueueKeepsAtMostTwentyEntries) {
  Decoder d;
  std::string coded = "I" + std::string(30, 'P');
  for (char k : coded) d.feed(k);
  EXPECT_EQ(d.ctx->display_queue.count, 20);
  EXPECT_EQ(d.ctx->display_queue.records[0].display_index, 110);
  display_queue_clear(d.ctx->display_queue);
  EXPECT_EQ(d.ctx->display_queue.count, 0);
}

TEST(Display, InsertOrdersByIndex) {
  DisplayQueue q = DisplayQueue();
  Picture* p = picture_new(16, 16);
  for (int64_t index : {5, 3, 4, 1}) {
    DisplayRecord r = {index, 3, 0, 0, 1, 1};
    display_queue_insert(q, r, p);
  }
  EXPECT_EQ(p->reference_count, 5);
  const int64_t order[] = {1, 3, 4, 5};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(q.records[i].display_index, order[i]);
  EXPECT_EQ(display_queue_find(q, 4), p);
  EXPECT_EQ(display_queue_find(q, 2), nullptr);
  EXPECT_EQ(display_queue_insert(q, DisplayRecord(), nullptr), 0);
  display_queue_clear(q);
  EXPECT_EQ(p->reference_count, 1);
  picture_release(p);
}

}  // namespace
