// The Copy worker thread: the only code that touches the input and output
// files while the program runs.
#pragma once

#include <windows.h>

// File handles of the copy; INVALID_HANDLE_VALUE when closed. They belong to
// the Copy worker while it runs and to the shutdown sequence after it ended.
extern HANDLE g_inputFile;
extern HANDLE g_previousInputFile;
extern HANDLE g_outputFile;

// Closes whichever of the three handles is open and sets it back to none.
void CloseCopyFiles();
