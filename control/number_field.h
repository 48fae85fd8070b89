// The signed number edits of the Control window (priority, pause frequency).
#pragma once

#include <windows.h>

// Cleans the edit's text (at most 31 characters) as the user types, writes it
// back with the caret at the change when anything was removed, and returns
// its value within min..max.
int ValidateNumberField(HWND window, int id, int min, int max);
