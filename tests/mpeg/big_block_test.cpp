// Big blocks: every byte of each block is its own, from small sizes to
// beyond a huge page, and blocks live side by side until freed.
#include "mpeg/big_block.h"
#include "mpeg/decoder_context.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

TEST(BigBlock, EveryByteIsTheBlocksOwn) {
  const size_t sizes[] = {1, 4095, (size_t(1) << 19) - 1, size_t(1) << 19, 1036816, size_t(2) << 20,
                          (size_t(2) << 20) + 1, 6266896};
  std::vector<uint8_t*> blocks;
  for (size_t i = 0; i < sizeof sizes / sizeof sizes[0]; ++i) {
    uint8_t* b = big_block_new(sizes[i]);
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(b) % 16) << sizes[i];
    memset(b, static_cast<int>(i + 1), sizes[i]);
    blocks.push_back(b);
  }
  for (size_t i = 0; i < blocks.size(); ++i) {
    const uint8_t want = static_cast<uint8_t>(i + 1);
    EXPECT_EQ(want, blocks[i][0]) << sizes[i];
    EXPECT_EQ(want, blocks[i][sizes[i] / 2]) << sizes[i];
    EXPECT_EQ(want, blocks[i][sizes[i] - 1]) << sizes[i];
    big_block_free(blocks[i], sizes[i]);
  }
  big_block_free(nullptr, 0);
}

// The slice state is written with aligned vector stores; the heap of 32-bit
// Windows gives 8-byte alignment, which small blocks in between bring out.
TEST(BigBlock, DecoderContextsAreAlignedForVectorStores) {
  std::vector<void*> small;
  std::vector<std::unique_ptr<DecoderContext>> contexts;
  for (int i = 0; i < 16; ++i) {
    small.push_back(malloc(8 + 8 * i));
    contexts.emplace_back(i & 1 ? new DecoderContext() : new (std::nothrow) DecoderContext());
    ASSERT_NE(nullptr, contexts.back());
    EXPECT_EQ(0u, reinterpret_cast<uintptr_t>(contexts.back().get()) % 16) << i;
    EXPECT_EQ(0, contexts.back()->slice_state.coefficients[63]) << "zero-filled";
  }
  for (void* p : small) free(p);
}

}  // namespace
