// The progress overlay laid over a Player's seek track.
#include <windows.h>

#include <gtest/gtest.h>

#include "app/settings_table.h"
#include "app/shared_state.h"
#include "control/control_state.h"
#include "control/progress.h"
#include "player/player_windows.h"
#include "resources/resource.h"
#include "tests/control/window_harness.h"

using namespace harness;

namespace {

// A Player with the window shapes the program looks for: a main window and
// a seek track whose class and title contain "hscroll".
class FakePlayer {
 public:
  explicit FakePlayer(bool withTrack) {
    WNDCLASSA frame = {};
    frame.lpfnWndProc = DefWindowProcA;
    frame.hInstance = GetModuleHandleA(nullptr);
    frame.lpszClassName = "FakePlayerFrame";
    RegisterClassA(&frame);
    WNDCLASSA track = frame;
    track.lpszClassName = "FakeHScrollTrack";
    RegisterClassA(&track);
    main_ =
        CreateWindowExA(0, "FakePlayerFrame", "Lumoria Media Theater test", WS_POPUP | WS_VISIBLE,
                        300, 400, 500, 120, nullptr, nullptr, frame.hInstance, nullptr);
    if (withTrack) {
      CreateWindowExA(0, "FakeHScrollTrack", "HScroll", WS_CHILD | WS_VISIBLE, 40, 60, 400, 12,
                      main_, nullptr, frame.hInstance, nullptr);
    }
  }
  ~FakePlayer() { DestroyWindow(main_); }
  HWND Main() const { return main_; }
  RECT Track() const {
    RECT r = {};
    GetWindowRect(FindWindowExA(main_, nullptr, "FakeHScrollTrack", nullptr), &r);
    return r;
  }

 private:
  HWND main_;
};

class Overlay : public testing::Test {
 protected:
  void SetUp() override {
    window_ = OpenControlWindow("");
    ASSERT_NE(window_, nullptr);
    overlay_ = g_control.overlay;
    ASSERT_NE(overlay_, nullptr);
  }
  void TearDown() override {
    g_currentPlayerWindow = nullptr;
    if (window_) {
      EXPECT_TRUE(CloseControlWindow(window_));
    }
  }
  RECT OverlayRect() {
    RECT r;
    GetWindowRect(overlay_, &r);
    return r;
  }
  HWND window_ = nullptr;
  HWND overlay_ = nullptr;
};

TEST_F(Overlay, LiesTwoPixelsInsideTheSeekTrackWithTheRingProgress) {
  FakePlayer player(true);
  g_currentPlayerWindow = player.Main();
  g_ringFileLength.store((1ull << 29) - 1);
  g_ringEnd.store((1ull << 29) - 524288);
  g_outputOffset.store(g_ringEnd.load() / 4);
  UpdateOverlay();
  ASSERT_TRUE(IsWindowVisible(overlay_));
  RECT track = player.Track(), at = OverlayRect();
  EXPECT_EQ(at.left, track.left + 2);
  EXPECT_EQ(at.top, track.top + 2);

  // Sized to its hidden frame 1041; the bar fills a quarter of it.
  RECT frame, filled, empty;
  GetWindowRect(GetDlgItem(overlay_, IDC_PROGRESS_FRAME), &frame);
  EXPECT_EQ(at.right - at.left, frame.right - frame.left);
  EXPECT_EQ(at.bottom - at.top, frame.bottom - frame.top);
  GetWindowRect(GetDlgItem(overlay_, IDC_PROGRESS_FILLED), &filled);
  GetWindowRect(GetDlgItem(overlay_, IDC_PROGRESS_EMPTY), &empty);
  int inner = frame.right - frame.left - 2;
  EXPECT_EQ(filled.right - filled.left, inner / 4);
  EXPECT_EQ(empty.left, filled.right);
  EXPECT_EQ(empty.right, frame.right - 1);
  EXPECT_EQ(SendMessageA(overlay_, WM_ERASEBKGND, 0, 0), 1) << "the overlay erases nothing";
}

TEST_F(Overlay, HidesWithoutAVisiblePlayerOrWithProgressOff) {
  FakePlayer player(true);
  g_currentPlayerWindow = player.Main();
  UpdateOverlay();
  ASSERT_TRUE(IsWindowVisible(overlay_));
  SendMessageA(window_, WM_COMMAND, IDM_PROGRESS, 0);
  UpdateOverlay();
  EXPECT_FALSE(IsWindowVisible(overlay_)) << "Progress off";
  SendMessageA(window_, WM_COMMAND, IDM_PROGRESS, 0);
  UpdateOverlay();
  EXPECT_TRUE(IsWindowVisible(overlay_));
  ShowWindow(player.Main(), SW_HIDE);
  UpdateOverlay();
  EXPECT_FALSE(IsWindowVisible(overlay_)) << "Player hidden";
  g_currentPlayerWindow = nullptr;
  ShowWindow(player.Main(), SW_SHOWNA);
  UpdateOverlay();
  EXPECT_FALSE(IsWindowVisible(overlay_)) << "no Player";
}

TEST_F(Overlay, APlayerWithoutASeekTrackPutsItAtTwoTwo) {
  FakePlayer player(false);
  g_currentPlayerWindow = player.Main();
  UpdateOverlay();
  RECT at = OverlayRect();
  EXPECT_EQ(at.left, 2);
  EXPECT_EQ(at.top, 2);
}

}  // namespace
