#include "input/frame_layout.h"

#include <cstdio>

uint32_t EncodeSizeRequest(uint32_t width, uint32_t height, bool deferred) {
  return kSizeRequest | ((height & 0x7FFF) << 16) | (deferred ? kSizeRequestDeferred : 0) | (width & 0x7FFF);
}

SizeRequest DecodeSizeRequest(uint32_t wParam) {
  return {int32_t(wParam & 0x7FFF), int32_t((wParam >> 16) & 0x7FFF), (wParam & kSizeRequestDeferred) != 0};
}

bool IsSizeRequest(uint32_t wParam) { return (wParam & kSizeRequest) != 0; }

Growth FrameGrowth(int32_t outerW, int32_t outerH, int32_t minW, int32_t minH, int32_t listW,
                   int32_t recordedListW, int32_t labelTop, int32_t recordedLabelTop) {
  return {(outerW - minW) - (listW - recordedListW), (outerH - minH) - (labelTop - recordedLabelTop)};
}

bool MovesWithLabel(int32_t top, int32_t recordedLabelTop) { return top >= recordedLabelTop - 8; }

void KeepMinimumSize(Box& r, int edge, int32_t minW, int32_t minH) {
  // WMSZ_LEFT 1, RIGHT 2, TOP 3, TOPLEFT 4, TOPRIGHT 5, BOTTOM 6, BOTTOMLEFT 7, BOTTOMRIGHT 8
  if (r.right - r.left < minW) {
    if (edge == 1 || edge == 4 || edge == 7) r.left = r.right - minW;
    else r.right = r.left + minW;
  }
  if (r.bottom - r.top < minH) {
    if (edge == 3 || edge == 4 || edge == 5) r.top = r.bottom - minH;
    else r.bottom = r.top + minH;
  }
}

Point32 FramePlacement(int32_t x, int32_t y, int32_t w, int32_t h, const Box& d, const Box* t) {
  if (x < d.left) x = d.left;
  else if (x + w > d.right) x = d.right - w;
  if (y < d.top) y = 0;
  else if (y + h > d.bottom) y = d.bottom - h;
  if (t) {
    if (x < t->right && t->left < x + w && (x < t->left || t->right < x + w)) {
      x = t->left - w;
      if (x < 0) x = t->right;
    }
    if (y < t->bottom && t->top < y + h && (y < t->top || t->bottom < y + h)) {
      y = t->top - h;
      if (y < 0) y = t->bottom;
    }
  }
  return {x, y};
}

bool ParseFileListState(const char* text, FileListState& s) {
  FileListState parsed = {};
  if (sscanf(text, "%ld,%d,%d,%d,%d", &parsed.style, &parsed.widths[0], &parsed.widths[1], &parsed.widths[2],
             &parsed.widths[3]) != 5)
    return false;
  s = parsed;
  return true;
}

void FormatFileListState(const FileListState& s, char* out, size_t size) {
  snprintf(out, size, "%ld,%d,%d,%d,%d", s.style, s.widths[0], s.widths[1], s.widths[2], s.widths[3]);
}
