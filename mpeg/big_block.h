// Blocks of a picture's size and more. A fresh page costs a fault the first
// time it is touched and a 1080-line picture spans some 1,500 small pages:
// where the system offers large pages for such blocks, they come from those.
// big_block_posix.cpp and big_block_win.cpp are the two versions.
#pragma once

#include <cstddef>
#include <cstdint>

// `bytes` bytes of unspecified contents, aligned to 16 at least; none when
// out of memory.
uint8_t* big_block_new(size_t bytes);
// Frees a block from big_block_new of the same `bytes`. Accepts none.
void big_block_free(uint8_t* block, size_t bytes);
