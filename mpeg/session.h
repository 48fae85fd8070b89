// The preview session: the decoder opened on one input file, with the video
// and audio parameters found on opening. There is one session in the program.
//
// Threading: sessions are opened and rendered on the user-interface thread
// and may be closed by the Copy worker; every entry point holds one lock, so
// a close never overlaps a render or an open.
#pragma once

#include <cstdint>

#include "mpeg/colour.h"
#include "mpeg/file_io.h"

// The Windows BITMAPINFOHEADER, field for field (40 bytes).
struct BitmapHeader {
  uint32_t biSize;
  int32_t biWidth;
  int32_t biHeight;  // negative: top row first
  uint16_t biPlanes;
  uint16_t biBitCount;
  uint32_t biCompression;
  uint32_t biSizeImage;
  int32_t biXPelsPerMeter;
  int32_t biYPelsPerMeter;
  uint32_t biClrUsed;
  uint32_t biClrImportant;
};
static_assert(sizeof(BitmapHeader) == 40, "BitmapHeader must match BITMAPINFOHEADER");

// The stream information record. When audio_found is 0, the audio values
// keep what an earlier session found.
struct StreamInfo {
  uint32_t width;
  uint32_t height;
  uint32_t frame_rate_numerator;
  uint32_t frame_rate_denominator;
  uint32_t video_bit_rate;  // bit/s
  uint32_t audio_found;
  uint32_t audio_layer;     // 1, 2, 3; 0 for the reserved code
  uint32_t audio_bit_rate;  // kbit/s
  uint32_t audio_sampling_frequency;  // Hz
  const char* audio_mode;  // "stereo", "intensity stereo", "dual channel", "monaural";
                           // null before any audio header was found
};
static_assert(sizeof(void*) != 4 || sizeof(StreamInfo) == 40, "ten 32-bit values");

// Opens a session on `path`, first closing the current one. Each out
// argument may be null. 1 on success; on failure no session is open.
// With a null or empty path it only closes: 1, or 0 when closing the file failed.
int preview_open(const char* path, FileHandle* file, BitmapHeader* header, StreamInfo* info);
// preview_open(nullptr, ...).
int preview_close();
// Whether a session is open.
bool preview_is_open();

// From the first start code in the first 32 KiB of the reader's file: a
// pack, system or packet code means a program stream. False when the data
// holds no start code.
struct Reader;
bool probe_program_stream(Reader& r, bool& program_stream);
// Audio frame header values of the four bytes at `header` (an MPEG audio
// syncword and three bytes), as they go into the stream information.
void audio_header_info(const uint8_t* header, StreamInfo& info);
// The bitmap header for a w x h picture.
BitmapHeader bitmap_header_for(int32_t width, int32_t height);

// Render frame at position: the frame of the first GOP after byte
// `position` into `pixels` (biSizeImage bytes, the bitmap header's layout).
// 1 when a frame was written; its display index in *display_index if given.
int preview_render(int64_t position, uint8_t* pixels, int64_t* display_index = nullptr);

// Every frame of the open file in display order, each converted into
// `pixels` and handed to sink(user, display index, pixels); sink returns 0
// to stop. The number of frames; -1 without a session or buffer.
typedef int (*PreviewFrameSink)(void* user, int64_t display_index, const uint8_t* pixels);
int64_t preview_decode_all(uint8_t* pixels, PreviewFrameSink sink, void* user);

// The colour facts of the open session's sequence (for checking frames
// against another decoder's samples). 0 without a session.
int preview_colour_sequence(ColourSequence& sequence);
