// Fuzzes rendering: every input that opens as a session is rendered at its
// start, middle and end, so slice, macroblock and block decoding meet
// damaged data with the sanitizers watching every read and write.
#include <cstdint>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

#include "mpeg/session.h"
#include "tools/fuzz/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = FuzzFile("render");
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return 0;
  fwrite(data, 1, size, f);
  fclose(f);
  BitmapHeader bitmap;
  if (preview_open(path.c_str(), nullptr, &bitmap, nullptr)) {
    std::vector<uint8_t> pixels(bitmap.biSizeImage);
    for (size_t position : {size_t{0}, size / 2, size - size / 8})
      preview_render(static_cast<int64_t>(position), pixels.data());
  }
  preview_close();
  return 0;
}
