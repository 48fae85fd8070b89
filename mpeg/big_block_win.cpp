// Big blocks from the C heap: large pages need a privilege users lack.
#include "mpeg/big_block.h"

#include <cstdlib>

uint8_t* big_block_new(size_t bytes) { return static_cast<uint8_t*>(malloc(bytes)); }

void big_block_free(uint8_t* block, size_t) { free(block); }
