// Size and place of the program's own tooltip window. Portable; the text is
// measured through a callback (GetTextExtentPoint32A in the program).
#pragma once

struct TipExtent {
  int width, height;
};

// Extent of `length` bytes of `text` in the tip's font.
typedef TipExtent (*MeasureTextFn)(const char* text, int length, void* context);

// Text size of a tip: lines split at "\r\n" and broken before the character
// that would take a line past `maxWidth`; width is the widest line plus one
// '@', height the sum of the line heights. Code page 932 aware: a
// double-byte character is never split.
TipExtent MeasureTipText(const char* text, int maxWidth, MeasureTextFn measure, void* context);

struct TipPlacement {
  int x, y;
};

// Top-left corner of a tip of text size `size` (window size + 4 each way)
// wanted at (x, y): kept inside the desktop's right and bottom edges and
// moved off the cursor by the shorter of a sideways and an upward move.
TipPlacement PlaceTip(int x, int y, TipExtent size, int desktopRight, int desktopBottom,
                      int cursorX, int cursorY);
