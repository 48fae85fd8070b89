// Keeps the overlay over the Player's seek track; called by TrackPlayer on
// each poll of the Copy worker. A file of its own because it is the only
// part of the Control window that needs the Player's window finders.
#include "app/settings_table.h"
#include "app/shared_state.h"
#include "control/control_state.h"
#include "control/position_math.h"
#include "control/progress.h"
#include "player/player_windows.h"

void UpdateOverlay() {
  HWND overlay = g_control.overlay;
  if (!overlay) return;
  HWND player = g_currentPlayerWindow;
  if (player && g_settings.Progress && IsWindowVisible(player)) {
    RECT track = {};
    HWND seekTrack = FindDescendant(player, "hscroll", "hscroll", 0, 0);
    if (seekTrack) GetWindowRect(seekTrack, &track);
    ScreenPoint at = OverlayOrigin(seekTrack != nullptr, track.left, track.top);
    // Directly above the Player: after the window that precedes it.
    HWND above = GetWindow(player, GW_HWNDPREV);
    UINT keepOrder = above == overlay ? SWP_NOZORDER : 0;
    SetWindowPos(overlay, above ? above : HWND_TOP, at.x, at.y, 0, 0,
                 SWP_NOSIZE | SWP_NOACTIVATE | keepOrder);
    ShowWindow(overlay, SW_SHOWNA);
  } else {
    ShowWindow(overlay, SW_HIDE);
  }
  LayoutProgressBar(overlay, g_overlayArea, g_outputOffset.load());
  InvalidateRect(overlay, nullptr, TRUE);
  UpdateWindow(overlay);
}
