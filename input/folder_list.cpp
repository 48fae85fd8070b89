#include "input/folder_list.h"

#include <cstring>

#include "control/cp932.h"

namespace {

// Length of the character at p: 2 for a lead byte followed by a trail byte.
size_t CharLength(const char* p) {
  return IsCp932LeadByte(static_cast<unsigned char>(p[0])) && p[1] ? 2 : 1;
}

char Fold(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// Same as SameText, over `n` bytes of `a` against the whole of `b`.
bool SameSpan(const char* a, size_t n, const char* b) {
  size_t i = 0;
  while (i < n && b[i]) {
    size_t len = CharLength(a + i);
    if (len == 2) {
      if (a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
    } else if (Fold(a[i]) != Fold(b[i])) {
      return false;
    }
    i += len;
  }
  return i == n && b[i] == '\0';
}

template <typename Visit>
void ForEachEntry(const char* list, Visit visit) {
  const char* entry = list;
  for (;;) {
    const char* end = entry;
    while (*end && *end != '|') end += CharLength(end);
    if (end > entry) visit(entry, size_t(end - entry));
    if (!*end) return;
    entry = end + 1;
  }
}

int DigitValue(char c) { return c >= '0' && c <= '9' ? c - '0' : -1; }

}  // namespace

bool SameText(const char* a, const char* b) { return SameSpan(a, strlen(a), b); }

std::vector<std::string> FolderListPaths(const char* list) {
  std::vector<std::string> paths;
  ForEachEntry(list, [&](const char* entry, size_t n) {
    if (n < 2) return;
    std::string path(entry + 1, n - 1);
    for (const std::string& p : paths) {
      if (SameText(p.c_str(), path.c_str())) return;
    }
    paths.push_back(path);
  });
  return paths;
}

int FolderListFilterIndex(const char* list) {
  int value = 0;
  for (const char* p = list; DigitValue(*p) >= 0 && value < 100000; ++p) value = value * 10 + DigitValue(*p);
  return value + 1;
}

int FolderFilter(const char* list, const char* folder) {
  if (!folder[0]) return -1;
  int found = -1;
  ForEachEntry(list, [&](const char* entry, size_t n) {
    if (found < 0 && n >= 2 && SameSpan(entry + 1, n - 1, folder)) found = DigitValue(entry[0]);
  });
  return found;
}

std::string RebuildFolderList(const char* previous, int filter, const std::vector<std::string>& items) {
  std::string list;
  if (items.empty()) return list;
  list = char('0' + filter % 10) + items[0];
  if (list.size() >= kFolderListLimit) return std::string();
  // The combo's entries are taken while their joined text stays within 4094.
  size_t joined = items[0].size();
  for (size_t i = 1; i < items.size(); ++i) {
    joined += 1 + items[i].size();
    if (joined > kFolderListLimit - 2) break;
    int digit = FolderFilter(previous, items[i].c_str());
    if (digit < 0) continue;
    if (list.size() + 2 + items[i].size() >= kFolderListLimit) break;
    list += '|';
    list += char('0' + digit);
    list += items[i];
  }
  return list;
}

bool AppendWildcard(const char* folder, char* out, size_t size) {
  bool endsInBackslash = false;
  for (const char* p = folder; *p; p += CharLength(p)) endsInBackslash = *p == '\\';
  const char* tail = endsInBackslash ? "*" : "\\*";
  size_t n = strlen(folder), t = strlen(tail);
  if (n + t + 1 > size) return false;
  memcpy(out, folder, n);
  memcpy(out + n, tail, t + 1);
  return true;
}
