// bench_decode FILE...: for each file, decode-all speed (frames per second,
// display order, every frame converted to BGR) against
// `ffmpeg -threads 1 -i FILE -f null -`, and the latency of Render frame at
// position at 0, 250, 500 and 750 permille against
// `ffmpeg -ss T -i FILE -frames:v 1 -f null -` at the matching time.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "mpeg/session.h"

namespace {

double now_seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double time_command(const std::string& command) {
  const double start = now_seconds();
  if (system(command.c_str()) != 0) return -1;
  return now_seconds() - start;
}

int count_frame(void* user, int64_t, const uint8_t*) {
  ++*static_cast<int64_t*>(user);
  return 1;
}

long long file_size(const char* path) {
  FILE* f = fopen(path, "rb");
  if (!f) return -1;
  fseek(f, 0, SEEK_END);
  long long size = ftell(f);
  fclose(f);
  return size;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fprintf(stderr, "usage: bench_decode FILE...\n");
    return 2;
  }
  for (int i = 1; i < argc; ++i) {
    const char* path = argv[i];
    BitmapHeader bitmap;
    StreamInfo info;
    if (!preview_open(path, nullptr, &bitmap, &info)) {
      fprintf(stderr, "bench_decode: %s does not open\n", path);
      continue;
    }
    std::vector<uint8_t> pixels(bitmap.biSizeImage);
    int64_t frames = 0;
    double start = now_seconds();
    preview_decode_all(pixels.data(), count_frame, &frames);
    const double ours = now_seconds() - start;
    const std::string quoted = std::string("'") + path + "'";
    const double theirs =
        time_command("ffmpeg -nostdin -v error -threads 1 -i " + quoted + " -f null - >/dev/null 2>&1");
    printf("%s: %ux%u, %lld frames: decode-all %.1f fps, ffmpeg -threads 1 %.1f fps\n", path,
           info.width, info.height, static_cast<long long>(frames), frames / ours,
           theirs > 0 ? frames / theirs : 0.0);

    const long long size = file_size(path);
    const double seconds = info.frame_rate_numerator
                               ? static_cast<double>(frames) * info.frame_rate_denominator /
                                     info.frame_rate_numerator
                               : 0;
    for (int permille : {0, 250, 500, 750}) {
      const int repeats = 5;
      int64_t index = -1;
      int ok = 0;
      start = now_seconds();
      for (int k = 0; k < repeats; ++k) ok = preview_render(size * permille / 1000, pixels.data(), &index);
      const double render_ms = (now_seconds() - start) / repeats * 1000;
      char at[32];
      snprintf(at, sizeof at, "%.3f", seconds * permille / 1000);
      const double seek = time_command("ffmpeg -nostdin -v error -threads 1 -ss " + std::string(at) +
                                       " -i " + quoted + " -frames:v 1 -f null - >/dev/null 2>&1");
      printf("  %4d permille: render %s index %lld in %.2f ms; ffmpeg -ss %s %.2f ms (process included)\n",
             permille, ok ? "frame" : "nothing", static_cast<long long>(index), render_ms, at,
             seek * 1000);
    }
    preview_close();
  }
  return 0;
}
