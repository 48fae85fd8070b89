// Arithmetic of the preview panel: fitting the picture, the position bar and
// the byte position of a bar position. Portable.
#pragma once

#include <cstdint>

struct FittedImage {
  int32_t x, y, width, height;  // inside the panel, centred
};

// Fits a width x |height| picture into a cw x ch panel keeping its aspect;
// the computed side is truncated. A picture or panel without area fits to 0 x 0.
FittedImage FitImage(int32_t width, int32_t height, int32_t cw, int32_t ch);

// Bar position after a WM_HSCROLL request, -1 when the request is ignored.
// `thumb` is the high word of wParam.
int32_t BarPositionAfter(int32_t current, int request, int32_t thumb);

// Byte position of bar position 0..1000 in a file of `size` bytes; 1001 keeps
// position 1000 just before the end.
uint64_t BarBytePosition(int32_t position, uint64_t size);

// Bar position one step right of the copy position of the current input, so
// that the first step left lands on it; 0 for an empty file.
int32_t CopyBarPosition(uint64_t offset, uint64_t size);
