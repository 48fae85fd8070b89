// The play button's hand-over to the Player, run in this process against the
// stand-in Player: finding or starting it, its open dialog, the play check.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/settings_table.h"
#include "mpeg/lock.h"
#include "player/player_launch.h"
#include "player/player_windows.h"
#include "tests/e2e/driver.h"
#include "tests/player/theater_run.h"

using namespace player_test;
using e2e::WaitUntil;

// The launcher never moves the overlay; TrackPlayer's display routine is not
// under test here.
void UpdateOverlay() {}

namespace {

const char kChooserTitle[] = "Vantrel 実行ファイル名入力";
const char kAppPathsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\theater.exe";
const char kOutputTitle[] = "Lumoria Media Theater - $Ringfeed.mpg";

std::string ProfilePath() {
  char windows[MAX_PATH];
  GetWindowsDirectoryA(windows, MAX_PATH);
  // Outside a Ringfeed.exe the settings go to Ringfeed.ini in the Windows folder.
  return std::string(windows) + "\\Ringfeed.ini";
}

struct ChildSearch {
  std::string text;
  HWND edit;
};

BOOL CALLBACK CollectChild(HWND child, LPARAM context) {
  ChildSearch* search = reinterpret_cast<ChildSearch*>(context);
  char cls[64];
  GetClassNameA(child, cls, sizeof cls);
  if (!lstrcmpiA(cls, "Static")) search->text += Text(child);
  if (!lstrcmpiA(cls, "Edit") && IsWindowVisible(child) && !search->edit) search->edit = child;
  return TRUE;
}

// Plays the user on a thread of its own while the launcher blocks this one:
// answers the executable chooser with a path (or cancels it) and closes
// Ringfeed's message boxes, noting what it saw.
class User {
 public:
  explicit User(const std::string& answer) : answer_(answer) {
    thread_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
  }
  ~User() {
    stop_ = true;
    WaitForSingleObject(thread_, 10000);
    CloseHandle(thread_);
  }
  int Choosers() const { return choosers_; }
  std::vector<std::string> Messages() {
    std::lock_guard<Lock> lock(mutex_);
    return messages_;
  }
  // The messages once `count` were seen, or those seen within 30 s.
  std::vector<std::string> MessagesOnce(size_t count) {
    WaitUntil([&] { return Messages().size() >= count; }, 30000);
    return Messages();
  }

 private:
  static DWORD WINAPI Run(void* self) {
    static_cast<User*>(self)->Loop();
    return 0;
  }

  // Only this process's windows: window tests in other processes show boxes
  // titled "Ringfeed" too, and must neither be closed nor be counted here.
  void Loop() {
    const DWORD self = GetCurrentProcessId();
    HWND handled = nullptr;
    while (!stop_) {
      HWND chooser = e2e::FindProcessWindow(self, kChooserTitle);
      if (chooser && chooser != handled && IsWindowVisible(chooser)) {
        handled = chooser;
        ++choosers_;
        Answer(chooser);
      }
      HWND box = e2e::MessageBoxOf(self, nullptr);
      ChildSearch search = {"", nullptr};
      if (box && box != handled) EnumChildWindows(box, CollectChild, reinterpret_cast<LPARAM>(&search));
      // A box may be found before its texts are in place.
      if (!search.text.empty()) {
        handled = box;
        {
          std::lock_guard<Lock> lock(mutex_);
          messages_.push_back(search.text);
        }
        PostMessageA(box, WM_COMMAND, IDOK, 0);
      }
      Sleep(20);
    }
  }

  void Answer(HWND chooser) {
    if (answer_.empty()) {
      PostMessageA(chooser, WM_COMMAND, IDCANCEL, 0);
      return;
    }
    ChildSearch search = {"", nullptr};
    EnumChildWindows(chooser, CollectChild, reinterpret_cast<LPARAM>(&search));
    if (search.edit) SendMessageA(search.edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(answer_.c_str()));
    PostMessageA(chooser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(chooser, IDOK)));
  }

  std::string answer_;
  HANDLE thread_;
  std::atomic<bool> stop_{false};
  std::atomic<int> choosers_{0};
  Lock mutex_;
  std::vector<std::string> messages_;
};

