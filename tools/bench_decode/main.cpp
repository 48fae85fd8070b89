// bench_decode [--dir DIR] [--seconds N] [FILE...]
//
// Decoding cost of users' recordings against ffmpeg, one table per run.
// Without files it makes the high-entropy streams of make_streams.sh (next
// to this source) in DIR (default /tmp/bench_decode) and measures those.
//
// Per stream, in processor time (user + system, ours and the child
// processes'), best of three rounds that each run all four: our decode-all
// to BGR, `ffmpeg -threads 1 -filter_threads 1 -an -pix_fmt bgr24 -f null -`
// (the same output), `ffmpeg ... -f null -` (no conversion) and ffmpeg's
// own start (the same command stopping before its first frame), with our
// speed as a multiple of each. ffmpeg reads the stream four times over
// (concat:FILE|FILE|FILE|FILE, every frame passed through) and its start
// is taken off, as our open is off ours, and shown on its own. Then, at 20
// random positions, the median open-plus-render latency in this process,
// and the median whole-process time of `mpegframe FILE --pos BYTES`
// against `ffmpeg -ss T -i FILE -frames:v 1 -f null -` at the matching
// time.
// Processor time keeps other work on a shared machine from weighing on
// either side; one processor for everything keeps the two processors'
// speeds apart; -filter_threads 1 keeps ffmpeg's conversion in one thread
// too, as ours is (by default it is sliced across threads, whose waiting
// adds processor time).
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "mpeg/session.h"

