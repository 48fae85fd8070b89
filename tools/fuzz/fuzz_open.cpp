// Fuzzes opening a preview session: every input is written to a file and
// opened, as the Input dialog would open a damaged or hostile file.
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>

#include "mpeg/session.h"
#include "tools/fuzz/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = FuzzFile("open");
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return 0;
  fwrite(data, 1, size, f);
  fclose(f);
  StreamInfo info;
  BitmapHeader bitmap;
  if (preview_open(path.c_str(), nullptr, &bitmap, &info)) {
    // What an open session reports must be what its header announced.
    if (bitmap.biWidth <= 0 || bitmap.biWidth > 4096 || -bitmap.biHeight <= 0 ||
        -bitmap.biHeight > 4096 || static_cast<uint32_t>(bitmap.biWidth) != info.width)
      __builtin_trap();
  }
  preview_close();
  return 0;
}
