// The settings engine: descriptors that bind a profile section and key to a
// program variable, read and written through the Win32 profile functions.
#pragma once

#include <cstdint>

// Descriptor flags: exactly one kind (text, Boolean, floating point, integer);
// integers carry a radix bit and a width bit.
enum : uint32_t {
  SETTING_TEXT = 0x80000000u,   // low 31 bits: buffer size, terminator included
  SETTING_HEX = 0x40000000u,
  SETTING_SIGNED = 0x20000000u,
  SETTING_DOUBLE = 0x00000020u,
  SETTING_BOOL = 0x00000010u,
  SETTING_INT32 = 0x00000001u,
  SETTING_INT8 = 0x00000002u,
  SETTING_INT16 = 0x00000004u,
  SETTING_PLAIN32 = 0x00000008u,
  SETTING_SIZE_MASK = 0x7FFFFFFFu,
};

struct SettingDescriptor {
  const char* section;
  const char* key;
  const void* defaultValue;  // null: 0, 0.0 or the empty text
  void* variable;            // null: read only into a scratch buffer
  const char* profilePath;   // null: Ringfeed.ini in the program directory
  uint32_t flags;
};

// Returns the value for integers and Booleans, the number of characters read
// for text and floating point, 0 when the profile path cannot be resolved.
int32_t ReadSetting(const SettingDescriptor* d);
// Non-zero on success.
int WriteSetting(const SettingDescriptor* d);
// Reads the key as text into the caller's buffer, whatever the descriptor's kind.
char* ReadSettingText(const SettingDescriptor* d, char* buffer, uint32_t size);
int WriteSettingText(const SettingDescriptor* d, const char* text);

// Directory of the running Ringfeed.exe with its trailing backslash, or the
// empty text when the executable has another name. Computed once.
const char* ProgramDirectory();

// The profile file a descriptor uses, into a 260-byte buffer; 0 on failure.
int ResolveProfilePath(const SettingDescriptor* d, char* path);
