#include "input/preview_layout.h"

FittedImage FitImage(int32_t width, int32_t height, int32_t cw, int32_t ch) {
  if (height < 0) height = -height;
  FittedImage f = {0, 0, 0, 0};
  if (width <= 0 || height <= 0 || cw <= 0 || ch <= 0) return f;
  if (double(width) / cw >= double(height) / ch) {
    f.width = cw;
    f.height = int32_t(double(height) / width * cw);
  } else {
    f.width = int32_t(double(ch) / height * width);
    f.height = ch;
  }
  f.x = (cw - f.width) / 2;
  f.y = (ch - f.height) / 2;
  return f;
}

int32_t BarPositionAfter(int32_t current, int request, int32_t thumb) {
  auto clamp = [](int32_t p) { return p < 0 ? 0 : p > 1000 ? 1000 : p; };
  switch (request) {
    case 0: return clamp(current - 1);    // SB_LINELEFT
    case 1: return clamp(current + 1);    // SB_LINERIGHT
    case 2: return clamp(current - 50);   // SB_PAGELEFT
    case 3: return clamp(current + 50);   // SB_PAGERIGHT
    case 6: return 0;                     // SB_LEFT
    case 7: return 1000;                  // SB_RIGHT
    case 8: return -1;                    // SB_ENDSCROLL
    default: return thumb;                // thumb position and tracking
  }
}

uint64_t BarBytePosition(int32_t position, uint64_t size) {
  // position * size would overflow for files beyond 2^54 bytes; split it.
  uint64_t p = uint64_t(position);
  return (size / 1001) * p + (size % 1001) * p / 1001;
}

int32_t CopyBarPosition(uint64_t offset, uint64_t size) {
  if (size == 0) return 0;
  return int32_t(offset * 1000 / size + 1);
}
