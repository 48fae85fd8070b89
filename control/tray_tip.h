// Tip of the tray icon. Portable; no window needed.
#pragma once

#include <cstddef>

// The tip holds at most 63 bytes and a terminator.
const size_t kTrayTipSize = 64;

// At most 63 bytes of `text`, never ending in half a double-byte character.
void CopyTrayTip(char* tip, const char* text);

// "<position text> - <input path>", cut as above.
void FormatTrayTip(const char* positionText, const char* path, char* tip);
