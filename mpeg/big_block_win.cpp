// Big blocks from the C heap: large pages need a privilege users lack. The
// heap of 32-bit Windows aligns to 8 bytes only, so each block sits up to 16
// bytes into its allocation, with its distance from the start just before it.
#include "mpeg/big_block.h"

#include <cstdint>
#include <cstdlib>

namespace {

const size_t kAlignment = 16;

}  // namespace

uint8_t* big_block_new(size_t bytes) {
  if (bytes > SIZE_MAX - kAlignment) return nullptr;
  uint8_t* allocation = static_cast<uint8_t*>(malloc(bytes + kAlignment));
  if (!allocation) return nullptr;
  const size_t offset = kAlignment - reinterpret_cast<uintptr_t>(allocation) % kAlignment;  // 1..16
  uint8_t* block = allocation + offset;
  block[-1] = static_cast<uint8_t>(offset);
  return block;
}

void big_block_free(uint8_t* block, size_t) {
  if (block) free(block - block[-1]);
}
