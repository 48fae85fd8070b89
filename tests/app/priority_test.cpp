// Priority mapping and its application to the calling thread.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/priority.h"
#include "app/settings_table.h"

namespace {

TEST(PriorityMapping, EveryRowOfTheTable) {
  struct Row { int value; DWORD cls; int thread; };
  const Row rows[] = {
      {-8, IDLE_PRIORITY_CLASS, THREAD_PRIORITY_IDLE},
      {-7, IDLE_PRIORITY_CLASS, THREAD_PRIORITY_LOWEST},
      {-6, IDLE_PRIORITY_CLASS, THREAD_PRIORITY_BELOW_NORMAL},
      {-5, IDLE_PRIORITY_CLASS, THREAD_PRIORITY_NORMAL},
      {-4, IDLE_PRIORITY_CLASS, THREAD_PRIORITY_ABOVE_NORMAL},
      {-3, IDLE_PRIORITY_CLASS, THREAD_PRIORITY_HIGHEST},
      {-2, NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_LOWEST},
      {-1, NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_BELOW_NORMAL},
      {0, NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_NORMAL},
      {1, NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_ABOVE_NORMAL},
      {2, NORMAL_PRIORITY_CLASS, THREAD_PRIORITY_HIGHEST},
      {3, HIGH_PRIORITY_CLASS, THREAD_PRIORITY_BELOW_NORMAL},
      {4, HIGH_PRIORITY_CLASS, THREAD_PRIORITY_NORMAL},
      {5, HIGH_PRIORITY_CLASS, THREAD_PRIORITY_ABOVE_NORMAL},
      {6, HIGH_PRIORITY_CLASS, THREAD_PRIORITY_HIGHEST},
      {7, HIGH_PRIORITY_CLASS, THREAD_PRIORITY_HIGHEST},
      {8, HIGH_PRIORITY_CLASS, THREAD_PRIORITY_HIGHEST},
      // Any other value takes the top row.
      {9, HIGH_PRIORITY_CLASS, THREAD_PRIORITY_HIGHEST},
      {-9, HIGH_PRIORITY_CLASS, THREAD_PRIORITY_HIGHEST},
      {0x7FFFFFFF, HIGH_PRIORITY_CLASS, THREAD_PRIORITY_HIGHEST},
      {-0x7FFFFFFF - 1, HIGH_PRIORITY_CLASS, THREAD_PRIORITY_HIGHEST},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.value);
    PriorityRow got = PriorityMapping(r.value);
    EXPECT_EQ(got.priorityClass, r.cls);
    EXPECT_EQ(got.threadPriority, r.thread);
  }
}

TEST(SetWorkPriority, AppliesTheSettingOrTheNormalRow) {
  int32_t saved = g_settings.Priority;
  g_settings.Priority = -8;
  SetWorkPriority(1);
  EXPECT_EQ(g_effectivePriority, -8);
  EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), static_cast<DWORD>(IDLE_PRIORITY_CLASS));
  EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_IDLE);
  SetWorkPriority(0);
  EXPECT_EQ(g_effectivePriority, 0);
  EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), static_cast<DWORD>(NORMAL_PRIORITY_CLASS));
  EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_NORMAL);
  g_settings.Priority = saved;
}

}  // namespace
