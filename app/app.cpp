// The application core's process-wide values, in a unit of their own so that
// code using them (the Copy engine in its tests) needs none of the windows.
#include "app/app.h"

HINSTANCE g_instance = nullptr;
HWND g_controlWindow = nullptr;
OSVERSIONINFOA g_osVersion = {};
HANDLE g_workerThread = nullptr;
DWORD g_workerThreadId = 0;
