#include "control/drive_text.h"

#include <cstdio>

#include "control/number_format.h"

void FormatDriveItem(char letter, bool freeKnown, uint64_t freeBytes, char* buffer) {
  if (!freeKnown) {
    snprintf(buffer, kDriveItemSize, "%c:\\", letter);
    return;
  }
  char grouped[kGroupedNumberSize];
  FormatGroupedNumber(freeBytes, grouped, sizeof grouped);
  snprintf(buffer, kDriveItemSize, "%c:\\%s バイト空き", letter, grouped);
}
