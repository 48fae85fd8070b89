// framedigest FILE...
//
// For each FILE, in one process: the stream information, a digest (64-bit
// FNV-1a) of every frame in display order, and of the frame rendered at a few
// byte positions. Two builds that print the same lines decoded the same
// pixels. Files are named by their last path component, so the output of a
// Windows and a POSIX build can be compared directly.
#include <cstdio>
#include <cstring>
#include <vector>

#include "mpeg/session.h"

namespace {

struct Digest {
  uint32_t bytes;
  int failed;
};

uint64_t fnv1a(const uint8_t* data, uint32_t size) {
  uint64_t h = 14695981039346656037ull;
  for (uint32_t i = 0; i < size; ++i) h = (h ^ data[i]) * 1099511628211ull;
  return h;
}

int print_frame(void* user, int64_t display_index, const uint8_t* pixels) {
  const Digest& d = *static_cast<Digest*>(user);
  printf("frame %lld %016llx\n", static_cast<long long>(display_index),
         static_cast<unsigned long long>(fnv1a(pixels, d.bytes)));
  return 1;
}

const char* last_component(const char* path) {
  const char* name = path;
  for (const char* p = path; *p; ++p) {
    if (*p == '/' || *p == '\\') name = p + 1;
  }
  return name;
}

long long size_of(const char* path) {
  FILE* f = fopen(path, "rb");
  if (!f) return -1;
  long long size = -1;
  if (fseek(f, 0, SEEK_END) == 0) size = ftell(f);
  fclose(f);
  return size;
}

// False when the stream would not open or render.
bool digest_stream(const char* path) {
  printf("stream %s\n", last_component(path));
  StreamInfo info;
  BitmapHeader bitmap;
  if (!preview_open(path, nullptr, &bitmap, &info)) {
    printf("not opened\n");
    return false;
  }
  printf("size %ux%u rate %u/%u bit_rate %u audio %u %u %u %u\n", info.width, info.height,
         info.frame_rate_numerator, info.frame_rate_denominator, info.video_bit_rate, info.audio_found,
         info.audio_layer, info.audio_bit_rate, info.audio_sampling_frequency);
  std::vector<uint8_t> pixels(bitmap.biSizeImage);
  Digest digest = {bitmap.biSizeImage, 0};
  bool ok = true;
  const long long size = size_of(path);
  for (int permille : {0, 500, 999}) {
    int64_t index = -1;
    long long at = size * permille / 1000;
    if (preview_render(at, pixels.data(), &index)) {
      printf("at %lld frame %lld %016llx\n", at, static_cast<long long>(index),
             static_cast<unsigned long long>(fnv1a(pixels.data(), bitmap.biSizeImage)));
    } else {
      printf("at %lld no frame\n", at);
    }
  }
  int64_t frames = preview_decode_all(pixels.data(), print_frame, &digest);
  printf("frames %lld\n", static_cast<long long>(frames));
  if (frames <= 0) ok = false;
  preview_close();
  return ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: framedigest FILE...\n");
    return 2;
  }
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    if (!digest_stream(argv[i])) status = 1;
  }
  return status;
}
