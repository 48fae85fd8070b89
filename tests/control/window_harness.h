// In-process harness for the Control window: the test program is named
// Ringfeed.exe and lives in a folder of its own, so the window reads and
// writes the profile beside it exactly as the program does. The Copy worker
// is suspended while a test runs, so the command bits it would consume stay
// visible.
#pragma once

#include <windows.h>

#include <functional>
#include <string>

namespace harness {

std::string ProfilePath();
std::string TestFolder();
bool WriteText(const std::string& path, const std::string& text);
std::string ProfileValue(const char* section, const char* key);

// Dispatches this thread's messages as the program's loop does (dialog
// keys included) until `done` holds; false after `timeoutMs`.
bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 10000);

// Creates and shows the Control window with a fresh program state and the
// given profile text (none when empty), then suspends the Copy worker.
HWND OpenControlWindow(const std::string& profile);
// Closes it through WM_CLOSE and the worker's hand-shake; true when the
// window is gone.
bool CloseControlWindow(HWND window);

std::string Text(HWND window);
std::string ItemText(HWND dialog, int id);

// Runs `inside` from a timer while a modal loop (menu or dialog) started by
// `open` runs, as soon as `ready` holds there (after 10 s regardless, so that
// a test fails instead of hanging); `inside` must end that loop. False when
// it never ran.
bool DuringModalLoop(const std::function<void()>& open, const std::function<void()>& inside,
                     const std::function<bool()>& ready);

// Saves the screen as a 24-bit BMP (for the documentation screenshots).
bool SaveScreen(const std::string& path);

}  // namespace harness
