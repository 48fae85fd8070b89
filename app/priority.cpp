#include "app/priority.h"

#include "app/settings_table.h"

int32_t g_effectivePriority = 0;

PriorityRow PriorityMapping(int32_t value) {
  static const PriorityRow kRows[] = {
      {IDLE_PRIORITY_CLASS, THREAD_PRIORITY_IDLE},            // -8
      {IDLE_PRIORITY_CLASS, THREAD_PRIORITY_LOWEST},          // -7
      {IDLE_PRIORITY_CLASS, THREAD_PRIORITY_BELOW_NORMAL},    // -6
      {IDLE_PRIORITY_CLASS, THREAD_PRIORITY_NORMAL},          // -5
      {IDLE_PRIORITY_CLASS, THREAD_PRIORITY_ABOVE_NORMAL},    // -4
      {IDLE_PRIORITY_CLASS, THREAD_PRIORITY_HIGHEST},         // -3
      {NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_LOWEST},        // -2
      {NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_BELOW_NORMAL},  // -1
      {NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_NORMAL},        //  0
      {NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_ABOVE_NORMAL},  //  1
      {NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_HIGHEST},       //  2
      {HIGH_PRIORITY_CLASS, THREAD_PRIORITY_BELOW_NORMAL},    //  3
      {HIGH_PRIORITY_CLASS, THREAD_PRIORITY_NORMAL},          //  4
      {HIGH_PRIORITY_CLASS, THREAD_PRIORITY_ABOVE_NORMAL},    //  5
  };
  const PriorityRow top = {HIGH_PRIORITY_CLASS, THREAD_PRIORITY_HIGHEST};
  // Below -8 has no row of its own either: like every other value, the top row.
  if (value < -8 || value > 5) return top;
  return kRows[value + 8];
}

void SetWorkPriority(int apply) {
  int32_t value = apply ? g_settings.Priority : 0;
  PriorityRow row = PriorityMapping(value);
  SetPriorityClass(GetCurrentProcess(), row.priorityClass);
  SetThreadPriority(GetCurrentThread(), row.threadPriority);
  g_effectivePriority = value;
}
