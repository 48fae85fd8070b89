#include "control/position_math.h"

int ScrolledPermille(int code, int d, int thumb, int barPosition) {
  switch (code) {
    case SCROLL_LINE_LEFT: return d - 1 >= 0 ? d - 1 : d;
    case SCROLL_LINE_RIGHT: return d < 1000 ? d + 1 : d;
    case SCROLL_PAGE_LEFT: return d > 4 ? d - 5 : 0;
    case SCROLL_PAGE_RIGHT: return d <= 995 ? d + 5 : 1000;
    case SCROLL_LEFT: return 0;
    case SCROLL_RIGHT: return 1000;
    case SCROLL_THUMB_TRACK:
    case SCROLL_THUMB_POSITION: return thumb;
    case SCROLL_END: return barPosition;
  }
  return d;
}

uint64_t OffsetForPermille(int permille, uint64_t inputSize) {
  if (inputSize == 0 || permille <= 0) return 0;
  uint64_t offset = static_cast<uint64_t>(permille) * inputSize / 1000;
  return offset & ~static_cast<uint64_t>(32767);
}

int FilledWidth(int width, uint64_t p, uint64_t ringEnd, uint64_t fileLength) {
  if (fileLength == 0 || ringEnd == 0 || width <= 0) return 0;
  uint64_t filled = static_cast<uint64_t>(width) * p / ringEnd;
  // The write position never passes the ring end; clamp so a stale value
  // cannot push the bar outside its frame.
  return filled > static_cast<uint64_t>(width) ? width : static_cast<int>(filled);
}

ScreenPoint OverlayOrigin(bool trackFound, int trackLeft, int trackTop) {
  if (!trackFound) return {2, 2};
  return {trackLeft + 2, trackTop + 2};
}

PictureSize PreviewSizeFor(int32_t width, int32_t height) {
  int64_t rows = height < 0 ? -int64_t(height) : int64_t(height);
  if (width <= 0 || rows == 0) return {0, 0};
  int64_t h = rows < 480 ? 240 : rows / 2;
  return {static_cast<int>(h * width / rows), static_cast<int>(h)};
}

ScreenPoint PreviewOrigin(int controlLeft, int controlTop, int controlWidth, int controlBottom, int w,
                          int h, int fx, int fy) {
  int top = controlTop - fy - h;
  return {controlLeft + (controlWidth - w - fx) / 2, top < 0 ? controlBottom : top};
}
