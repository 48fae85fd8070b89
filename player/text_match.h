// Case-blind text comparison for window titles and class names in a
// double-byte code page: ASCII letters fold, trail bytes never do, and a match
// starts only where a character starts.
#pragma once

// Whether a byte starts a two-byte character (IsDBCSLeadByte on Windows).
typedef bool (*LeadBytePredicate)(unsigned char byte);

bool ContainsIgnoringCase(const char* text, const char* pattern, LeadBytePredicate isLead);
bool EqualIgnoringCase(const char* a, const char* b, LeadBytePredicate isLead);
