// bench_copy INPUT DRIVE SIZE PRIORITY2: copies INPUT from its start into
// DRIVE\$Ringfeed.mpg of 2^SIZE - 1 bytes with the worker's own cycles,
// overtaking allowed, and prints the bytes copied, the seconds and MB/s.
// The ring is made (sparse, as with Clear on NT) before the clock starts.
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

int main(int argc, char** argv) {
  if (argc != 5) {
    fprintf(stderr, "usage: bench_copy INPUT DRIVE SIZE PRIORITY2\n");
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
  QueryPerformanceCounter(&end);
  if (g_worker.message[0]) fprintf(stderr, "%s\n", g_worker.message);

  CloseCopyFiles();
  double seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
  unsigned long long bytes = g_inputOffset.load();
  printf("bytes %llu seconds %.3f MB/s %.1f\n", bytes, seconds, double(bytes) / seconds / 1e6);
  return 0;
}
