// Progress displays: the position text and bar of the input, the ring
// progress bar of the Control window and its overlay on the Player.
//
// Threading: called from both threads; they only read shared positions and
// act through window functions, which Windows runs on the owning thread.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "control/number_format.h"  // FormatGroupedNumber, FormatOutputSizeText

// What the filled part of the progress bars shows; set by the Copy worker.
enum BarState { BAR_STOPPED, BAR_WORKING, BAR_WAITING, BAR_FILE_END };
extern std::atomic<int> g_barState;

void UpdateProgressText();
void UpdateProgressBar(uint64_t writePosition);
void UpdateOverlay();
void MeasureProgressArea(HWND window);
