// bench_decode_blocks: throughput of the inverse DCT (reference, fast, and
// the decoder's entry told where the coefficients lie),
// the prediction sample loops and the colour conversion, on fixed
// pseudo-random data. Prints one line per measurement.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "mpeg/colour.h"
#include "mpeg/idct.h"
#include "mpeg/motion.h"

namespace {

struct Lcg {
  uint64_t state;
  uint32_t Next() {
    state = state * 6364136223846793005ull + 1442695040888963407ull;
    return static_cast<uint32_t>(state >> 33);
  }
};

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Blocks like a decoder meets them: a handful of low-frequency
// coefficients; or dense blocks of full-range coefficients.
std::vector<int16_t> MakeBlocks(int count, bool dense, Lcg& random) {
  std::vector<int16_t> blocks(64 * count, 0);
  for (int n = 0; n < count; ++n) {
    int16_t* b = &blocks[64 * n];
    if (dense) {
      for (int i = 0; i < 64; ++i) b[i] = static_cast<int16_t>(random.Next() % 4096) - 2048;
      continue;
    }
    const int coefficients = 1 + random.Next() % 6;
    for (int k = 0; k < coefficients; ++k) {
      const int v = random.Next() % 3, u = random.Next() % 4;
      b[8 * v + u] = static_cast<int16_t>(random.Next() % 200) - 100;
    }
  }
  return blocks;
}

uint32_t g_sink = 0;

// transform(block, n) transforms block n of the source in place.
template <class Transform>
void BenchIdct(const char* name, Transform transform, const std::vector<int16_t>& source) {
  const int count = static_cast<int>(source.size() / 64);
  std::vector<int16_t> work(source.size());
  long long blocks = 0;
  const Clock::time_point start = Clock::now();
  double elapsed = 0;
  do {
    std::memcpy(work.data(), source.data(), source.size() * sizeof(int16_t));
    for (int n = 0; n < count; ++n) transform(&work[64 * n], n);
    blocks += count;
    g_sink += static_cast<uint16_t>(work[blocks % (64 * count)]);
    elapsed = Seconds(start);
  } while (elapsed < 0.5);
  std::printf("%-34s %10.2f Mblocks/s %8.1f ns/block\n", name, blocks / elapsed / 1e6,
              elapsed * 1e9 / blocks);
}

void BenchPredictRows() {
  const int stride = 736;
  std::vector<uint8_t> source(stride * 64), destination(stride * 64);
  Lcg random = {3};
  for (uint8_t& s : source) s = static_cast<uint8_t>(random.Next());
  for (int width16 = 1; width16 >= 0; --width16)
    for (int copy = 1; copy >= 0; --copy)
      for (int half = 0; half < 4; ++half) {
        const int rows = width16 ? 16 : 8;
        long long samples = 0;
        const Clock::time_point start = Clock::now();
        double elapsed = 0;
        do {
          for (int i = 0; i < 1000; ++i) {
            const int x = (i * 16) % (stride - 32);
            predict_rows(width16, half & 1, half >> 1, copy, &source[x + 1], &destination[x],
                         stride, stride, rows);
          }
          samples += 1000LL * rows * (width16 ? 16 : 8);
          elapsed = Seconds(start);
        } while (elapsed < 0.2);
        g_sink += destination[100];
        char name[64];
        std::snprintf(name, sizeof(name), "predict_rows %2d wide %s half %d%d", width16 ? 16 : 8,
                      copy ? "put" : "avg", half & 1, half >> 1);
        std::printf("%-34s %10.1f Msamples/s\n", name, samples / elapsed / 1e6);
      }
}

void BenchColour() {
  const int width = 720, height = 480;
  std::vector<uint8_t> y(width * height), cb(width * height), cr(width * height);
  Lcg random = {4};
  for (size_t i = 0; i < y.size(); ++i) {
    y[i] = static_cast<uint8_t>(random.Next());
    cb[i] = static_cast<uint8_t>(random.Next());
    cr[i] = static_cast<uint8_t>(random.Next());
  }
  const YuvPlanes picture = {y.data(), cb.data(), cr.data(), width, height, 1};
  ColourSequence sequence = {};
  sequence.horizontal_size = width;
  sequence.vertical_size = height;
  sequence.stride = width;
  sequence.mpeg2 = 1;
  sequence.chroma_format = 1;
  sequence.frame_rate_code = 4;
  const ColourConversion conversion = build_colour_conversion(sequence);
  std::vector<uint8_t> pixels(conversion.output_stride * height);
  int frames = 0;
  Clock::time_point start = Clock::now();
  double elapsed = 0;
  do {
    upsample_chroma(picture, frames & 1);
    ++frames;
    elapsed = Seconds(start);
  } while (elapsed < 0.5);
  std::printf("%-34s %10.1f frames/s\n", "upsample_chroma 720x480", frames / elapsed);
  const char* const loop_names[] = {"plain", "SSE2", "SSSE3", "AVX2", "AVX512"};
  for (int loops : {kColourLoopsSse2, kColourLoopsSsse3, kColourLoopsAvx2, kColourLoopsAvx512}) {
    if (colour_row_loops(loops) != loops) continue;  // not on this processor
    frames = 0;
    start = Clock::now();
    do {
      convert_to_bgr(picture, conversion, pixels.data());
      ++frames;
      elapsed = Seconds(start);
    } while (elapsed < 0.5);
    g_sink += pixels[1234];
    char name[64];
    std::snprintf(name, sizeof name, "convert_to_bgr 720x480 4:2:0 %s", loop_names[loops]);
    std::printf("%-34s %10.1f frames/s\n", name, frames / elapsed);
  }
  colour_row_loops(kColourLoopsAvx512);
}

}  // namespace

int main() {
  Lcg random = {2026};
  const std::vector<int16_t> sparse = MakeBlocks(4096, false, random);
  const std::vector<int16_t> dense = MakeBlocks(4096, true, random);
  const auto reference = [](int16_t* block, int) { inverse_dct_reference(block); };
  const auto fast = [](int16_t* block, int) { inverse_dct_fast(block); };
  // The lists the block decoder makes as it places the coefficients.
  std::vector<uint8_t> coded(sparse.size());
  std::vector<int> counts(sparse.size() / 64, 0);
  for (size_t n = 0; n < counts.size(); ++n)
    for (int i = 0; i < 64; ++i)
      if (sparse[64 * n + i]) coded[64 * n + counts[n]++] = static_cast<uint8_t>(i);
  const auto decoder = [&](int16_t* block, int n) { inverse_dct_coded(block, &coded[64 * n], counts[n]); };
  BenchIdct("inverse_dct_reference sparse", reference, sparse);
  BenchIdct("inverse_dct_fast sparse", fast, sparse);
  BenchIdct("inverse_dct_coded sparse", decoder, sparse);
  BenchIdct("inverse_dct_reference dense", reference, dense);
  BenchIdct("inverse_dct_fast dense", fast, dense);
  BenchPredictRows();
  BenchColour();
  std::printf("(checksum %u)\n", g_sink);
  return 0;
}
