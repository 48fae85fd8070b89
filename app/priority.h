// Mapping of the user's priority (-8..8) onto Windows process and thread
// priorities, applied on the Copy worker's thread.
#pragma once

#include <windows.h>

#include <cstdint>

struct PriorityRow {
  DWORD priorityClass;
  int threadPriority;
};

// The row for a priority value; values above 5 (and any other) map to the top row.
PriorityRow PriorityMapping(int32_t value);

// apply != 0: the row of the Priority setting; apply == 0: the normal row.
void SetWorkPriority(int apply);

// The value last applied by SetWorkPriority (0 for the normal row).
extern int32_t g_effectivePriority;
