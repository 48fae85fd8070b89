// Arithmetic of the copy position bar, the progress bars and the overlay.
// Portable; no window needed.
#pragma once

#include <cstdint>

// Scroll-bar codes (the values of winuser.h's SB_* codes).
enum ScrollCode {
  SCROLL_LINE_LEFT = 0,
  SCROLL_LINE_RIGHT = 1,
  SCROLL_PAGE_LEFT = 2,
  SCROLL_PAGE_RIGHT = 3,
  SCROLL_THUMB_POSITION = 4,
  SCROLL_THUMB_TRACK = 5,
  SCROLL_LEFT = 6,
  SCROLL_RIGHT = 7,
  SCROLL_END = 8,
};

// New permille of the copy position bar for a scroll code; `thumb` is the
// thumb position of the message, `barPosition` the bar's own position.
int ScrolledPermille(int code, int permille, int thumb, int barPosition);

// Input offset for a chosen permille, rounded down to 32,768 bytes.
uint64_t OffsetForPermille(int permille, uint64_t inputSize);

// Filled width of a bar of inner width `width` for write position `p` in a
// ring ending at `ringEnd`; 0 while the ring file's length is unknown (0).
int FilledWidth(int width, uint64_t p, uint64_t ringEnd, uint64_t fileLength);

struct ScreenPoint {
  int x, y;
};

// Where the overlay goes: 2 pixels inside the seek track's top-left corner;
// a Player without a seek track counts as a track at (0, 0).
ScreenPoint OverlayOrigin(bool trackFound, int trackLeft, int trackTop);

struct PictureSize {
  int width, height;
};

// Size of the Control window preview for a bitmap of width x height (height
// negative for top-down bitmaps): 240 rows below 480 rows, else half the rows;
// the width in proportion. 0 x 0 for a picture without area.
PictureSize PreviewSizeFor(int32_t width, int32_t height);

// Top-left corner of the preview window (client w x h, frame sizes fx, fy):
// centred above the Control window, or just below it when there is no room
// above (top edge below 0).
ScreenPoint PreviewOrigin(int controlLeft, int controlTop, int controlWidth, int controlBottom, int w,
                          int h, int fx, int fy);
