#include "control/number_format.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

namespace {

const uint64_t kBillion = 1000000000ull;
const uint64_t kTrillion = 1000000000000ull;

// Inserts a comma before every group of three digits counted from the right.
void GroupDigits(const char* digits, char* out) {
  size_t length = strlen(digits);
  for (size_t i = 0; i < length; ++i) {
    if (i > 0 && (length - i) % 3 == 0) *out++ = ',';
    *out++ = digits[i];
  }
  *out = '\0';
}

}  // namespace

int FormatGroupedNumber(uint64_t value, char* buffer, size_t size) {
  char digits[24];
  char grouped[kGroupedNumberSize];
  if (value >= kTrillion) {
    snprintf(digits, sizeof digits, "%" PRIu64, value);
    GroupDigits(digits, grouped);
  } else {
    snprintf(digits, sizeof digits, "%03lu%09lu", static_cast<unsigned long>(value / kBillion),
             static_cast<unsigned long>(value % kBillion));
    GroupDigits(digits, grouped);
    // Blank the leading zeros and their commas; the last digit always stays.
    for (int i = 0; i < 14 && (grouped[i] == '0' || grouped[i] == ','); ++i) grouped[i] = ' ';
  }
  if (size == 0) return 0;
  if (strlen(grouped) >= size) {
    buffer[0] = '\0';
    return 0;
  }
  strcpy(buffer, grouped);
  return 1;
}

void FormatOutputSizeText(uint64_t bytes, char* buffer, size_t size) {
  char grouped[kGroupedNumberSize];
  FormatGroupedNumber(bytes, grouped, sizeof grouped);
  const char* digits = grouped;
  while (*digits == ' ') ++digits;
  snprintf(buffer, size, "%s\nbytes", digits);
}

int PositionPermille(uint64_t offset, uint64_t size) {
  if (size == 0) return 0;
  // offset x 2000 overflows only for offsets past 9.2 * 10^15 bytes.
  return static_cast<int>((offset * 2000 / size + 1) / 2);
}

void FormatPositionText(uint64_t offset, uint64_t size, bool gigabytes, char* buffer,
                        size_t bufferSize) {
  if (gigabytes) {
    uint64_t rounded = offset + 5000000;
    snprintf(buffer, bufferSize, "%2" PRIu64 ".%02uGB", rounded / kBillion,
             static_cast<unsigned>(rounded % kBillion / 10000000));
    return;
  }
  int permille = PositionPermille(offset, size);
  snprintf(buffer, bufferSize, "%3d.%d%%", permille / 10, permille % 10);
}
