// The file a fuzz target writes each input to (the decoder opens files by
// name): one per process, removed when the process ends.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

inline const std::string& FuzzFile(const char* target) {
  static const std::string path = "/tmp/ringfeed-fuzz-" + std::string(target) + "-" + std::to_string(getpid()) + ".mpg";
  static const bool removed_at_exit = atexit([] { remove(path.c_str()); }) == 0;
  (void)removed_at_exit;
  return path;
}
