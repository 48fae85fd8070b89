// Display numbering and the display queue: pictures come out of decoding in
// coded order and go into the queue in display order, each with its index.
#pragma once

#include <cstdint>

#include "mpeg/decoder_context.h"

// Drops every entry and its picture reference.
void display_queue_clear(DisplayQueue& queue);
// Drops the entries up to display index `last`.
void display_queue_drop_through(DisplayQueue& queue, int64_t last);
// Adds a counted reference to `picture` in index order, then trims the queue
// (more than 5 entries with more than one I picture: drop the oldest; then
// more than 20: drop one more). 0 when there was no picture.
int display_queue_insert(DisplayQueue& queue, const DisplayRecord& record, Picture* picture);
// The queued picture with this display index, or none.
Picture* display_queue_find(const DisplayQueue& queue, int64_t display_index);

// After positioning: releases the references, empties the queue and sets
// the older and newer records' indices to target - 1.
void display_reset(DecoderContext& ctx, int64_t target);
// Before a picture is decoded: its record takes the newer record's index and
// the picture's flags (MPEG-1: repeat 0, top field first 0, progressive 1).
void display_begin_picture(DecoderContext& ctx, const PictureHeader& header);
// An I or P picture (the picture being decoded) becomes the newer
// reference; the older one is released and the previous newer one output.
void display_move_references(DecoderContext& ctx);
// A decoded B picture (the picture being decoded) is output and released.
void display_output_b_picture(DecoderContext& ctx);
// At the end of the data: the newer reference is output, the older released.
void display_flush(DecoderContext& ctx);
