#include "control/tray_tip.h"

#include <cstdio>
#include <cstring>

#include "control/cp932.h"

void CopyTrayTip(char* tip, const char* text) {
  size_t length = 0;
  for (;;) {
    unsigned char c = static_cast<unsigned char>(text[length]);
    if (c == 0) break;
    size_t next = IsCp932LeadByte(c) && text[length + 1] != '\0' ? 2 : 1;
    if (length + next > kTrayTipSize - 1) break;
    length += next;
  }
  memcpy(tip, text, length);
  tip[length] = '\0';
}

void FormatTrayTip(const char* positionText, const char* path, char* tip) {
  char whole[300];
  snprintf(whole, sizeof whole, "%s - %s", positionText, path);
  CopyTrayTip(tip, whole);
}
