// Stand-ins for the progress displays the Copy worker calls: no display.
#include "control/progress.h"

std::atomic<int> g_barState{BAR_STOPPED};

void UpdateProgressText() {}
void UpdateProgressBar(uint64_t) {}
void UpdateOverlay() {}
