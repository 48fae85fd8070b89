// Runs ffprobe (and other tools) on the generated test streams and reads
// its "flat" output, so tests compare with an independent decoder's view.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

inline std::string stream_path(const std::string& name) {
  if (name.find('/') != std::string::npos) return name;
  return std::string(MPEG_STREAM_DIR) + "/" + name;
}

inline std::string data_path(const std::string& name) {
  return std::string(MPEG_TEST_DATA_DIR) + "/" + name;
}

// Standard output of a shell command.
inline std::string run_command(const std::string& command) {
  std::string out;
  FILE* p = popen(command.c_str(), "r");
  if (!p) return out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
  pclose(p);
  return out;
}

// "key=value" lines (ffprobe -of flat), quotes removed.
inline std::map<std::string, std::string> parse_flat(const std::string& text) {
  std::map<std::string, std::string> values;
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(at, end - at);
    size_t eq = line.find('=');
    if (eq != std::string::npos) {
      std::string value = line.substr(eq + 1);
      if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
      values[line.substr(0, eq)] = value;
    }
    at = end + 1;
  }
  return values;
}

inline std::map<std::string, std::string> ffprobe(const std::string& args, const std::string& path) {
  return parse_flat(run_command("ffprobe -v error " + args + " -of flat '" + path + "'"));
}

inline std::vector<unsigned char> read_whole_file(const std::string& path) {
  std::vector<unsigned char> bytes;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return bytes;
  unsigned char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
  fclose(f);
  return bytes;
}

// File offsets to scan from, one per GOP header: the header itself in an
// elementary stream, the start of the video packet holding it in a program stream.
inline std::vector<size_t> gop_starts(const std::vector<unsigned char>& b, bool program_stream) {
  std::vector<size_t> starts;
  size_t packet = 0;
  for (size_t i = 0; i + 3 < b.size(); ++i) {
    if (b[i] != 0 || b[i + 1] != 0 || b[i + 2] != 1) continue;
    if ((b[i + 3] & 0xF0) == 0xE0) packet = i;
    if (b[i + 3] == 0xB8) starts.push_back(program_stream ? packet : i);
  }
  return starts;
}

// Every generated stream and the stored ones.
inline std::vector<std::string> all_test_streams() {
  std::vector<std::string> names = {
      "mpeg1_system.mpg", "mpeg1_es.m1v",    "mpeg2_ps.mpg",  "mpeg2_es_open_gop.m2v",
      "closed_gop.m2v",   "interlaced.m2v",  "yuv422.m2v",    "odd_size.m2v",
      "hd1080.mpg",       "drop_frame.m2v",  "pulldown.m2v",  "pulldown_ps.mpg", "mp3_ps.mpg"};
  for (const char* sound : {"mp2_24k_64k.mpg", "mp2_16k_8k.mpg", "mp2_32k_384k.mpg", "mp3_22k_32k.mpg",
                            "mp3_24k_160k.mpg", "mp3_48k_320k.mpg", "mp3_32k_40k.mpg"})
    names.push_back(sound);
  for (const char* stored : {"fields420_bff_704x480.m2v", "fields422_tff_ii_352x576.m2v",
                             "fields444_tff_320x256.m2v", "frames444_320x240.m2v"})
    names.push_back(data_path(stored));
  // MORE_TEST_STREAMS=FILE:FILE...: a developer's own streams join the checks.
  if (const char* more = getenv("MORE_TEST_STREAMS")) {
    for (std::string rest = more; !rest.empty();) {
      const size_t colon = rest.find(':');
      if (colon) names.push_back(rest.substr(0, colon));
      rest = colon == std::string::npos ? "" : rest.substr(colon + 1);
    }
  }
  return names;
}
