// Arithmetic of the resizable Input dialog frame and its saved file-list
// state: the private size request, minimum size, control moves, placement
// and the "Ofn" text. Portable.
#pragma once

#include <cstddef>
#include <cstdint>

// The private size request is a WM_SIZE whose wParam has bit 31 set: width
// in bits 0..14, height in bits 16..30, bit 15 for a deferred attempt.
const uint32_t kSizeRequest = 0x80000000u;
const uint32_t kSizeRequestDeferred = 0x00008000u;
// Reply of a deferred request that came too early.
const uint32_t kSizeRequestNotReady = 0x80008000u;

uint32_t EncodeSizeRequest(uint32_t width, uint32_t height, bool deferred);
struct SizeRequest {
  int32_t width, height;
  bool deferred;
};
SizeRequest DecodeSizeRequest(uint32_t wParam);
bool IsSizeRequest(uint32_t wParam);

struct Box {
  int32_t left, top, right, bottom;
};

// How far the frame has grown beyond the space its lower controls and file
// list already took: dW, dH of the system's WM_SIZE.
struct Growth {
  int32_t dw, dh;
};
Growth FrameGrowth(int32_t outerW, int32_t outerH, int32_t minW, int32_t minH, int32_t listW,
                   int32_t recordedListW, int32_t labelTop, int32_t recordedLabelTop);
// Whether a child whose top is `top` (frame client coordinates) belongs to
// the lower part that moves with the file-name label.
bool MovesWithLabel(int32_t top, int32_t recordedLabelTop);

// WM_SIZING: the dragged edge gives way so that the box keeps the minimum.
// `edge` is a WMSZ_ code (1 left ... 8 bottom right).
void KeepMinimumSize(Box& r, int edge, int32_t minW, int32_t minH);

// Top-left corner for a w x h frame wanted at (x, y): inside the desktop and
// off the taskbar (when there is one).
struct Point32 {
  int32_t x, y;
};
Point32 FramePlacement(int32_t x, int32_t y, int32_t w, int32_t h, const Box& desktop, const Box* taskbar);

// The file list's view: style masked with 0x0C03 and the widths of columns
// 0..3 in details view.
struct FileListState {
  long style;
  int widths[4];
};
// True when the text holds all five numbers.
bool ParseFileListState(const char* text, FileListState& state);
void FormatFileListState(const FileListState& state, char* out, size_t size);
