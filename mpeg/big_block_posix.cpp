// Big blocks as anonymous mappings on 2 MiB boundaries, marked for
// transparent huge pages where the kernel has them.
#include "mpeg/big_block.h"

#include <sys/mman.h>

#include <cstdlib>

namespace {

const size_t kHugePage = size_t(2) << 20;
// From a 720x480 picture up: one fault zeroing 2 MiB costs far less than
// the 250 faults of its small pages, even when half the page is spare.
const size_t kSmallest = kHugePage / 4;

size_t RoundUp(size_t n, size_t unit) { return (n + unit - 1) / unit * unit; }

}  // namespace

uint8_t* big_block_new(size_t bytes) {
  if (bytes < kSmallest) return static_cast<uint8_t*>(malloc(bytes));
  const size_t length = RoundUp(bytes, kHugePage);
  const size_t span = length + kHugePage;  // room to move up to a boundary
  void* mapped = mmap(nullptr, span, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapped == MAP_FAILED) return nullptr;
  const uintptr_t base = reinterpret_cast<uintptr_t>(mapped);
  const uintptr_t start = RoundUp(base, kHugePage);
  if (start > base) munmap(mapped, start - base);
  const size_t tail = base + span - (start + length);
  if (tail) munmap(reinterpret_cast<void*>(start + length), tail);
#ifdef MADV_HUGEPAGE
  madvise(reinterpret_cast<void*>(start), length, MADV_HUGEPAGE);  // only advice: fine if refused
#endif
  return reinterpret_cast<uint8_t*>(start);
}

void big_block_free(uint8_t* block, size_t bytes) {
  if (!block) return;
  if (bytes < kSmallest) free(block);
  else munmap(block, RoundUp(bytes, kHugePage));
}
