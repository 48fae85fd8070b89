// Lock as a CRITICAL_SECTION (present since Windows 95).
#include "mpeg/lock.h"

#include <windows.h>

namespace {
CRITICAL_SECTION* section(unsigned char* storage) {
  return reinterpret_cast<CRITICAL_SECTION*>(storage);
}
}  // namespace

static_assert(sizeof(CRITICAL_SECTION) <= 64, "Lock storage too small");

Lock::Lock() { InitializeCriticalSection(section(storage_)); }
Lock::~Lock() { DeleteCriticalSection(section(storage_)); }
void Lock::lock() { EnterCriticalSection(section(storage_)); }
void Lock::unlock() { LeaveCriticalSection(section(storage_)); }
