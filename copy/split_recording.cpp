// Split recordings: next-piece names and their search.
#include "copy/split_recording.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Offsets of the characters' first bytes; a lead byte swallows its trail.
int NextChar(const char* text, int at) {
  if (IsDBCSLeadByte(BYTE(text[at])) && text[at + 1]) return at + 2;
  return at + 1;
}

// Lower-cases single-byte A-Z only, leaving double-byte characters alone.
void MakeWorkName(const char* path, char* work) {
  strcpy(work, path);
  for (int at = 0; work[at]; at = NextChar(work, at))
    if (work[at] >= 'A' && work[at] <= 'Z') work[at] = char(work[at] - 'A' + 'a');
}

// Offset of the last occurrence of pattern starting on a character boundary, or -1.
int FindLast(const char* work, const char* pattern) {
  int found = -1;
  size_t length = strlen(pattern);
  for (int at = 0; work[at]; at = NextChar(work, at))
    if (strncmp(work + at, pattern, length) == 0) found = at;
  return found;
}

// Just after the last ':' or '\\'.
int FileNameStart(const char* work) {
  int start = 0;
  for (int at = 0; work[at]; at = NextChar(work, at))
    if (work[at] == ':' || work[at] == '\\') start = at + 1;
  return start;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// work up to cut, then the formatted tail; false when it does not fit.
bool Compose(const char* work, int cut, const char* tailFormat, int number, PieceCandidate* out,
             int numbered) {
  char tail[64];
  snprintf(tail, sizeof tail, tailFormat, number);
  if (size_t(cut) + strlen(tail) >= MAX_PATH) return false;
  memcpy(out->path, work, size_t(cut));
  strcpy(out->path + cut, tail);
  out->numbered = numbered;
  return true;
}

bool RetryCandidate(const char* work, int k, PieceCandidate* out) {
  int retry = FindLast(work, "[retry");
  if (retry < 0) return Compose(work, k, "[Retry %02d].m2p", 0, out, 0);
  int after = retry + 6;
  return Compose(work, after, " %02d].m2p", atoi(work + after) + 1, out, 0);
}

}  // namespace

int BuildPieceCandidates(const char* inputPath, PieceCandidate candidates[3]) {
  if (strlen(inputPath) >= MAX_PATH) return 0;
  char work[MAX_PATH];
  MakeWorkName(inputPath, work);
  // "*.m2p*" matches exactly the names that hold ".m2p" somewhere.
  int k = FindLast(work, ".m2p");
  if (k < 0) return 0;
  int count = 0;
  const char* rest = work + k;
  if (strcmp(rest, ".m2p") == 0) {
    bool numberedBefore = k >= 4 && work[k - 4] == '.' && IsDigit(work[k - 3]) &&
                          IsDigit(work[k - 2]) && IsDigit(work[k - 1]);
    if (numberedBefore) {
      int number = atoi(work + k - 3) + 1;
      return Compose(work, k - 4, ".%03d.m2p", number, &candidates[0], 1) ? 1 : 0;
    }
    if (Compose(work, k, ".001.m2p", 0, &candidates[count], 1)) ++count;
    if (Compose(work, k, ".m2p.000", 0, &candidates[count], 1)) ++count;
  } else {
    bool numberedAfter = strncmp(rest, ".m2p.", 5) == 0 && strlen(rest) == 8 &&
                         IsDigit(rest[5]) && IsDigit(rest[6]) && IsDigit(rest[7]);
    if (!numberedAfter) return 0;
    if (Compose(work, k, ".m2p.%03d", atoi(rest + 5) + 1, &candidates[count], 1)) ++count;
  }
  if (RetryCandidate(work, k, &candidates[count])) ++count;
  return count;
}

int FindNextPiece(char* inputPath, int* numbered) {
  PieceCandidate candidates[3];
  int count = BuildPieceCandidates(inputPath, candidates);
  for (int i = 0; i < count; ++i) {
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA(candidates[i].path, &found);
    if (search == INVALID_HANDLE_VALUE) continue;
    FindClose(search);
    if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
    int folder = FileNameStart(inputPath);
    if (size_t(folder) + strlen(found.cFileName) >= MAX_PATH) return 0;
    strcpy(inputPath + folder, found.cFileName);
    *numbered = candidates[i].numbered;
    return 1;
  }
  return 0;
}