class PlayerLaunch : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(AnyTheaterWindow(), nullptr) << "a Player from elsewhere is on the desktop";
    folder_ = e2e::MakeTestFolder("player_launch");
    movie_ = folder_ + "\\movie.mpg";
    ASSERT_TRUE(MakeFile(movie_, 3000000));
    // Not the test drive T:, whose output file other window tests may be filling.
    lstrcpyA(g_settings.Drive, "C:");
    ASSERT_TRUE(MakeFile("C:\\$Ringfeed.mpg", 2000000));
    theater_ = e2e::BuiltProgram("theater.exe");
    g_settings.PlayerPath[0] = '\0';
    g_controlWindow = nullptr;
    ForgetPlayerPath();
  }
  void TearDown() override {
    while (HWND player = AnyTheaterWindow()) {
      EndProcessOf(player);
      if (IsWindow(player)) break;
    }
    ForgetPlayerPath();
    DeleteFileA("C:\\$Ringfeed.mpg");
  }

  static void ForgetPlayerPath() {
    WritePrivateProfileStringA("Player", nullptr, nullptr, ProfilePath().c_str());
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, kAppPathsKey);
  }
  static void StorePlayerPath(const std::string& path) {
    WritePrivateProfileStringA("Player", "theater.exe", path.c_str(), ProfilePath().c_str());
  }
  static std::string StoredPlayerPath() {
    return e2e::ProfileValue(ProfilePath(), "Player", "theater.exe");
  }

  // Waits until the Player shows the output file in the wanted play state.
  static bool ShowsOutput(HWND player, bool playing, TheaterState* state) {
    return WaitUntil([&] {
      return Text(player) == kOutputTitle && ReadState(player, state) && state->playing == playing;
    });
  }

  std::string folder_, movie_, theater_;
};

TEST_F(PlayerLaunch, FirstUseAsksForThePlayerAndLaterUsesRemember) {
  {
    User user(theater_);
    OpenOutputInPlayer();
    EXPECT_EQ(user.Choosers(), 1);
    EXPECT_TRUE(user.Messages().empty());
  }
  EXPECT_EQ(StoredPlayerPath(), theater_);
  EXPECT_STREQ(g_settings.PlayerPath, theater_.c_str());
  HWND player = AnyTheaterWindow();
  ASSERT_NE(player, nullptr);
  TheaterState state;
  EXPECT_TRUE(ShowsOutput(player, true, &state)) << Text(player);
  EXPECT_EQ(state.plays, 1);
  EXPECT_EQ(FindPlayerOpenDialog(), nullptr);

  // Next time the profile names the Player: no question.
  EndProcessOf(player);
  g_settings.PlayerPath[0] = '\0';
  {
    User user("");
    OpenOutputInPlayer();
    EXPECT_EQ(user.Choosers(), 0);
  }
  player = AnyTheaterWindow();
  ASSERT_NE(player, nullptr);
  EXPECT_TRUE(ShowsOutput(player, true, &state)) << Text(player);
}

TEST_F(PlayerLaunch, StoredPathThatIsGoneLeadsToTheChooser) {
  StorePlayerPath("T:\\gone\\theater.exe");
  {
    User user("");  // the user gives up
    OpenOutputInPlayer();
    EXPECT_EQ(user.Choosers(), 1);
    EXPECT_TRUE(user.Messages().empty());
  }
  EXPECT_EQ(AnyTheaterWindow(), nullptr);
  EXPECT_EQ(StoredPlayerPath(), "T:\\gone\\theater.exe");
  {
    User user(theater_);
    OpenOutputInPlayer();
    EXPECT_EQ(user.Choosers(), 1);
  }
  EXPECT_EQ(StoredPlayerPath(), theater_);
  ASSERT_NE(AnyTheaterWindow(), nullptr);
}

TEST_F(PlayerLaunch, AppPathsEntryComesBeforeTheProfile) {
  StorePlayerPath("T:\\gone\\theater.exe");
  HKEY key;
  ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kAppPathsKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            nullptr),
            ERROR_SUCCESS);
  RegSetValueExA(key, "", 0, REG_SZ, reinterpret_cast<const BYTE*>(theater_.c_str()),
                 static_cast<DWORD>(theater_.size() + 1));
  RegCloseKey(key);
  {
    User user("");
    OpenOutputInPlayer();
    EXPECT_EQ(user.Choosers(), 0);
  }
  EXPECT_EQ(StoredPlayerPath(), "T:\\gone\\theater.exe") << "the registry path is not stored";
  HWND player = AnyTheaterWindow();
  ASSERT_NE(player, nullptr);
  TheaterState state;
  EXPECT_TRUE(ShowsOutput(player, true, &state)) << Text(player);
}

