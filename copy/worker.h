// The Copy worker thread: the only code that touches the input and output
// files while the program runs.
//
// Threading: everything here runs on the worker's thread, except that the
// shutdown sequence calls CloseCopyFiles once the worker has ended.
#pragma once

#include <windows.h>

#include <cstdint>

#include "copy/pacing.h"
#include "copy/ring_file.h"

// File handles of the copy; INVALID_HANDLE_VALUE when closed. They belong to
// the Copy worker while it runs and to the shutdown sequence after it ended.
extern HANDLE g_inputFile;
extern HANDLE g_previousInputFile;
extern HANDLE g_outputFile;

// Closes whichever of the three handles is open and sets it back to none.
void CloseCopyFiles();

// The worker's own state between polls and cycles.
struct CopyWorkerState {
  char message[kMessageSize];   // the one failure message of the current cycle
  int exitRequested;            // set by the may-act poll on CMD_QUIT
  int yieldResult;              // 1 while a may-act command waits for the safe point
  int32_t pauseCounter;         // idle polls, for the pause schedule
  DWORD endDeadline;            // end-of-input grace, 0 = not armed
  int stopClickPosted;          // a posted stop click is still on its way
  DWORD lastRedraw;             // tick of the last progress redraw while copying
  DWORD lastPlayerTrack;        // tick of the last TrackPlayer
  KnobReading knob;             // the guard's latest reading of the Player
  uint64_t inputAt;             // where the copy's own transfers left the file
  uint64_t outputAt;            // pointers, kUnknownPosition when anything else moved them
  HWND playButton;              // control 1002, looked up once per cycle
  char inputPath[MAX_PATH];     // as last opened, for messages
  char previousInputPath[MAX_PATH];
};
extern CopyWorkerState g_worker;

const uint64_t kUnknownPosition = UINT64_MAX;

// Carries out the first pending command; mayAct 0 only looks at the ones that
// must wait for the end of a cycle. Returns non-zero when the caller must
// leave what it is doing.
int PollRequests(int mayAct);

// One cycle after its opening sleeps: prepare, copy until something ends the
// loop, close what a stop closes, report a failure, poll with mayAct 1.
void RunCopyCycle();

// At the worker's end with NoStop on: enables the stop button of the Player
// that is running now, when it is disabled.
void RestorePlayerStopButton();

// ---- Decisions (pure) ----

// Whether a window refresh last done at tick `last` is due again at `now`.
bool WindowRefreshDue(DWORD now, DWORD last);

// The pause schedule: one 10 ms sleep every 2^(Priority2 + 5) idle polls.
bool PauseDue(int32_t counter, int32_t priority2);
// Start position (permille) to input offset, on a 32,768-byte boundary.
uint64_t StartInputOffset(int32_t permille, uint64_t size);
// Output offset when a new input is taken over.
uint64_t OutputOffsetAfterTakeover(uint64_t offset, int writeFromHead, int keepPreviousTail, int head);
