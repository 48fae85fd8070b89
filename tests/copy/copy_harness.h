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

// The worker's message boxes are read and closed by a watcher thread (so an
// unexpected one never hangs a test). A catcher waits, bounded, for the next
// box after its creation and gives its text, empty when none came.
class MessageBoxCatcher {
 public:
  MessageBoxCatcher();
  std::string Text();

 private:
  long seenBefore_;
};
int MessageBoxesSeen();

// Counts of what reached the stand-in Control window.
extern int g_workerFinishedPosts;

// Makes a file of the given length without writing its bytes.
bool MakeSizedFile(const std::string& path, uint64_t length);
