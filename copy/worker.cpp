// Copy worker thread: the cycle, the copy loop, the request poll and the
// takeover of a new input.
#include "copy/worker.h"

#include <cstring>

#include "app/app.h"
#include "app/priority.h"
#include "app/settings_table.h"
#include "app/shared_state.h"
#include "control/progress.h"
#include "copy/audio_delay.h"
#include "copy/preview_link.h"
#include "copy/split_recording.h"
#include "player/player_windows.h"
#include "resources/resource.h"

HANDLE g_inputFile = INVALID_HANDLE_VALUE;
HANDLE g_previousInputFile = INVALID_HANDLE_VALUE;
HANDLE g_outputFile = INVALID_HANDLE_VALUE;
CopyWorkerState g_worker = {};

namespace {

const DWORD kEndOfInputGraceMs = 5000;
// Commands carried out only at the end of a cycle.
const uint32_t kSafePointCommands = CMD_NEW_INPUT | CMD_OPEN_OUTPUT | CMD_DRIVE | CMD_SIZE | CMD_QUIT;
// No command of its own: it only tells the takeover of a new input to start.
const uint32_t kTakeoverModifiers = CMD_START_AFTER_INPUT;
// Displays and Player tracking while copying: often enough to look live.
const DWORD kWindowRefreshMs = 50;

// The chunk buffer with the audio correction's look-back bytes in front.
uint8_t g_chunkArea[kLookBack + kChunkSize];
uint8_t* const g_chunk = g_chunkArea + kLookBack;

const char kInputOpenFailed[] = "入力ファイル%sをオープンできません!";
const char kInputSeekFailed[] = "入力ファイル%sをシークできません!";
const char kInputReadFailed[] = "入力ファイル%sを読み出せません!";
const char kInputCloseFailed[] = "入力ファイル%sのクローズでエラーが発生しました!";
const char kOutputSeekFailed[] = "出力ファイル%sをシークできません!";
const char kOutputWriteFailed[] = "出力ファイル%sに書き込めません!";
const char kOutputCloseFailed[] = "出力ファイル%sのクローズでエラーが発生しました!";

void CloseHandleToNone(HANDLE* handle) {
  if (*handle != INVALID_HANDLE_VALUE) CloseHandle(*handle);
  *handle = INVALID_HANDLE_VALUE;
}

// Closes a copy handle; a failure is reported only when nothing else is.
void CloseReporting(HANDLE* handle, const char* format, const char* path) {
  if (*handle == INVALID_HANDLE_VALUE) return;
  BOOL closed = CloseHandle(*handle);
  *handle = INVALID_HANDLE_VALUE;
  if (!closed && g_worker.message[0] == 0) FormatFileMessage(g_worker.message, format, path);
}

bool Failed(const char* format, const char* path) {
  FormatFileMessage(g_worker.message, format, path);
  return false;
}

void SetBarState(int state) {
  if (g_barState.load() == state) return;
  g_barState = state;
  InvalidateRect(g_controlWindow, nullptr, TRUE);
  UpdateWindow(g_controlWindow);
}

// A click of the Start/Stop button, which the Control window turns into
// CMD_STOP while copying and CMD_START while stopped.
void SendStopClick() {
  SendMessageA(g_controlWindow, WM_COMMAND, IDC_START, LPARAM(GetDlgItem(g_controlWindow, IDC_START)));
}

void PostStartStopClick() { PostMessageA(g_controlWindow, WM_COMMAND, IDC_START, 0); }

// Every chunk asks for an enabled play button; only a disabled one costs a
// call to the Control window's thread.
void EnablePlayButton() {
  if (g_worker.playButton && !IsWindowEnabled(g_worker.playButton)) EnableWindow(g_worker.playButton, TRUE);
}

// The file pointer is moved only when something other than the copy's own
// transfers moved it: a chunk read or written whole leaves it where the next
// one starts.
bool PlaceFilePointer(HANDLE file, uint64_t* at, uint64_t offset) {
  if (*at == offset) return true;
  *at = kUnknownPosition;
  if (SeekFile(file, int64_t(offset), FILE_BEGIN) != int64_t(offset)) return false;
  *at = offset;
  return true;
}

void ForgetFilePointers() { g_worker.inputAt = g_worker.outputAt = kUnknownPosition; }

void TakeOverNewInput() {
  // Both bits at once: a start asked for with the next input stays with it.
  if (TakeCommands(CMD_NEW_INPUT | CMD_START_AFTER_INPUT) & CMD_START_AFTER_INPUT) {
    if (g_stopped.load()) PostStartStopClick();
  }
  int fromHead = g_writeFromHead.load();
  int keepTail = g_keepPreviousTail.load();
  bool continues = g_inputFile != INVALID_HANDLE_VALUE && keepTail && !fromHead;
  if (!continues) ResetAudioDelay();
  if (g_inputFile != INVALID_HANDLE_VALUE) {
    if (continues) {
      CloseHandleToNone(&g_previousInputFile);
      g_previousInputFile = g_inputFile;
      strcpy(g_worker.previousInputPath, g_worker.inputPath);
    } else {
      CloseHandle(g_inputFile);
    }
    g_inputFile = INVALID_HANDLE_VALUE;
  }
  int64_t size = ProbeFileSize(g_settings.File);
  g_inputSize = size > 0 ? uint64_t(size) : 0;
  g_inputOffset = StartInputOffset(g_startPermille.load(), g_inputSize.load());
  UpdateProgressText();
  if (continues) ContinueAudioDelayInNextPiece(g_inputOffset.load());
  g_outputOffset = OutputOffsetAfterTakeover(g_outputOffset.load(), fromHead, keepTail, g_settings.Head);
  if (fromHead) UpdateProgressBar(g_outputOffset.load());
  if (fromHead || keepTail) g_keepPreviousTail = 0;
  // A new input gets its own grace at its end.
  g_worker.endDeadline = 0;
  // No session may keep showing (and holding open) the input that was left.
  preview_close();
}

// The end of the input: wait for growth, then the next piece or a stop.
void OnEndOfInput() {
  SetBarState(BAR_FILE_END);
  DWORD now = GetTickCount();
  if (g_worker.endDeadline == 0) {
    g_worker.endDeadline = (now + kEndOfInputGraceMs) | 1;
    return;
  }
  // Signed difference: still right when the tick count wraps.
  if (int32_t(now - g_worker.endDeadline) <= 0) return;
  int numbered = 0;
  char current[MAX_PATH];
  strcpy(current, g_settings.File);
  if (g_settings.Serial && FindNextPiece(g_settings.File, &numbered)) {
    if (numbered) {
      g_keepPreviousTail = 1;
      strcpy(g_worker.previousInputPath, current);
    }
    SetDlgItemTextA(g_controlWindow, IDC_INPUT_PATH, g_settings.File);
    g_writeFromHead = 0;
    RaiseCommands(CMD_NEW_INPUT);
    g_startPermille = 0;
    return;
  }
  SendStopClick();
}

// Pacing against the Player's knob; false when the copy must wait. Finding
// the Player and reading its knob are searches through another process's
// windows: a reading is kept while the copy stays clear of the point where it
// would wait, and taken again before the copy could reach that point.
// The copy goes on to `through`, from `out`: one chunk's start, or the whole
// span a wrap is about to write.
bool PaceBehindPlayer(uint64_t out, uint64_t through) {
  uint32_t stop = g_settings.Stop;
  DWORD now = GetTickCount();
  KnobReading& reading = g_worker.knob;
  if (KnobReadingDue(reading, now, out, stop)) {
    reading.taken = 0;
    if (!FindPlayerWindow()) {
      // One click is enough; a second one arriving after the stop would start again.
      if (!g_worker.stopClickPosted) PostStartStopClick();
      g_worker.stopClickPosted = 1;
      return true;
    }
    int32_t knob = 0;
    uint64_t limit = ReadSeekKnob(&knob) ? PacingLimit(knob, out, g_ringFileLength.load(), stop)
                                         : kNoPacingLimit;
    reading = KnobReading{1, now, out, limit, stop};
  }
  if (through < reading.limit) return true;
  // The next cycle, after its sleeps, reads the knob again.
  reading.taken = 0;
  SetBarState(BAR_WAITING);
  if (g_effectivePriority != 0) SetWorkPriority(0);
  return false;
}

bool ShouldLeave() { return PollRequests(0) != 0 || g_stopped.load() != 0; }

// Every window call from this thread is a message to another thread or
// process; per 32 KiB chunk they cost far more than the copy itself (under
// Wine, milliseconds each). While copying, the displays are redrawn at most
// every kWindowRefreshMs; when the copy loop ends they are redrawn at once.
void RedrawProgress(bool now) {
  DWORD tick = GetTickCount();
  if (!now && !WindowRefreshDue(tick, g_worker.lastRedraw)) return;
  g_worker.lastRedraw = tick;
  UpdateProgressBar(g_outputOffset.load());
  UpdateProgressText();
}

bool CorrectAudio(uint32_t n) {
  AudioDelayFiles files = {g_inputFile, g_worker.inputPath, g_previousInputFile,
                           g_worker.previousInputPath, g_outputFile, g_ring.path,
                           g_ringEnd.load(), g_ring.mirrorDistance};
  return CorrectAudioChunk(files, g_audioDelay.load(), g_audioBitRate.load(), g_chunk, n,
                           g_inputOffset.load(), g_outputOffset.load(), g_worker.message) != 0;
}

// One pass of the copy loop; false when the loop must be left.
bool CopyOneChunk() {
  // The size is measured anew for every chunk: the input may still be
  // recording. (Asking for the size costs half of a seek to the end.)
  LARGE_INTEGER size;
  if (!GetFileSizeEx(g_inputFile, &size)) return Failed(kInputSeekFailed, g_worker.inputPath);
  g_inputSize = uint64_t(size.QuadPart);
  if (g_inputSize.load() <= g_inputOffset.load()) {
    OnEndOfInput();
    return false;
  }
  g_worker.endDeadline = 0;
  if (g_outputOffset.load() >= g_ringEnd.load()) {
    // The wrap writes the ring's first 2 MiB at once: the Player, just past
    // the ring end, may be playing there.
    uint64_t start = RingStartFor(g_settings.Head);
    if (g_settings.Wait && !PaceBehindPlayer(start, start + kWrapCopySize)) return false;
    ForgetFilePointers();
    if (!WrapOutput(g_chunk, g_worker.message)) return false;
  }
  if (KeptHeadDue(g_settings.Head, g_inputOffset.load(), g_outputOffset.load())) {
    ForgetFilePointers();
    if (!WriteKeptHead(g_inputFile, g_worker.inputPath, g_chunk, g_worker.message)) return false;
  }
  uint64_t inputOffset = g_inputOffset.load();
  if (!PlaceFilePointer(g_inputFile, &g_worker.inputAt, inputOffset))
    return Failed(kInputSeekFailed, g_worker.inputPath);
  if (g_settings.Wait && !PaceBehindPlayer(g_outputOffset.load(), g_outputOffset.load())) return false;
  if (g_effectivePriority != g_settings.Priority) SetWorkPriority(1);

  uint32_t n = ChunkLength(g_inputSize.load(), inputOffset, g_outputOffset.load(), g_ringEnd.load());
  if (n > 0) {
    g_worker.inputAt = kUnknownPosition;
    if (!ReadWhole(g_inputFile, g_chunk, n)) return Failed(kInputReadFailed, g_worker.inputPath);
    g_worker.inputAt = inputOffset + n;
    if (ShouldLeave()) return false;
    if (g_audioDelay.load() != 0) {
      ForgetFilePointers();  // the correction reads and writes elsewhere
      if (!CorrectAudio(n)) return false;
    }
    uint64_t outputOffset = g_outputOffset.load();
    if (!PlaceFilePointer(g_outputFile, &g_worker.outputAt, outputOffset))
      return Failed(kOutputSeekFailed, g_ring.path);
    g_worker.outputAt = kUnknownPosition;
    if (!WriteWhole(g_outputFile, g_chunk, n)) return Failed(kOutputWriteFailed, g_ring.path);
    g_worker.outputAt = outputOffset + n;
    // Account for the written chunk before a stop is honoured, so that it is
    // never written (and its audio corrected) twice.
    g_inputOffset = inputOffset + n;
    g_outputOffset = outputOffset + n;
    RedrawProgress(false);
    SetBarState(BAR_WORKING);
    if (ShouldLeave()) return false;
  }
  if (g_outputOffset.load() >= g_ringEnd.load()) {
    ForgetFilePointers();
    if (!ClearTail(g_chunk, g_worker.message)) return false;
    if (!g_settings.Wait) {
      SendStopClick();
      return false;
    }
  }
  EnablePlayButton();
  return true;
}

// Step 4 of the cycle; false when the cycle goes straight to its end.
bool PrepareCopy() {
  if (g_outputFile == INVALID_HANDLE_VALUE && !OpenOutputFile(g_worker.message)) return false;
  if (g_barState.load() == BAR_STOPPED) SetBarState(BAR_WORKING);
  // An interrupted fill ends the cycle: the file is not ready to be written.
  if (g_ring.initialisePending &&
      InitialiseOutputFile(PollRequests, g_chunk, g_worker.message) != INIT_DONE)
    return false;
  if (g_inputFile != INVALID_HANDLE_VALUE) return true;
  g_inputFile = CreateFileA(g_settings.File, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  strcpy(g_worker.inputPath, g_settings.File);
  if (g_inputFile == INVALID_HANDLE_VALUE) return Failed(kInputOpenFailed, g_worker.inputPath);
  return true;
}

void CloseFilesOfStoppedCopy() {
  // Only when the input really closes: a stopped worker passes here every
  // cycle, and the Input dialog's session must survive those passes.
  if (g_inputFile != INVALID_HANDLE_VALUE) preview_close();
  CloseReporting(&g_inputFile, kInputCloseFailed, g_worker.inputPath);
  CloseReporting(&g_previousInputFile, kInputCloseFailed, g_worker.previousInputPath);
  CloseReporting(&g_outputFile, kOutputCloseFailed, g_ring.path);
}

void ReportFailure() {
  if (g_worker.message[0] == 0) return;
  if (!g_stopped.load()) SendStopClick();
  MessageBoxA(g_controlWindow, g_worker.message, PROGRAM_TITLE, MB_ICONQUESTION);
}

// The opening sleeps of a cycle: at most 1 s, less when something is asked.
void WaitBeforeCycle() {
  for (int sleeps = 0; sleeps < 10; ++sleeps) {
    Sleep(100);
    if (PollRequests(0) || g_stopped.load()) return;
  }
}

void RestorePlayerStopButton() {
  if (!FindPlayerWindow() || !g_settings.NoStop) return;
  HWND stop = FindDescendant(g_currentPlayerWindow, "Button", nullptr, 11, 0);
  if (stop && !IsWindowEnabled(stop)) EnableWindow(stop, TRUE);
}

}  // namespace

bool WindowRefreshDue(DWORD now, DWORD last) { return now - last >= kWindowRefreshMs; }

bool PauseDue(int32_t counter, int32_t priority2) {
  if (priority2 < -5) priority2 = -5;
  if (priority2 > 5) priority2 = 5;
  return (uint32_t(counter) & ((uint32_t(1) << (priority2 + 5)) - 1)) == 0;
}

uint64_t StartInputOffset(int32_t permille, uint64_t size) {
  if (permille < 0) permille = 0;
  return uint64_t(permille) * size / 1000 / kChunkSize * kChunkSize;
}

uint64_t OutputOffsetAfterTakeover(uint64_t offset, int writeFromHead, int keepPreviousTail, int head) {
  if (writeFromHead) return 0;
  if (keepPreviousTail) return offset;
  if (offset > 1024) {
    offset -= 1024;
    if (head && offset < kHeadSize) offset = kHeadSize;
  }
  return offset;
}

int PollRequests(int mayAct) {
  uint32_t pending = g_pendingCommands.load();
  if (pending & CMD_STOP) {
    ClearCommands(CMD_STOP);
    g_stopped = 1;
    g_worker.stopClickPosted = 0;
    SetWorkPriority(0);
    SetBarState(BAR_STOPPED);
  } else if (pending & CMD_START) {
    ClearCommands(CMD_START);
    g_stopped = 0;
    g_worker.stopClickPosted = 0;
    SetWorkPriority(1);
  } else if (pending & CMD_NEW_INPUT) {
    if (mayAct) TakeOverNewInput();
    else g_worker.yieldResult = 1;
  } else if (pending & CMD_PRIORITY) {
    ClearCommands(CMD_PRIORITY);
    SetWorkPriority(g_stopped.load() ? 0 : 1);
  } else if (pending & (CMD_OPEN_OUTPUT | CMD_DRIVE)) {
    if (mayAct) CheckOutputFile();
    else g_worker.yieldResult = 1;
  } else if (pending & CMD_SIZE) {
    if (mayAct) ResizeOutputFile();
    else g_worker.yieldResult = 1;
  } else if (pending & CMD_QUIT) {
    if (mayAct) {
      ClearCommands(CMD_QUIT);
      g_worker.exitRequested = 1;
    } else {
      g_worker.yieldResult = 1;
    }
  }
  // A command that waits for the safe point still waits when this call
  // carried out another one: the caller must not go on (start a cycle with
  // the output unchecked or unsized, or a new input not yet taken over).
  if (!mayAct && (g_pendingCommands.load() & kSafePointCommands)) g_worker.yieldResult = 1;
  // A start-after-input bit without its new input has nothing left to do;
  // kept, it would hold the yield and the pause schedule for good.
  if ((g_pendingCommands.load() & (CMD_NEW_INPUT | kTakeoverModifiers)) == kTakeoverModifiers)
    ClearCommands(kTakeoverModifiers);
  if ((g_pendingCommands.load() & ~kTakeoverModifiers) == 0) {
    g_worker.yieldResult = 0;
    if (!g_worker.exitRequested && !g_stopped.load() &&
        PauseDue(++g_worker.pauseCounter, g_settings.Priority2))
      Sleep(10);
  }
  // The Player's windows are searched anew by each TrackPlayer: like the
  // redraws, at most every kWindowRefreshMs.
  DWORD tick = GetTickCount();
  if (WindowRefreshDue(tick, g_worker.lastPlayerTrack)) {
    g_worker.lastPlayerTrack = tick;
    TrackPlayer();
  }
  return g_worker.yieldResult;
}

void RunCopyCycle() {
  g_worker.message[0] = 0;
  g_worker.knob.taken = 0;
  bool ready = g_settings.Drive[0] && g_settings.File[0] && !PollRequests(0) && !g_stopped.load();
  // Handles may have been opened, closed or used by others since the last cycle.
  ForgetFilePointers();
  g_worker.playButton = GetDlgItem(g_controlWindow, IDC_PLAY);
  if (ready && PrepareCopy())
    while (CopyOneChunk()) {
    }
  if (ready) RedrawProgress(true);
  if (g_stopped.load()) CloseFilesOfStoppedCopy();
  ReportFailure();
  if (g_barState.load() == BAR_WORKING) SetBarState(BAR_STOPPED);
  PollRequests(1);
}

void CloseCopyFiles() {
  CloseHandleToNone(&g_inputFile);
  CloseHandleToNone(&g_previousInputFile);
  CloseHandleToNone(&g_outputFile);
}

DWORD WINAPI CopyWorkerMain(void*) {
  while (!g_worker.exitRequested) {
    WaitBeforeCycle();
    RunCopyCycle();
  }
  RestorePlayerStopButton();
  PostMessageA(g_controlWindow, WM_WORKER_FINISHED, 0, 0);
  ExitThread(0);
}
