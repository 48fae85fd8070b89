// The preview session: Open and Close.
#include "mpeg/session.h"

#include <cstring>
#include <new>

#include "mpeg/decoder_context.h"
#include "mpeg/display.h"
#include "mpeg/headers.h"
#include "mpeg/lock.h"
#include "mpeg/picture.h"
#include "mpeg/reader.h"
#include "mpeg/render.h"

namespace {

// kbit/s by bit-rate index: ISO/IEC 11172-3 (ID 1) and the lower sampling
// frequencies of ISO/IEC 13818-3 (ID 0), layers I, II, III. Index 0 is free
// format and 15 forbidden: both 0.
const uint32_t kAudioBitRate[2][3][16] = {
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}},
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
};
// Hz by sampling-frequency index and ID; index 3 is reserved.
const uint32_t kAudioSamplingFrequency[2][4] = {{22050, 24000, 16000, 0}, {44100, 48000, 32000, 0}};
const char* const kAudioMode[4] = {"stereo", "intensity stereo", "dual channel", "monaural"};

// Held by open, close and render: the Copy worker may close from its thread.
Lock g_lock;
FileHandle g_file = kNoFile;
Reader g_reader;
DecoderContext* g_context = nullptr;
StreamInfo g_info = {0, 0, 0, 0, 0, 0, 0, 0, 0, nullptr};
BitmapHeader g_bitmap;

int close_session() {
  if (g_context) {
    display_queue_clear(g_context->display_queue);
    for (Picture*& p : g_context->reference_pictures) {
      picture_release(p);
      p = nullptr;
    }
    delete g_context;
    g_context = nullptr;
  }
  picture_pool_clear();
  int ok = file_close(g_file);
  reader_init(g_reader, kNoFile);
  return ok;
}

}  // namespace

bool probe_program_stream(Reader& r, bool& program_stream) {
  if (reader_seek(r, 0, FILE_SEEK_BEGIN) < 0) return false;
  r.program_stream = false;
  uint32_t pos = 0;
  uint32_t budget = reader_budget(r, kProbeBudget);
  reader_fill(r, pos, budget, false);  // a file with no start code fails below
  uint32_t code = 0;
  pos = 0;
  if (r.valid < 4 || !find_code(r, pos, r.valid - 4, code, 0)) return false;
  program_stream = code > 0xB8;
  return true;
}

namespace {

bool read_headers(Reader& r, DecoderContext& ctx) {
  if (reader_seek(r, 0, FILE_SEEK_BEGIN) < 0) return false;
  uint32_t pos = 0;
  uint32_t code = SEQUENCE_HEADER_CODE;
  if (!next_start_code(r, pos, reader_budget(r, kSearchBudget), code)) return false;
  if (!parse_sequence_header(r, pos, ctx) || !setup_sequence(ctx, ctx.slice_state)) return false;
  do {
    code = 0;
    if (!next_start_code(r, pos, reader_budget(r, kSearchBudget), code)) return false;
  } while (code != PICTURE_START_CODE);
  int32_t progressive_sequence = ctx.mpeg2 ? ctx.progressive_sequence : 1;
  return parse_picture_header(r, pos, ctx.picture, progressive_sequence) != 0;
}

void init_display_state(DecoderContext& ctx) {
  FrameRateRecord& rate = ctx.frame_rate;
  sequence_frame_rate(ctx, rate.frame_rate_numerator, rate.frame_rate_denominator);
  rate.base_frame_number = 0;
  rate.top_field_first = ctx.picture.has_coding_extension ? ctx.picture.top_field_first : 0;
  rate.progressive_sequence = ctx.mpeg2 ? ctx.progressive_sequence : 1;
  ctx.display_frame_rate_numerator = rate.frame_rate_numerator;
  ctx.display_frame_rate_denominator = rate.frame_rate_denominator;
  display_reset(ctx, 0);
  ctx.target_display_index = -1;
}

// A frame header of a known layer, bit rate and sampling frequency: a
// syncword in the data seldom also has these.
bool plausible_audio_header(const uint8_t* b) {
  return b[0] == 0xFF && (b[1] & 0xF0) == 0xF0 && (b[1] & 0x06) != 0 && (b[2] & 0xF0) != 0xF0 &&
         (b[2] & 0x0C) != 0x0C;
}

// The first frame header in the audio packets within 2 MiB.
void find_audio(Reader& r, StreamInfo& info) {
  if (reader_seek(r, 0, FILE_SEEK_BEGIN) < 0) return;
  uint32_t pos = 0;
  uint32_t budget = reader_budget(r, kSearchBudget);
  while (reader_fill(r, pos, budget, true)) {
    const uint32_t end = r.limit;
    if ((r.stream_id & 0xE0) == 0xC0) {
      for (uint32_t i = pos; i + 4 <= end; ++i) {
        if (!plausible_audio_header(r.buffer + i)) continue;
        audio_header_info(r.buffer + i, info);
        return;
      }
    }
    pos = end;  // on to the next packet
  }
}

int open_session(const char* path, StreamInfo& info) {
  g_file = file_open_shared_read(path);
  if (g_file == kNoFile) return 0;
  g_context = new (std::nothrow) DecoderContext();
  if (!g_context) return 0;
  DecoderContext& ctx = *g_context;
  Reader& r = g_reader;
  reader_init(r, g_file);

  bool program_stream;
  if (!probe_program_stream(r, program_stream)) return 0;
  r.program_stream = program_stream;
  if (!read_headers(r, ctx)) return 0;
  init_display_state(ctx);

  info.width = static_cast<uint32_t>(ctx.horizontal_size);
  info.height = static_cast<uint32_t>(ctx.vertical_size);
  info.frame_rate_numerator = ctx.frame_rate.frame_rate_numerator;
  info.frame_rate_denominator = ctx.frame_rate.frame_rate_denominator;
  info.video_bit_rate = sequence_bit_rate(ctx);
  info.audio_found = 0;
  if (program_stream) find_audio(r, info);
  g_bitmap = bitmap_header_for(ctx.horizontal_size, ctx.vertical_size);
  return 1;
}

}  // namespace

