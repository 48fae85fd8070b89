// Cleaning of the signed number fields (priority, pause frequency) as the
// user types. Portable; ValidateNumberField applies it to an edit control.
#pragma once

struct CleanedNumber {
  int value;     // the cleaned text's value; 0 for "" and a lone "-"
  bool changed;  // something was removed or cut
  int caret;     // position of the last change
};

// Removes characters other than a leading '-' and digits, and cuts the text
// before the digit that takes the value out of min..max. Edits `text` in place.
CleanedNumber CleanNumberText(char* text, int min, int max);
