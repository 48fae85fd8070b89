// The per-poll watch of the Player window: the overlay and the stop button.
//
// Threading: runs on the Copy worker's thread, the only writer of the two
// window variables.
#include "app/settings_table.h"
#include "control/progress.h"
#include "player/player_windows.h"

HWND g_currentPlayerWindow = nullptr;
HWND g_previousPlayerWindow = nullptr;

namespace {

// A Player window seen for the first time gets its stop button set from
// NoStop; later changes of NoStop wait for the next new window.
void ApplyNoStop(HWND player) {
  HWND stop = FindDescendant(player, "button", nullptr, 11, 0);
  if (!stop) return;
  bool noStop = g_settings.NoStop != 0;
  if ((IsWindowEnabled(stop) != 0) == noStop && IsWindow(stop)) EnableWindow(stop, !noStop);
}

}  // namespace

void TrackPlayer() {
  g_previousPlayerWindow = g_currentPlayerWindow;
  g_currentPlayerWindow = FindPlayerWindow();
  if (g_currentPlayerWindow) {
    UpdateOverlay();
    if (g_currentPlayerWindow != g_previousPlayerWindow) ApplyNoStop(g_currentPlayerWindow);
  } else if (g_previousPlayerWindow) {
    UpdateOverlay();  // once more, so that it hides
  }
}
