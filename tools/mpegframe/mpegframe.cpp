// mpegframe FILE [--info]: opens a preview session on FILE and prints the
// stream information and the bitmap header, one "key value" per line.
// Until the decoder renders frames, the information is all it prints, with
// or without --info.
#include <cstdio>
#include <cstring>

#include "mpeg/session.h"

namespace {

int usage() {
  fprintf(stderr, "usage: mpegframe FILE [--info]\n");
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

}  // namespace

int main(int argc, char** argv) {
  const char* path = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--info") == 0) continue;
    if (argv[i][0] == '-' || path) return usage();
    path = argv[i];
  }
  if (!path) return usage();

  StreamInfo info;
  BitmapHeader bitmap;
  if (!preview_open(path, nullptr, &bitmap, &info)) {
    fprintf(stderr, "mpegframe: %s: not an MPEG stream this decoder can open\n", path);
    return 1;
  }
  print_info(info, bitmap);
  preview_close();
  return 0;
}
