// Number texts of the Control window: grouped byte counts and the input
// position in percent or gigabytes. Portable; no window needed.
#pragma once

#include <cstddef>
#include <cstdint>

// Room for any 64-bit count: 20 digits, 6 commas and the terminator.
const size_t kGroupedNumberSize = 32;

// Below 10^12: exactly 15 characters, digits grouped by commas and
// right-aligned with blanks (0 gives 14 blanks and "0"); a 16-byte buffer
// holds it. From 10^12 up the field widens to hold every digit
// ("1,000,000,000,000", at most 26 characters) instead of printing a wrong
// number. Returns 0, leaving an empty text, when `size` cannot hold it;
// kGroupedNumberSize always can.
int FormatGroupedNumber(uint64_t value, char* buffer, size_t size);

// Actual output size for static 1061: the grouped number without its leading
// blanks, then "\nbytes".
void FormatOutputSizeText(uint64_t bytes, char* buffer, size_t size);

// Input offset x 1000 / input size, rounded to nearest; 0 for an empty input.
int PositionPermille(uint64_t offset, uint64_t size);

// " 42.7%" from the permille, or " 3.42GB" from the offset (10^9-byte
// gigabytes, rounded to hundredths).
void FormatPositionText(uint64_t offset, uint64_t size, bool gigabytes, char* buffer,
                        size_t bufferSize);
