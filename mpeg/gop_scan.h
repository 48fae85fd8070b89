// Display numbering from GOP time codes, and the GOP scan that finds where to
// restart decoding for a byte position.
#pragma once

#include <cstdint>

#include "mpeg/decoder_context.h"
#include "mpeg/reader.h"

// Frame number of a GOP's first picture from its time code at `fps` whole
// frames per second, with drop-frame counting when the GOP says so.
int64_t gop_frame_number(const GopHeader& gop, uint32_t fps);
// ceil(numerator / denominator); 0 for a zero denominator.
uint32_t whole_frames_per_second(uint32_t numerator, uint32_t denominator);

enum { GOP_RESTART_TOKEN = 0, GOP_I_DISPLAY_NUMBER = 1, GOP_DECODABLE_PICTURES = 2 };

// From the reader's position: the next GOP's restart token (its sequence
// header's, or its own), the display number of its I picture and the number
// of pictures decodable from that I picture on. 0 when the search or the
// picture order of the GOP fails; a time code that does not match the
// pictures counted (3:2 pulldown from some encoders) is no failure.
// With `search_end` not negative, the search for the GOP header gives up
// once it has passed that file offset.
// Pictures are counted at most this far past the GOP header, so a stream
// with one GOP header is not read to its end.
const int64_t kGopScanReach = int64_t(16) << 20;
int scan_gop(Reader& r, uint32_t& pos, const FrameRateRecord& rate, int64_t result[3],
             int64_t search_end = -1);
