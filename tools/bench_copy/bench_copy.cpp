// bench_copy INPUT DRIVE SIZE PRIORITY2 [flush]: copies INPUT from its start
// into DRIVE\$Ringfeed.mpg of 2^SIZE - 1 bytes with the worker's own cycles,
// overtaking allowed, and prints the bytes copied, the seconds, the pause
// schedule's sleeps and MB/s.
// With "flush" the clock stops only when the ring is on the disk.
// The ring is made (sparse, as with Clear on NT) before the clock starts.
// A window on a thread of its own stands for the Control window, with the
// play button the worker enables, so that the worker's calls into the user
// interface cost what they cost in the program.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/app.h"
#include "app/settings_table.h"
#include "app/shared_state.h"
#include "control/progress.h"
#include "copy/ring_file.h"
#include "copy/worker.h"
#include "resources/resource.h"

namespace {

HANDLE g_windowReady;

DWORD WINAPI RunStandInControlWindow(void*) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "BenchCopyControl";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowA("BenchCopyControl", "bench_copy", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr,
                              nullptr, windowClass.hInstance, nullptr);
  CreateWindowA("BUTTON", "", WS_CHILD | WS_VISIBLE, 0, 0, 100, 30, window, HMENU(INT_PTR(IDC_PLAY)),
                windowClass.hInstance, nullptr);
  g_controlWindow = window;
  SetEvent(g_windowReady);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) DispatchMessageA(&msg);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5 && argc != 6) {
    fprintf(stderr, "usage: bench_copy INPUT DRIVE SIZE PRIORITY2 [flush]\n");
    return 2;
  }
  g_osVersion.dwOSVersionInfoSize = sizeof g_osVersion;
  GetVersionExA(&g_osVersion);
  snprintf(g_settings.File, sizeof g_settings.File, "%s", argv[1]);
  snprintf(g_settings.Drive, sizeof g_settings.Drive, "%s", argv[2]);
  g_settings.Size = uint32_t(atoi(argv[3]));
  g_settings.Priority2 = atoi(argv[4]);
  g_settings.Clear = 1;
  g_settings.Wait = 0;
  g_settings.Head = 1;

  g_windowReady = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  CreateThread(nullptr, 0, RunStandInControlWindow, nullptr, 0, nullptr);
  WaitForSingleObject(g_windowReady, INFINITE);

  RaiseCommands(CMD_OPEN_OUTPUT | CMD_SIZE);
  PollRequests(1);
  PollRequests(1);
  RaiseCommands(CMD_NEW_INPUT | CMD_START);
  PollRequests(1);
  PollRequests(1);
  char message[kMessageSize] = "";
  uint8_t* block = static_cast<uint8_t*>(malloc(kChunkSize));
  if (g_ring.initialisePending) {
    if (!OpenOutputFile(message) || InitialiseOutputFile(PollRequests, block, message) != INIT_DONE) {
      fprintf(stderr, "%s\n", message);
      return 1;
    }
  }

  LARGE_INTEGER frequency, start, end;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&start);
  // Cycles without their opening sleeps, until the input or the ring ends.
  while (!(g_inputOffset.load() >= g_inputSize.load() && g_inputSize.load() > 0) &&
         g_outputOffset.load() < g_ringEnd.load() && g_worker.message[0] == 0)
    RunCopyCycle();
  if (argc == 6) FlushFileBuffers(g_outputFile);
  QueryPerformanceCounter(&end);
  if (g_worker.message[0]) fprintf(stderr, "%s\n", g_worker.message);

  CloseCopyFiles();
  double seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
  unsigned long long bytes = g_inputOffset.load();
  // The pause schedule's 10 ms sleeps, which Priority2 sets by design.
  unsigned pauses = unsigned(uint32_t(g_worker.pauseCounter) >> (g_settings.Priority2 + 5));
  printf("bytes %llu seconds %.3f pauses %u (%.1f MB/s without) MB/s %.1f\n", bytes, seconds, pauses,
         double(bytes) / (seconds - pauses * 0.010) / 1e6, double(bytes) / seconds / 1e6);
  return 0;
}
