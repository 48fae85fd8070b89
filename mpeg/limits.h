// Sizes the decoder accepts. A header announcing more is refused: a damaged
// or hostile file must not make the preview allocate without bound.
#pragma once

#include <cstdint>

// Largest coded width or height, in samples (a multiple of 32).
const int32_t kMaxCodedSize = 4096;