namespace {

const char* const kStreams[] = {"sd_720x480i_8M.mpg", "hd_1920x1080i_20M.mpg", "sd422_720x480i_15M.mpg",
                                "mpeg1_352x240_1.8M.mpg"};
const int kRuns = 3;
const int kPositions = 20;
const int kLoops = 4;  // passes of ffmpeg over the stream per run
const std::string kFfmpeg = "ffmpeg -nostdin -v error -threads 1 -filter_threads 1 ";

double cpu_seconds(int who) {
  rusage u;
  getrusage(who, &u);
  return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

// The processor time of a shell command and its children; negative when it fails.
double time_command(const std::string& command) {
  const double start = cpu_seconds(RUSAGE_CHILDREN);
  if (system((command + " >/dev/null 2>&1").c_str()) != 0) return -1;
  return cpu_seconds(RUSAGE_CHILDREN) - start;
}

std::string quoted(const std::string& s) { return "'" + s + "'"; }

std::string own_folder() {
  char path[4096];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return ".";
  std::string s(path, static_cast<size_t>(n));
  return s.substr(0, s.rfind('/'));
}

long long file_size(const char* path) {
  FILE* f = fopen(path, "rb");
  if (!f) return -1;
  fseek(f, 0, SEEK_END);
  const long long size = ftell(f);
  fclose(f);
  return size;
}

double median(std::vector<double> v) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

int count_frame(void* user, int64_t, const uint8_t*) {
  ++*static_cast<int64_t*>(user);
  return 1;
}

struct Row {
  std::string name;
  unsigned width, height;
  int64_t frames;
  double ours, bgr, null;                 // decode-all seconds, ffmpeg's start taken off
  double start;                           // ffmpeg's start
  double render_ms, process_ms, seek_ms;  // medians
  int rendered;
};

// One decode-all in this process, frames counted on the way; negative
// when the stream does not open.
double our_decode_all(const char* path, int64_t& frames) {
  BitmapHeader bitmap;
  if (!preview_open(path, nullptr, &bitmap, nullptr)) return -1;
  std::vector<uint8_t> pixels(bitmap.biSizeImage);
  frames = 0;
  const double start = cpu_seconds(RUSAGE_SELF);
  preview_decode_all(pixels.data(), count_frame, &frames);
  const double seconds = cpu_seconds(RUSAGE_SELF) - start;
  preview_close();
  return seconds;
}

double keep_best(double best, double t) { return t < 0 || best < 0 ? -1 : std::min(best, t); }

// Best of kRuns rounds. Each round runs ours and ffmpeg's three commands
// one after the other, so that the machine's load, which changes by the
// minute here, weighs on both sides alike.
void measure_decode_all(const char* path, Row& row) {
  // ffmpeg reads the stream kLoops times over in one process (the concat
  // protocol: -stream_loop loses a GOP at each turn), so that its start,
  // taken off, weighs little against the noise.
  std::string joined = path;
  for (int k = 1; k < kLoops; ++k) joined += std::string("|") + path;
  const std::string input =
      kFfmpeg + "-i " + quoted("concat:" + joined) + " -an -fps_mode passthrough ";
  double ours = 1e30, start = 1e30, bgr = 1e30, null = 1e30;
  for (int run = 0; run < kRuns; ++run) {
    ours = keep_best(ours, our_decode_all(path, row.frames));
    start = keep_best(start, time_command(input + "-frames:v 0 -f null -"));
    bgr = keep_best(bgr, time_command(input + "-pix_fmt bgr24 -f null -"));
    null = keep_best(null, time_command(input + "-f null -"));
  }
  row.ours = ours;
  row.start = start;
  row.bgr = (bgr - start) / kLoops;
  row.null = (null - start) / kLoops;
}

bool measure(const char* path, const std::string& mpegframe, Row& row) {
  BitmapHeader bitmap;
  StreamInfo info;
  if (!preview_open(path, nullptr, &bitmap, &info)) return false;
  preview_close();
  row.name = path;
  row.name = row.name.substr(row.name.rfind('/') + 1);
  row.width = info.width;
  row.height = info.height;
  measure_decode_all(path, row);
  const long long size = file_size(path);
  const double seconds =
      info.frame_rate_numerator
          ? static_cast<double>(row.frames) * info.frame_rate_denominator / info.frame_rate_numerator
          : 0;
  std::mt19937 random(12345);
  std::vector<double> render_ms, process_ms, seek_ms;
  std::vector<uint8_t> pixels(bitmap.biSizeImage);
  row.rendered = 0;
  for (int k = 0; k < kPositions; ++k) {
    const int permille = static_cast<int>(random() % 1000);
    const long long at = size * permille / 1000;
    const double start = cpu_seconds(RUSAGE_SELF);
    if (preview_open(path, nullptr, nullptr, nullptr)) row.rendered += preview_render(at, pixels.data());
    preview_close();
    render_ms.push_back((cpu_seconds(RUSAGE_SELF) - start) * 1000);
    process_ms.push_back(time_command(quoted(mpegframe) + " " + quoted(path) + " --pos " +
                                      std::to_string(at)) * 1000);
    char t[32];
    snprintf(t, sizeof t, "%.3f", seconds * permille / 1000);
    seek_ms.push_back(time_command(kFfmpeg + "-ss " + t + " -i " + quoted(path) +
                                   " -an -frames:v 1 -f null -") * 1000);
  }
  row.render_ms = median(render_ms);
  row.process_ms = median(process_ms);
  row.seek_ms = median(seek_ms);
  return true;
}

void print_table(const std::vector<Row>& rows) {
  printf("decode-all, frames/s (processor time, best of %d; ffmpeg's start, ms, taken off)\n", kRuns);
  printf("%-24s %9s %6s %8s %8s %8s %7s %7s %8s\n", "stream", "size", "frames", "ours", "ff-bgr",
         "ff-null", "x bgr", "x null", "ff-start");
  for (const Row& r : rows) {
    char size[24];
    snprintf(size, sizeof size, "%ux%u", r.width, r.height);
    printf("%-24s %9s %6lld %8.1f %8.1f %8.1f %7.2f %7.2f %8.1f\n", r.name.c_str(), size,
           static_cast<long long>(r.frames), r.frames / r.ours, r.frames / r.bgr, r.frames / r.null,
           r.bgr / r.ours, r.null / r.ours, r.start * 1000);
  }
  printf("\nrender at %d random positions, median ms (processor time)\n", kPositions);
  printf("%-24s %8s %9s %9s %9s %9s\n", "stream", "framed", "open+rnd", "mpegframe", "ffmpeg-ss",
         "mf/ff");
  for (const Row& r : rows) {
    printf("%-24s %5d/%-2d %9.2f %9.2f %9.2f %9.2f\n", r.name.c_str(), r.rendered, kPositions,
           r.render_ms, r.process_ms, r.seek_ms, r.process_ms / r.seek_ms);
  }
}

// Keeps this process and every command it starts on the processor it
// started on: the two of a shared machine can differ in speed by a quarter,
// which would otherwise fall on one side of a ratio.
void stay_on_one_processor() {
  const int processor = sched_getcpu();
  if (processor < 0) return;
  cpu_set_t set;
  CPU_ZERO(&set);
  CPU_SET(processor, &set);
  sched_setaffinity(0, sizeof set, &set);
}

int usage() {
  fprintf(stderr, "usage: bench_decode [--dir DIR] [--seconds N] [FILE...]\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = "/tmp/bench_decode";
  std::string seconds = "10";
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--dir" && i + 1 < argc) dir = argv[++i];
    else if (a == "--seconds" && i + 1 < argc) seconds = argv[++i];
    else if (!a.empty() && a[0] == '-') return usage();
    else files.push_back(a);
  }
  if (files.empty()) {
    if (system(("bash " + quoted(BENCH_STREAM_RECIPE) + " " + quoted(dir) + " " + quoted(seconds))
                   .c_str()) != 0) {
      fprintf(stderr, "bench_decode: the streams could not be made in %s\n", dir.c_str());
      return 1;
    }
    for (const char* name : kStreams) files.push_back(dir + "/" + name);
  }
  stay_on_one_processor();
  const std::string mpegframe = own_folder() + "/mpegframe";
  std::vector<Row> rows;
  for (const std::string& file : files) {
    Row row;
    if (measure(file.c_str(), mpegframe, row)) rows.push_back(row);
    else fprintf(stderr, "bench_decode: %s does not open\n", file.c_str());
  }
  print_table(rows);
  return rows.size() == files.size() ? 0 : 1;
}
