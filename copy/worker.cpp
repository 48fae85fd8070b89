// Copy worker thread: polls the pending commands and carries them out.
#include "copy/worker.h"

#include "app/app.h"
#include "app/priority.h"
#include "app/shared_state.h"

HANDLE g_inputFile = INVALID_HANDLE_VALUE;
HANDLE g_previousInputFile = INVALID_HANDLE_VALUE;
HANDLE g_outputFile = INVALID_HANDLE_VALUE;

namespace {

// How often an idle worker looks at the pending commands.
const DWORD kIdlePollMs = 20;

void CloseHandleToNone(HANDLE* handle) {
  if (*handle != INVALID_HANDLE_VALUE) CloseHandle(*handle);
  *handle = INVALID_HANDLE_VALUE;
}

// Carries out at most one pending command. Returns false once asked to quit.
bool PollRequests() {
  uint32_t pending = g_pendingCommands.load();
  if (pending & CMD_QUIT) {
    ClearCommands(CMD_QUIT);
    return false;
  }
  if (pending & CMD_PRIORITY) {
    ClearCommands(CMD_PRIORITY);
    SetWorkPriority(g_stopped.load() ? 0 : 1);
  }
  return true;
}

}  // namespace

void CloseCopyFiles() {
  CloseHandleToNone(&g_inputFile);
  CloseHandleToNone(&g_previousInputFile);
  CloseHandleToNone(&g_outputFile);
}

DWORD WINAPI CopyWorkerMain(void*) {
  while (PollRequests()) Sleep(kIdlePollMs);
  PostMessageA(g_controlWindow, WM_WORKER_FINISHED, 0, 0);
  return 0;
}
