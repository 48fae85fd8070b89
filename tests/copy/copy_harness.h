// What the copy tests share: files on the test drive, a stand-in Control
// window that answers the worker's clicks, and a cycle driver.
#pragma once

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// T:\copy\<name>, the folder made on first use.
std::string TestPath(const char* name);
bool WriteTestFile(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadTestFile(const std::string& path);

// A hidden window that plays the Control window's part for the worker: the
// Start/Stop click becomes CMD_STOP or CMD_START, and it holds the controls
// the worker writes to (1, 1002, 1022, 1031, 1061).
HWND CreateStandInControlWindow();
// Delivers posted clicks.
void PumpMessages();

// Runs copy cycles (without their opening sleeps) until done() or the cycle
// limit; returns whether done() became true.
bool RunCyclesUntil(const std::function<bool()>& done, int maxCycles);

// Settings and shared state as a fresh program has them, the output on T:.
void ResetCopyState();

// Waits (bounded) for the worker's message box on another thread, keeps its
// text and presses OK.
class MessageBoxCatcher {
 public:
  MessageBoxCatcher();
  ~MessageBoxCatcher();
  // The text of the box, empty when none came within the time-out.
  std::string Text();

 private:
  HANDLE thread_;
};

// Counts of what reached the stand-in Control window.
extern int g_workerFinishedPosts;

// Makes a file of the given length without writing its bytes.
bool MakeSizedFile(const std::string& path, uint64_t length);
