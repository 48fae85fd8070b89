// Test helpers around the stand-in Player (theater.exe): start it, find its
// windows, read its exact state, and end what a test started.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace player_test {

struct TheaterState {
  uint64_t position = 0, size = 0;
  bool playing = false;
  int plays = 0;    // presses of the play button
  int presses = 0;  // presses of any button
};

// One theater.exe process started by a test; ended when this goes.
class TheaterRun {
 public:
  TheaterRun() = default;
  ~TheaterRun() { End(); }
  TheaterRun(const TheaterRun&) = delete;
  TheaterRun& operator=(const TheaterRun&) = delete;

  // Starts it with these arguments and waits for its main window.
  bool Start(const std::string& arguments);
  void End();
  HWND Window() const { return window_; }
  DWORD ProcessId() const { return process_.dwProcessId; }

 private:
  PROCESS_INFORMATION process_ = {};
  HWND window_ = nullptr;
};

// The Player main window of a process (title "Lumoria Media Theater - ..."), or null.
HWND TheaterWindowOf(DWORD processId);
// Any stand-in main window on the desktop, or null.
HWND AnyTheaterWindow();
// Ends the process that owns this window (a Player the code under test
// started); waits for the window to go.
void EndProcessOf(HWND window);

bool ReadState(HWND theater, TheaterState* state);
bool SeekTheater(HWND theater, uint64_t position);
std::string Text(HWND window);

// A file of `size` bytes (content irrelevant to the stand-in).
bool MakeFile(const std::string& path, uint64_t size);

}  // namespace player_test
