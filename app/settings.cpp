// Settings engine over GetPrivateProfileStringA / WritePrivateProfileStringA.
#include "app/settings.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

const int kPathSize = 260;
const int kScratchSize = 256;

uint32_t TextSize(uint32_t flags) { return flags & SETTING_SIZE_MASK; }

bool IsAbsolutePath(const char* p) {
  if (p[0] == '\\' && p[1] == '\\') return true;
  unsigned char c = static_cast<unsigned char>(p[0]);
  bool letter = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  return letter && p[1] == ':' && p[2] == '\\';
}

// True when byte offset `at` of `text` starts a character (not a trail byte).
bool IsCharBoundary(const char* text, size_t at) {
  const char* p = text;
  while (static_cast<size_t>(p - text) < at && *p) p = CharNextA(p);
  return static_cast<size_t>(p - text) == at;
}

// Integer stored with the descriptor's width: 8 and 16 bits take the low part.
void StoreInteger(const SettingDescriptor* d, uint32_t value) {
  if (!d->variable) return;
  if (d->flags & SETTING_INT8) {
    *static_cast<uint8_t*>(d->variable) = static_cast<uint8_t>(value);
  } else if (d->flags & SETTING_INT16) {
    *static_cast<uint16_t*>(d->variable) = static_cast<uint16_t>(value);
  } else {
    *static_cast<uint32_t*>(d->variable) = value;
  }
}

// Reads an integer object with the descriptor's width; signed 8/16-bit values
// are sign-extended only when asked (writing), never when taking a default.
uint32_t LoadInteger(const SettingDescriptor* d, const void* object, bool signExtend) {
  if (!object) return 0;
  bool isSigned = signExtend && (d->flags & SETTING_SIGNED);
  if (d->flags & SETTING_INT8) {
    uint8_t v = *static_cast<const uint8_t*>(object);
    return isSigned ? static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(v))) : v;
  }
  if (d->flags & SETTING_INT16) {
    uint16_t v = *static_cast<const uint16_t*>(object);
    return isSigned ? static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(v))) : v;
  }
  return *static_cast<const uint32_t*>(object);
}

int32_t ReadText(const SettingDescriptor* d, const char* path) {
  char scratch[kScratchSize];
  char* buffer = d->variable ? static_cast<char*>(d->variable) : scratch;
  DWORD size = d->variable ? TextSize(d->flags) : kScratchSize;
  if (size == 0) return 0;
  // The default usually is the variable itself: copy it before the call
  // overwrites the buffer it lives in.
  std::string defaultText = d->defaultValue ? static_cast<const char*>(d->defaultValue) : "";
  return static_cast<int32_t>(
      GetPrivateProfileStringA(d->section, d->key, defaultText.c_str(), buffer, size, path));
}

int32_t ReadBoolean(const SettingDescriptor* d, const char* text) {
  bool defaultTrue = d->defaultValue && *static_cast<const uint32_t*>(d->defaultValue) != 0;
  uint32_t value = defaultTrue ? (lstrcmpiA(text, "No") != 0) : (lstrcmpiA(text, "Yes") == 0);
  if (d->variable) *static_cast<uint32_t*>(d->variable) = value;
  return static_cast<int32_t>(value);
}

int32_t ReadInteger(const SettingDescriptor* d, const char* text) {
  uint32_t value = LoadInteger(d, d->defaultValue, false);
  if (text[0]) {
    int parsed = 0;
    if (d->flags & SETTING_HEX) {
      unsigned long v = 0;
      parsed = sscanf(text, "%lX", &v);
      if (parsed == 1) value = static_cast<uint32_t>(v);
    } else if (d->flags & SETTING_SIGNED) {
      long v = 0;
      parsed = sscanf(text, "%ld", &v);
      if (parsed == 1) value = static_cast<uint32_t>(static_cast<int32_t>(v));
    } else {
      unsigned long v = 0;
      parsed = sscanf(text, "%lu", &v);
      if (parsed == 1) value = static_cast<uint32_t>(v);
    }
    // Text that is no number keeps the default, as an absent key would.
  }
  StoreInteger(d, value);
  return static_cast<int32_t>(value);
}

