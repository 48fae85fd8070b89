// mpegframe FILE [--info] [--pos BYTES | --permille N] [--out FRAME.bmp] [--all DIR]
//
// Opens a preview session on FILE and prints the stream information and the
// bitmap header, one "key value" per line. With --pos or --permille it
// renders the frame at that byte position (N thousandths of the file size),
// prints "display_index I" and writes the frame to --out as a BMP file.
// With --all it writes every frame in display order as DIR/frame_NNNNNN.bmp
// (NNNNNN the display index) and prints "frames N".
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "mpeg/big_block.h"
#include "mpeg/session.h"

namespace {

int usage() {
  fprintf(stderr,
          "usage: mpegframe FILE [--info] [--pos BYTES | --permille N] [--out FRAME.bmp] "
          "[--all DIR]\n");
  return 2;
}

void print_info(const StreamInfo& info, const BitmapHeader& bitmap) {
  printf("width %u\n", info.width);
  printf("height %u\n", info.height);
  printf("frame_rate %u/%u\n", info.frame_rate_numerator, info.frame_rate_denominator);
  printf("video_bit_rate %u\n", info.video_bit_rate);
  printf("audio_found %u\n", info.audio_found);
  if (info.audio_found) {
    printf("audio_layer %u\n", info.audio_layer);
    printf("audio_bit_rate %u\n", info.audio_bit_rate);
    printf("audio_sampling_frequency %u\n", info.audio_sampling_frequency);
    printf("audio_mode %s\n", info.audio_mode);
  }
  printf("biSize %u\n", bitmap.biSize);
  printf("biWidth %d\n", bitmap.biWidth);
  printf("biHeight %d\n", bitmap.biHeight);
  printf("biPlanes %u\n", bitmap.biPlanes);
  printf("biBitCount %u\n", bitmap.biBitCount);
  printf("biCompression %u\n", bitmap.biCompression);
  printf("biSizeImage %u\n", bitmap.biSizeImage);
}

void put16(std::vector<uint8_t>& out, uint32_t v) {
  out.push_back(static_cast<uint8_t>(v));
  out.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}

// A BMP file: file header, the session's bitmap header, the rows.
bool write_bmp(const char* path, const BitmapHeader& h, const uint8_t* pixels) {
  std::vector<uint8_t> out;
  put16(out, 0x4D42);  // "BM"
  put32(out, 14 + 40 + h.biSizeImage);
  put32(out, 0);
  put32(out, 14 + 40);
  const uint8_t* header = reinterpret_cast<const uint8_t*>(&h);
  out.insert(out.end(), header, header + sizeof h);
  out.insert(out.end(), pixels, pixels + h.biSizeImage);
  FILE* f = fopen(path, "wb");
  if (!f) return false;
  bool ok = fwrite(out.data(), 1, out.size(), f) == out.size();
  return fclose(f) == 0 && ok;
}

struct AllOutput {
  const char* dir;
  BitmapHeader header;
  bool failed;
};

int write_frame(void* user, int64_t display_index, const uint8_t* pixels) {
  AllOutput& all = *static_cast<AllOutput*>(user);
  char path[4096];
  snprintf(path, sizeof path, "%s/frame_%06lld.bmp", all.dir, static_cast<long long>(display_index));
  if (!write_bmp(path, all.header, pixels)) {
    fprintf(stderr, "mpegframe: cannot write %s\n", path);
    all.failed = true;
    return 0;
  }
  return 1;
}

bool parse_number(const char* text, long long& value) {
  char* end = nullptr;
  errno = 0;
  value = strtoll(text, &end, 10);
  return errno == 0 && end != text && *end == 0 && value >= 0;
}

long long file_size(const char* path) {
  FILE* f = fopen(path, "rb");
  if (!f) return -1;
  long long size = -1;
  if (fseek(f, 0, SEEK_END) == 0) size = ftell(f);
  fclose(f);
  return size;
}

// Zeroed frame memory (the row padding is never written) from big_block_new.
struct FrameBuffer {
  explicit FrameBuffer(size_t bytes) : size(bytes), bytes_(bytes ? big_block_new(bytes) : nullptr) {
    if (bytes_) memset(bytes_, 0, size);
  }
  ~FrameBuffer() { big_block_free(bytes_, size); }
  FrameBuffer(const FrameBuffer&) = delete;
  FrameBuffer& operator=(const FrameBuffer&) = delete;
  uint8_t* get() const { return bytes_; }
  const size_t size;

 private:
  uint8_t* const bytes_;
};

}  // namespace

int main(int argc, char** argv) {
  const char* path = nullptr;
  const char* out = nullptr;
  const char* all_dir = nullptr;
  long long position = -1, permille = -1;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    const bool has_value = i + 1 < argc;
    if (strcmp(a, "--info") == 0) continue;
    if (strcmp(a, "--pos") == 0 && has_value) {
      if (!parse_number(argv[++i], position)) return usage();
    } else if (strcmp(a, "--permille") == 0 && has_value) {
      if (!parse_number(argv[++i], permille) || permille > 1000) return usage();
    } else if (strcmp(a, "--out") == 0 && has_value) {
      out = argv[++i];
    } else if (strcmp(a, "--all") == 0 && has_value) {
      all_dir = argv[++i];
    } else if (a[0] == '-' || path) {
      return usage();
    } else {
      path = a;
    }
  }
  if (!path || (position >= 0 && permille >= 0)) return usage();

  StreamInfo info;
  BitmapHeader bitmap;
  if (!preview_open(path, nullptr, &bitmap, &info)) {
    fprintf(stderr, "mpegframe: %s: not an MPEG stream this decoder can open\n", path);
    return 1;
  }
  print_info(info, bitmap);
  // Only when a frame is shown, and as a big block: a 1080-line frame in
  // small fresh pages costs more in page faults than its conversion.
  FrameBuffer pixels(position >= 0 || permille >= 0 || all_dir ? bitmap.biSizeImage : 0);
  if (pixels.size && !pixels.get()) {
    fprintf(stderr, "mpegframe: out of memory\n");
    return 1;
  }
  int status = 0;
  if (permille >= 0) position = file_size(path) * permille / 1000;
  if (position >= 0) {
    int64_t index = -1;
    if (!preview_render(position, pixels.get(), &index)) {
      fprintf(stderr, "mpegframe: no frame at byte %lld\n", position);
      status = 1;
    } else {
      printf("display_index %lld\n", static_cast<long long>(index));
      if (out && !write_bmp(out, bitmap, pixels.get())) {
        fprintf(stderr, "mpegframe: cannot write %s\n", out);
        status = 1;
      }
    }
  }
  if (all_dir) {
    AllOutput all = {all_dir, bitmap, false};
    int64_t frames = preview_decode_all(pixels.get(), write_frame, &all);
    printf("frames %lld\n", static_cast<long long>(frames));
    if (frames <= 0 || all.failed) status = 1;
  }
  preview_close();
  return status;
}