void audio_header_info(const uint8_t* b, StreamInfo& info) {
  const uint32_t id = (b[1] >> 3) & 1;  // 0: lower sampling frequencies
  info.audio_layer = (4 - ((b[1] >> 1) & 3)) & 3;
  info.audio_bit_rate = info.audio_layer ? kAudioBitRate[id][info.audio_layer - 1][(b[2] >> 4) & 15] : 0;
  info.audio_sampling_frequency = kAudioSamplingFrequency[id][(b[2] >> 2) & 3];
  info.audio_mode = kAudioMode[(b[3] >> 6) & 3];
  info.audio_found = 1;
}

BitmapHeader bitmap_header_for(int32_t width, int32_t height) {
  BitmapHeader h;
  memset(&h, 0, sizeof h);
  h.biSize = 40;
  h.biWidth = width;
  h.biHeight = -height;
  h.biPlanes = 1;
  h.biBitCount = 24;
  h.biCompression = 0;  // BI_RGB
  uint32_t stride = (3u * static_cast<uint32_t>(width) + 3u) & ~3u;
  h.biSizeImage = stride * static_cast<uint32_t>(height);
  return h;
}

int preview_open(const char* path, FileHandle* file, BitmapHeader* header, StreamInfo* info) {
  LockHold hold(g_lock);
  int closed = close_session();
  if (!path || !*path) return closed;
  // Audio values survive a session without audio.
  StreamInfo found = g_info;
  if (!open_session(path, found)) {
    close_session();
    return 0;
  }
  g_info = found;
  if (file) *file = g_file;
  if (header) *header = g_bitmap;
  if (info) *info = g_info;
  return 1;
}

int preview_close() { return preview_open(nullptr, nullptr, nullptr, nullptr); }

bool preview_is_open() {
  LockHold hold(g_lock);
  return g_context != nullptr;
}

int preview_render(int64_t position, uint8_t* pixels, int64_t* display_index) {
  LockHold hold(g_lock);
  if (!g_context || !pixels) return 0;
  int64_t shown = -1;
  if (!render_frame(g_reader, *g_context, position, pixels, shown)) return 0;
  if (display_index) *display_index = shown;
  return 1;
}

int64_t preview_decode_all(uint8_t* pixels, PreviewFrameSink sink, void* user) {
  LockHold hold(g_lock);
  if (!g_context || !pixels || !sink) return -1;
  return decode_all_frames(g_reader, *g_context, pixels, sink, user);
}

int preview_colour_sequence(ColourSequence& sequence) {
  LockHold hold(g_lock);
  if (!g_context) return 0;
  sequence = colour_sequence_of(*g_context);
  return 1;
}
