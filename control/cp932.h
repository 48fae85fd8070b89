// Code page 932 (Shift-JIS), the program's text encoding.
#pragma once

// First byte of a double-byte character.
inline bool IsCp932LeadByte(unsigned char c) {
  return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}
