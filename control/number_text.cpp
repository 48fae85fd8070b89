#include "control/number_text.h"

#include <cstring>

CleanedNumber CleanNumberText(char* text, int min, int max) {
  CleanedNumber result = {0, false, 0};
  int magnitude = 0;
  bool negative = false;
  int i = 0;
  while (text[i] != '\0') {
    char c = text[i];
    bool digit = c >= '0' && c <= '9';
    if (!digit && !(i == 0 && c == '-')) {
      memmove(text + i, text + i + 1, strlen(text + i));  // the next one moves to i
      result.changed = true;
      result.caret = i;
      continue;
    }
    if (!digit) {
      negative = true;
      ++i;
      continue;
    }
    int next = magnitude * 10 + (c - '0');
    if (negative ? -next < min : next > max) {
      text[i] = '\0';
      result.changed = true;
      result.caret = i;
      break;
    }
    magnitude = next;
    ++i;
  }
  result.value = negative ? -magnitude : magnitude;
  return result;
}