TEST_F(PlayerLaunch, StoppedPlayerIsEjectedOpenedAndPressedPlay) {
  TheaterRun theater;
  ASSERT_TRUE(theater.Start("\"" + movie_ + "\""));
  ASSERT_FALSE(IsWindowVisible(GetDlgItem(theater.Window(), 22)));
  {
    User user("");
    OpenOutputInPlayer();
    EXPECT_EQ(user.Choosers(), 0);
    EXPECT_TRUE(user.Messages().empty());
  }
  TheaterState state;
  EXPECT_TRUE(ShowsOutput(theater.Window(), true, &state)) << Text(theater.Window());
  EXPECT_EQ(state.plays, 1);
  EXPECT_EQ(state.presses, 3) << "eject, open, play";
}

TEST_F(PlayerLaunch, PlayingPlayerIsNotPressedAgain) {
  TheaterRun theater;
  ASSERT_TRUE(theater.Start("--play \"" + movie_ + "\""));
  OpenOutputInPlayer();
  TheaterState state;
  EXPECT_TRUE(ShowsOutput(theater.Window(), true, &state)) << Text(theater.Window());
  EXPECT_EQ(state.plays, 0);
  EXPECT_EQ(state.presses, 2) << "eject, open";
}

TEST_F(PlayerLaunch, OpenDialogAlreadyShownIsUsedWithoutClicks) {
  TheaterRun theater;
  ASSERT_TRUE(theater.Start("--rate 0"));
  ASSERT_EQ(ClickDescendant(theater.Window(), nullptr, nullptr, 22, 1, 1), 1);
  ASSERT_TRUE(WaitUntil([] { return FindPlayerOpenDialog() != nullptr; }));
  OpenOutputInPlayer();
  TheaterState state;
  // The dialog above the Player is taken for it, so there is no play check.
  EXPECT_TRUE(ShowsOutput(theater.Window(), false, &state)) << Text(theater.Window());
  EXPECT_EQ(state.presses, 1) << "only the test's own click";
  EXPECT_TRUE(WaitUntil([] { return FindPlayerOpenDialog() == nullptr; }));
}

LRESULT CALLBACK PlainProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

TEST_F(PlayerLaunch, OpenDialogThatNeverComesIsReported) {
  // A Player whose open button does nothing (this thread is busy in the launcher).
  WNDCLASSA cls = {};
  cls.lpfnWndProc = PlainProc;
  cls.hInstance = GetModuleHandleA(nullptr);
  cls.lpszClassName = "MutePlayer";
  RegisterClassA(&cls);
  HWND player = CreateWindowExA(0, "MutePlayer", "Lumoria Media Theater - mute", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                0, 0, 300, 100, nullptr, nullptr, cls.hInstance, nullptr);
  CreateWindowExA(0, "Button", "Open", WS_CHILD | WS_VISIBLE, 0, 0, 60, 20, player,
                  reinterpret_cast<HMENU>(22), cls.hInstance, nullptr);
  {
    User user("");
    OpenOutputInPlayer();
    EXPECT_EQ(user.Choosers(), 0);
    std::vector<std::string> messages = user.MessagesOnce(1);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0], "Vantrel のファイルオープンダイアログが開けません!");
  }
  DestroyWindow(player);
}

TEST_F(PlayerLaunch, PlayerWindowThatNeverComesIsReported) {
  // A program that starts and ends without any Player window.
  char system[MAX_PATH];
  GetSystemDirectoryA(system, MAX_PATH);
  StorePlayerPath(std::string(system) + "\\hostname.exe");
  User user("");
  OpenOutputInPlayer();
  EXPECT_EQ(user.Choosers(), 0);
  std::vector<std::string> messages = user.MessagesOnce(1);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Vantrel のウインドウが開けません!");
}

}  // namespace
