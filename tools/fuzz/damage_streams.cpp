// Damages streams the way recordings and copies get damaged and decodes
// every result: cut anywhere, a range dropped or duplicated (whole packets
// or headers, or any bytes), bytes flipped in headers, packet headers and
// payloads. The damage is chosen by a fixed seed, so a fault found here
// comes back on every run; run it under the sanitizers to see any stray
// read or write. Prints one line per stream; a fault ends the program.
//   damage_streams [--variants N] [--seconds S] [--keep DIR] STREAM...
//   damage_streams --as-is FILE...
// --keep writes each damaged file before decoding it (the last one written
// is the one that faulted); --as-is decodes the files unchanged (the inputs
// that once found faults).
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

#include "mpeg/session.h"

namespace {

typedef std::vector<uint8_t> Bytes;
const size_t kHeadBytes = 200000;  // damage the start of long streams only

Bytes read_head(const char* path) {
  Bytes b;
  FILE* f = fopen(path, "rb");
  if (!f) return b;
  b.resize(kHeadBytes);
  b.resize(fread(b.data(), 1, b.size(), f));
  fclose(f);
  return b;
}

// Offsets of every start code: packs, packets and the video headers.
std::vector<size_t> start_codes(const Bytes& b) {
  std::vector<size_t> at;
  for (size_t i = 0; i + 3 < b.size(); ++i)
    if (b[i] == 0 && b[i + 1] == 0 && b[i + 2] == 1) at.push_back(i);
  return at;
}

struct Damager {
  const Bytes& original;
  const std::vector<size_t>& codes;
  std::mt19937 random;

  size_t any(size_t n) { return n ? std::uniform_int_distribution<size_t>(0, n - 1)(random) : 0; }
  size_t code() { return codes.empty() ? any(original.size()) : codes[any(codes.size())]; }
  // From one start code to a later one, or a stretch of any bytes.
  void range(size_t& from, size_t& to) {
    from = code();
    to = any(2) ? from + 1 + any(3000) : code();
    if (to < from) std::swap(from, to);
    if (to > original.size()) to = original.size();
  }

  Bytes damage() {
    Bytes b = original;
    const int kinds = 1 + static_cast<int>(any(3));
    for (int k = 0; k < kinds && !b.empty(); ++k) {
      size_t from, to;
      switch (any(5)) {
        case 0:  // cut, at a start code or anywhere
          b.resize(any(2) ? std::min(b.size(), code() + any(12)) : any(b.size()));
          break;
        case 1:  // drop
          range(from, to);
          if (to <= b.size()) b.erase(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(to));
          break;
        case 2:  // duplicate
          range(from, to);
          if (to <= b.size()) {
            Bytes copy(b.begin() + static_cast<long>(from), b.begin() + static_cast<long>(to));
            b.insert(b.begin() + static_cast<long>(to), copy.begin(), copy.end());
          }
          break;
        case 3:  // flip bits in the header after a start code
          for (int n = 1 + static_cast<int>(any(4)); n > 0; --n) {
            const size_t at = code() + 3 + any(20);
            if (at < b.size()) b[at] ^= static_cast<uint8_t>(1u << any(8));
          }
          break;
        default:  // set bytes anywhere
          for (int n = 1 + static_cast<int>(any(16)); n > 0; --n) b[any(b.size())] = static_cast<uint8_t>(any(256));
          break;
      }
    }
    return b;
  }
};

int count_frames(void* user, int64_t, const uint8_t*) { return ++*static_cast<int*>(user) < 12; }

// Opens, renders at a few places and decodes the first frames; the
// results do not matter, only that nothing faults.
int decode(const std::string& path, size_t size) {
  BitmapHeader bitmap;
  if (!preview_open(path.c_str(), nullptr, &bitmap, nullptr)) return 0;
  std::vector<uint8_t> pixels(bitmap.biSizeImage);
  int rendered = 0;
  for (size_t at : {size_t{0}, size / 2, size - size / 10}) rendered += preview_render(static_cast<int64_t>(at), pixels.data());
  int frames = 0;
  preview_decode_all(pixels.data(), count_frames, &frames);
  preview_close();
  return rendered;
}

}  // namespace

int main(int argc, char** argv) {
  int variants = 40;
  double seconds = 1e9;
  std::string keep;
  bool as_is = false;
  std::vector<const char*> streams;
  for (int i = 1; i < argc; ++i) {
    if (!strcmp(argv[i], "--variants") && i + 1 < argc) variants = atoi(argv[++i]);
    else if (!strcmp(argv[i], "--seconds") && i + 1 < argc) seconds = atof(argv[++i]);
    else if (!strcmp(argv[i], "--keep") && i + 1 < argc) keep = argv[++i];
    else if (!strcmp(argv[i], "--as-is")) as_is = true;
    else streams.push_back(argv[i]);
  }
  if (as_is) {
    for (const char* path : streams) printf("%-40s %d frames rendered\n", path, decode(path, read_head(path).size()));
    return 0;
  }
  const auto start = std::chrono::steady_clock::now();
  const std::string scratch = keep.empty() ? "/tmp/ringfeed-damaged-" + std::to_string(getpid()) + ".mpg"
                                           : keep + "/damaged.mpg";
  int decoded = 0;
  for (size_t s = 0; s < streams.size(); ++s) {
    const Bytes original = read_head(streams[s]);
    if (original.empty()) {
      fprintf(stderr, "%s: cannot read\n", streams[s]);
      return 1;
    }
    const std::vector<size_t> codes = start_codes(original);
    Damager damager{original, codes, std::mt19937(static_cast<uint32_t>(1000 + s))};
    int rendered = 0, v = 0;
    for (; v < variants; ++v) {
      const double spent = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      // Spread what time there is over the streams still to come.
      if (spent > seconds * static_cast<double>(s + 1) / static_cast<double>(streams.size())) break;
      const Bytes damaged = damager.damage();
      FILE* f = fopen(scratch.c_str(), "wb");
      if (!f) return 1;
      if (!damaged.empty()) fwrite(damaged.data(), 1, damaged.size(), f);
      fclose(f);
      rendered += decode(scratch, damaged.size());
      ++decoded;
    }
    printf("%-40s %d damaged copies, %d frames rendered\n", streams[s], v, rendered);
  }
  if (keep.empty()) unlink(scratch.c_str());
  printf("%d damaged streams decoded\n", decoded);
  return 0;
}
