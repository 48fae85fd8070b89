// bench_decode FILE...: for each file, decode-all speed (frames per second,
// display order, every frame converted to BGR) against
// `ffmpeg -threads 1 -i FILE -f null -`, each the best of three runs, and
// the median latency of Render frame at position at 20 random positions
// against `ffmpeg -ss T -i FILE -frames:v 1 -f null -` at the matching times
// (its process start included). Prints the ratios. Times are processor
// time (user + system), ours and ffmpeg's process's, so that other work on
// a shared machine does not weigh on either side.
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <random>

#include <sys/resource.h>
#include <string>
#include <vector>

#include "mpeg/session.h"

namespace {

double cpu_seconds(int who) {
  rusage u;
  getrusage(who, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double now_seconds() { return cpu_seconds(RUSAGE_SELF); }

double time_command(const std::string& command) {
  const double start = cpu_seconds(RUSAGE_CHILDREN);
  if (system(command.c_str()) != 0) return -1;
  return cpu_seconds(RUSAGE_CHILDREN) - start;
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
    const std::string quoted = std::string("'") + path + "'";
    int64_t frames = 0;
    double ours = 1e30, theirs = 1e30;
    for (int run = 0; run < 3; ++run) {
      frames = 0;
      const double start = now_seconds();
      preview_decode_all(pixels.data(), count_frame, &frames);
      ours = std::min(ours, now_seconds() - start);
      const double t =
          time_command("ffmpeg -nostdin -v error -threads 1 -i " + quoted + " -f null - >/dev/null 2>&1");
      if (t > 0) theirs = std::min(theirs, t);
    }
    printf("%s: %ux%u, %lld frames: decode-all %.1f fps, ffmpeg -threads 1 %.1f fps: %.2fx\n", path,
           info.width, info.height, static_cast<long long>(frames), frames / ours, frames / theirs,
           theirs / ours);

    const long long size = file_size(path);
    const double seconds = info.frame_rate_numerator
                               ? static_cast<double>(frames) * info.frame_rate_denominator /
                                     info.frame_rate_numerator
                               : 0;
    std::mt19937 random(12345);
    std::vector<double> render_ms, ffmpeg_ms;
    int rendered = 0;
    for (int k = 0; k < 20; ++k) {
      const int permille = static_cast<int>(random() % 1000);
      int64_t index = -1;
      const double start = now_seconds();
      rendered += preview_render(size * permille / 1000, pixels.data(), &index);
      render_ms.push_back((now_seconds() - start) * 1000);
      char at[32];
      snprintf(at, sizeof at, "%.3f", seconds * permille / 1000);
      const double seek = time_command("ffmpeg -nostdin -v error -threads 1 -ss " + std::string(at) +
                                       " -i " + quoted + " -frames:v 1 -f null - >/dev/null 2>&1");
      ffmpeg_ms.push_back(seek * 1000);
    }
    std::sort(render_ms.begin(), render_ms.end());
    std::sort(ffmpeg_ms.begin(), ffmpeg_ms.end());
    const double ours_median = (render_ms[9] + render_ms[10]) / 2;
    const double theirs_median = (ffmpeg_ms[9] + ffmpeg_ms[10]) / 2;
    printf("  render at 20 random positions (%d framed): median %.2f ms; ffmpeg -ss %.2f ms: %.2fx\n",
           rendered, ours_median, theirs_median, theirs_median / ours_median);
    preview_close();
  }
  return 0;
}
