#include "control/number_field.h"

#include "control/number_text.h"

int ValidateNumberField(HWND window, int id, int min, int max) {
  char text[32] = "";
  GetDlgItemTextA(window, id, text, sizeof text);
  CleanedNumber cleaned = CleanNumberText(text, min, max);
  if (cleaned.changed) {
    // The write-back sends EN_CHANGE again; the clean text then stays as it is.
    SetDlgItemTextA(window, id, text);
    SendDlgItemMessageA(window, id, EM_SETSEL, cleaned.caret, cleaned.caret);
  }
  return cleaned.value;
}
