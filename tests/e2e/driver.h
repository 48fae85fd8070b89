// Window-test driver: starts Ringfeed.exe from a folder of its own with a
// chosen profile, finds its windows, and waits on conditions with time limits.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

namespace e2e {

// A fresh, empty folder for one test (on the test drive T: when mapped).
std::string MakeTestFolder(const std::string& name);

// Built programs, found beside the test executable's tree; Ringfeed.exe is
// RINGFEED_PROGRAM when that is set.
std::string BuiltProgram(const char* name);

std::string ReadFileText(const std::string& path);
bool WriteFileText(const std::string& path, const std::string& text);

// Waits until `done` holds, polling every 20 ms; false after `timeoutMs`.
bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);

// CreateProcessA, tried again a few times: under load Wine now and then
// fails a start before any code of the program has run.
bool StartProcess(const char* program, std::string commandLine, const char* folder,
                  STARTUPINFOA* startup, PROCESS_INFORMATION* process);

// A thread for a test (the win32 thread model has no std::thread); joined
// when it goes.
class Thread {
 public:
  Thread() = default;
  ~Thread() { Join(); }
  Thread(const Thread&) = delete;
  Thread& operator=(const Thread&) = delete;
  // Runs `body` on a new thread; false when none could be made.
  bool Start(std::function<void()> body);
  void Join();

 private:
  static DWORD WINAPI Run(void* self);
  std::function<void()> body_;
  HANDLE handle_ = nullptr;
};

// One started copy of Ringfeed.exe in its own folder.
class RingfeedRun {
 public:
  explicit RingfeedRun(const std::string& folder);
  ~RingfeedRun();  // ends the process if a test left it running

  std::string Folder() const { return folder_; }
  std::string ProfilePath() const { return folder_ + "\\Ringfeed.ini"; }

  // Copies Ringfeed.exe into the folder and starts it.
  bool Start(int showCommand = SW_SHOWNORMAL);
  // The Control window of this process, waiting for it to appear.
  HWND WaitForControlWindow(DWORD timeoutMs = 15000);
  // Waits for the process to end; its exit code, or STILL_ACTIVE on time-out.
  DWORD WaitForExit(DWORD timeoutMs = 15000);
  DWORD ProcessId() const { return process_.dwProcessId; }

 private:
  std::string folder_;
  PROCESS_INFORMATION process_ = {};
};

// Top-level window of a process with the given exact title, or null.
HWND FindProcessWindow(DWORD processId, const char* title);
std::string WindowText(HWND window);
// A message box of the program (a dialog titled "Ringfeed" other than its
// Control window `control`), or null.
HWND MessageBoxOf(DWORD processId, HWND control);
std::string ControlText(HWND dialog, int id);
// First descendant of `parent` with control ID `id` (depth first), or null.
HWND FindById(HWND parent, int id);
// `count` bytes from `at`, read while the program may hold the file open;
// fewer (or none) where the file ends or cannot be read.
std::string ReadShared(const std::string& path, uint64_t at, size_t count);
// Value of a key in a profile file, or "<absent>".
std::string ProfileValue(const std::string& path, const char* section, const char* key);

}  // namespace e2e
