// Finding the Player's windows by title, class and control ID, reading its
// seek knob, and keeping its stop button as NoStop asks.
//
// Threading: the finders run on both threads (the Copy worker polls the knob,
// the user-interface thread drives the open dialog); each call keeps its
// buffers on its own stack. Calls on the Player's windows are cross-process
// and may block while the Player is busy.
#pragma once

#include <windows.h>

#include <cstdint>

// The Player main window found at the latest poll, and at the one before.
extern HWND g_currentPlayerWindow;
extern HWND g_previousPlayerWindow;

HWND FindTopWindowByTitle(const char* titlePattern, const char* className, int skip, int visibleOnly);
HWND FindPlayerWindow();
HWND FindDescendant(HWND parent, const char* classPattern, const char* titlePattern, int controlId,
                    int visibleOnly);
int ClickDescendant(HWND parent, const char* classPattern, const char* titlePattern, int controlId,
                    int x, int y);
int SetDescendantEditText(HWND dialog, int controlId, const char* text);
HWND FindPlayerOpenDialog();

// Knob position in 1/10000 of the seek track; false when the track or knob is
// missing or the track is too narrow to measure.
bool ReadSeekKnob(int32_t* k);

// Per-poll update of the current Player window, its stop button and the overlay.
void TrackPlayer();
