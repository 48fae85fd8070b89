// A lock for the decoder's shared state, the one piece of threading it needs:
// the shipped compilers use the win32 thread model, which has no std::mutex
// (and so no Vista-only imports). lock_win.cpp is a CRITICAL_SECTION,
// lock_posix.cpp a pthread mutex.
#pragma once

class Lock {
 public:
  Lock();
  ~Lock();
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
  void lock();
  void unlock();

 private:
  // The platform's lock lives here, so this header needs no system headers.
  alignas(8) unsigned char storage_[64];
};

// Holds a Lock for the scope.
class LockHold {
 public:
  explicit LockHold(Lock& lock) : lock_(lock) { lock_.lock(); }
  ~LockHold() { lock_.unlock(); }
  LockHold(const LockHold&) = delete;
  LockHold& operator=(const LockHold&) = delete;

 private:
  Lock& lock_;
};
