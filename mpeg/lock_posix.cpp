// Lock as a pthread mutex.
#include "mpeg/lock.h"

#include <pthread.h>

namespace {
pthread_mutex_t* mutex(unsigned char* storage) {
  return reinterpret_cast<pthread_mutex_t*>(storage);
}
}  // namespace

static_assert(sizeof(pthread_mutex_t) <= 64, "Lock storage too small");

Lock::Lock() { pthread_mutex_init(mutex(storage_), nullptr); }
Lock::~Lock() { pthread_mutex_destroy(mutex(storage_)); }
void Lock::lock() { pthread_mutex_lock(mutex(storage_)); }
void Lock::unlock() { pthread_mutex_unlock(mutex(storage_)); }
