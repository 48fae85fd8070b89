#include "player/text_match.h"

namespace {

char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Compares one character of each; *length receives its byte count when equal.
bool SameCharacter(const char* a, const char* b, LeadBytePredicate isLead, int* length) {
  if (isLead(static_cast<unsigned char>(*a)) && a[1]) {
    *length = 2;
    return a[0] == b[0] && a[1] == b[1];
  }
  *length = 1;
  return FoldAscii(*a) == FoldAscii(*b);
}

// Whether `pattern` matches `text` from its first byte, character by character.
bool MatchesAt(const char* text, const char* pattern, LeadBytePredicate isLead) {
  while (*pattern) {
    int length = 1;
    if (!*text || !SameCharacter(pattern, text, isLead, &length)) return false;
    text += length;
    pattern += length;
  }
  return true;
}

const char* NextCharacter(const char* p, LeadBytePredicate isLead) {
  return (isLead(static_cast<unsigned char>(*p)) && p[1]) ? p + 2 : p + 1;
}

}  // namespace

bool ContainsIgnoringCase(const char* text, const char* pattern, LeadBytePredicate isLead) {
  if (!*pattern) return true;
  for (const char* p = text; *p; p = NextCharacter(p, isLead)) {
    if (MatchesAt(p, pattern, isLead)) return true;
  }
  return false;
}

bool EqualIgnoringCase(const char* a, const char* b, LeadBytePredicate isLead) {
  return MatchesAt(a, b, isLead) && MatchesAt(b, a, isLead);
}