void FormatInteger(const SettingDescriptor* d, char* text, size_t size) {
  uint32_t v = LoadInteger(d, d->variable, true);
  if (d->flags & SETTING_HEX) {
    if (d->flags & SETTING_INT32) {
      snprintf(text, size, "%X", static_cast<unsigned>(v));
    } else if (d->flags & SETTING_INT8) {
      snprintf(text, size, "%02X", static_cast<unsigned>(v));
    } else if (d->flags & SETTING_INT16) {
      snprintf(text, size, "%04hX", static_cast<unsigned short>(v));
    } else {
      snprintf(text, size, "%08lX", static_cast<unsigned long>(v));
    }
  } else if (d->flags & SETTING_SIGNED) {
    snprintf(text, size, "%ld", static_cast<long>(static_cast<int32_t>(v)));
  } else {
    snprintf(text, size, "%lu", static_cast<unsigned long>(v));
  }
}

}  // namespace

const char* ProgramDirectory() {
  static char directory[kPathSize];
  static bool computed = false;
  if (computed) return directory;
  computed = true;
  directory[0] = '\0';
  char path[kPathSize];
  DWORD n = GetModuleFileNameA(GetModuleHandleA(nullptr), path, kPathSize);
  if (n == 0 || n >= static_cast<DWORD>(kPathSize)) return directory;
  const char* name = "Ringfeed.exe";
  size_t nameLength = strlen(name);
  if (n < nameLength) return directory;
  size_t cut = n - nameLength;
  if (lstrcmpiA(path + cut, name) != 0 || !IsCharBoundary(path, cut)) return directory;
  path[cut] = '\0';
  lstrcpynA(directory, path, kPathSize);
  return directory;
}

int ResolveProfilePath(const SettingDescriptor* d, char* path) {
  int n;
  if (!d->profilePath) {
    n = snprintf(path, kPathSize, "%s%s", ProgramDirectory(), "Ringfeed.ini");
  } else if (IsAbsolutePath(d->profilePath)) {
    n = snprintf(path, kPathSize, "%s", d->profilePath);
  } else {
    char windows[kPathSize];
    UINT w = GetWindowsDirectoryA(windows, kPathSize);
    if (w == 0 || w > static_cast<UINT>(kPathSize)) return 0;
    n = snprintf(path, kPathSize, strlen(windows) > 3 ? "%s\\%s" : "%s%s", windows, d->profilePath);
  }
  // A path cut at the buffer would name another file: refuse it.
  return n > 0 && n < kPathSize;
}

int32_t ReadSetting(const SettingDescriptor* d) {
  char path[kPathSize];
  if (!ResolveProfilePath(d, path)) return 0;
  if (d->flags & SETTING_TEXT) return ReadText(d, path);

  char text[kScratchSize];
  DWORD length = GetPrivateProfileStringA(d->section, d->key, "", text, kScratchSize, path);
  if (d->flags & SETTING_DOUBLE) {
    double value = d->defaultValue ? *static_cast<const double*>(d->defaultValue) : 0.0;
    if (text[0]) value = strtod(text, nullptr);
    if (d->variable) *static_cast<double*>(d->variable) = value;
    return static_cast<int32_t>(length);
  }
  if (d->flags & SETTING_BOOL) return ReadBoolean(d, text);
  return ReadInteger(d, text);
}

int WriteSetting(const SettingDescriptor* d) {
  char path[kPathSize];
  if (!ResolveProfilePath(d, path)) return 0;
  char text[kScratchSize];
  const char* value = text;
  if (d->flags & SETTING_TEXT) {
    value = d->variable ? static_cast<const char*>(d->variable) : "";
  } else if (d->flags & SETTING_BOOL) {
    value = (d->variable && *static_cast<const uint32_t*>(d->variable)) ? "Yes" : "No";
  } else if (d->flags & SETTING_DOUBLE) {
    snprintf(text, sizeof text, "%lf", d->variable ? *static_cast<const double*>(d->variable) : 0.0);
  } else {
    FormatInteger(d, text, sizeof text);
  }
  return WritePrivateProfileStringA(d->section, d->key, value, path);
}

char* ReadSettingText(const SettingDescriptor* d, char* buffer, uint32_t size) {
  SettingDescriptor text = *d;
  text.variable = buffer;
  text.defaultValue = nullptr;
  text.flags = SETTING_TEXT | (size & SETTING_SIZE_MASK);
  if (size > 0) buffer[0] = '\0';
  ReadSetting(&text);
  return buffer;
}

int WriteSettingText(const SettingDescriptor* d, const char* text) {
  SettingDescriptor copy = *d;
  copy.variable = const_cast<char*>(text);
  copy.flags = SETTING_TEXT | static_cast<uint32_t>(strlen(text) + 1);
  return WriteSetting(&copy);
}
