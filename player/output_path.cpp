#include "player/output_path.h"

#include <cstdio>

bool FormatOutputPath(const char* drive, char* path, size_t size) {
  if (size == 0) return false;
  int n = snprintf(path, size, "%s\\$Ringfeed.mpg", drive);
  if (n > 0 && static_cast<size_t>(n) < size) return true;
  path[0] = '\0';
  return false;
}
