// Texts of the output-drive list. Portable; no window needed.
#pragma once

#include <cstddef>
#include <cstdint>

// Room for "X:\" + the widest grouped number + " バイト空き".
const size_t kDriveItemSize = 64;

// "%c:\" followed, when the free space is known, by the grouped free byte
// count and " バイト空き".
void FormatDriveItem(char letter, bool freeKnown, uint64_t freeBytes, char* buffer);
