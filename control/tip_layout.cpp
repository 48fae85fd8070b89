#include "control/tip_layout.h"

#include <cstdlib>

#include "control/cp932.h"

namespace {

int CharLength(const char* p) {
  return IsCp932LeadByte(static_cast<unsigned char>(p[0])) && p[1] != '\0' ? 2 : 1;
}

// Adds one physical line of `length` bytes, broken into display lines.
void MeasureLine(const char* line, int length, int maxWidth, MeasureTextFn measure, void* context,
                 TipExtent* total) {
  const char* start = line;
  const char* end = line + length;
  TipExtent shown = measure(start, 0, context);  // an empty line still has a height
  const char* p = start;
  while (p < end) {
    const char* next = p + CharLength(p);
    TipExtent running = measure(start, static_cast<int>(next - start), context);
    if (running.width > maxWidth && p > start) {
      // Break before this character; it starts the next display line.
      if (shown.width > total->width) total->width = shown.width;
      total->height += shown.height;
      start = p;
      shown = measure(start, 0, context);
      continue;
    }
    if (running.height > shown.height || running.width > shown.width) shown = running;
    p = next;
  }
  if (shown.width > total->width) total->width = shown.width;
  total->height += shown.height;
}

}  // namespace

TipExtent MeasureTipText(const char* text, int maxWidth, MeasureTextFn measure, void* context) {
  TipExtent total = {0, 0};
  const char* line = text;
  for (;;) {
    const char* p = line;
    while (*p != '\0' && !(p[0] == '\r' && p[1] == '\n')) p += CharLength(p);
    MeasureLine(line, static_cast<int>(p - line), maxWidth, measure, context, &total);
    if (*p == '\0') break;
    line = p + 2;
  }
  total.width += measure("@", 1, context).width;
  return total;
}

TipPlacement PlaceTip(int x, int y, TipExtent size, int desktopRight, int desktopBottom,
                      int cursorX, int cursorY) {
  const int w = size.width, h = size.height;
  if (x + w + 4 > desktopRight) x = desktopRight - w - 4;
  if (y + h + 4 > desktopBottom) y = desktopBottom - h - 4;
  bool underCursor = cursorX >= x && cursorX <= x + w + 4 && cursorY >= y && cursorY <= y + h + 4;
  if (!underCursor) return {x, y};

  const int rightOfCursor = cursorX + 1;
  const int leftOfCursor = cursorX - w - 5;
  int sideways;
  if (cursorX - w + 4 < 0) {
    sideways = rightOfCursor;
  } else if (cursorX + w + 4 > desktopRight) {
    sideways = leftOfCursor;
  } else {
    sideways = cursorX - x < (w + 4) / 2 ? rightOfCursor : leftOfCursor;
  }
  const int above = cursorY - h - 5;
  if (abs(sideways - x) < abs(above - y)) return {sideways, y};
  return {x, above};
}
