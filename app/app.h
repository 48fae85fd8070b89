// Process-wide values of the application core: handles, the OS version
// record, the worker thread and the program's fixed names.
#pragma once

#include <windows.h>

#include <cstdint>

#define PROGRAM_TITLE "Ringfeed"

// Posted by the Copy worker to the Control window as its last act.
const UINT WM_WORKER_FINISHED = 0x7FFF;

extern HINSTANCE g_instance;
extern HWND g_controlWindow;
extern OSVERSIONINFOA g_osVersion;
extern HANDLE g_workerThread;
extern DWORD g_workerThreadId;

// Entry of the Copy worker thread.
DWORD WINAPI CopyWorkerMain(void* parameter);

// Creates the Copy worker; on failure tells the user and closes the window,
// which then shuts down without waiting for a worker.
void StartCopyWorker();

// Loads comctl32's InitCommonControlsEx at run time and registers every
// common control class. Returns whether the function exists.
int InitCommonControlsAll();

// Closes the files, saves the settings, frees the window's resources and
// destroys the Control window (which ends the message loop).
void RunShutdownSequence(HWND window);
