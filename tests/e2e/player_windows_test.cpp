// Finding the Player's windows, reading its seek knob and keeping its stop
// button, against the stand-in Player and against windows of the test itself.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/settings_table.h"
#include "player/player_windows.h"
#include "tests/e2e/driver.h"
#include "tests/player/theater_run.h"
#include "tools/player/theater.h"

using namespace player_test;
using e2e::WaitUntil;

// Test double of the display routine that TrackPlayer drives.
static int g_overlayUpdates = 0;
void UpdateOverlay() { ++g_overlayUpdates; }

namespace {

const uint64_t kMovieSize = 1000000;

class PlayerWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(AnyTheaterWindow(), nullptr) << "a Player from elsewhere is on the desktop";
    movie_ = e2e::MakeTestFolder("player_windows") + "\\movie.mpg";
    ASSERT_TRUE(MakeFile(movie_, kMovieSize));
    g_currentPlayerWindow = g_previousPlayerWindow = nullptr;
    g_overlayUpdates = 0;
  }
  void TearDown() override { g_settings.NoStop = 0; }

  std::string WithMovie(const std::string& options) { return options + " \"" + movie_ + "\""; }

  std::string movie_;
};

// One pixel of the track in knob units, plus the truncation.
int32_t PixelWorth(HWND theater) {
  HWND track = FindDescendant(theater, "hscroll", "hscroll", 0, 0);
  RECT r = {};
  GetWindowRect(track, &r);
  return 10000 / (r.right - r.left - 6) + 1;
}

int32_t Permyriad(uint64_t position) { return static_cast<int32_t>(position * 10000 / kMovieSize); }

TEST_F(PlayerWindows, KnobReadingMatchesThePlayersPosition) {
  TheaterRun theater;
  ASSERT_TRUE(theater.Start(WithMovie("--rate 0")));
  const int32_t pixel = PixelWorth(theater.Window());
  const uint64_t positions[] = {0, 1, 250000, 500000, 777777, 999999, kMovieSize};
  for (uint64_t at : positions) {
    SCOPED_TRACE("position " + std::to_string(at));
    ASSERT_TRUE(SeekTheater(theater.Window(), at));
    TheaterState state;
    ASSERT_TRUE(ReadState(theater.Window(), &state));
    ASSERT_EQ(state.position, at);
    ASSERT_EQ(state.size, kMovieSize);
    int32_t k = -1;
    ASSERT_TRUE(ReadSeekKnob(&k));
    // The knob sits on whole pixels, so it reads at most one pixel low.
    EXPECT_LE(k, Permyriad(at));
    EXPECT_GT(k, Permyriad(at) - pixel);
    if (at == 0) { EXPECT_EQ(k, 0); }
    if (at == kMovieSize) { EXPECT_EQ(k, 10000); }
  }
}

TEST_F(PlayerWindows, KnobReadingFollowsPlayback) {
  TheaterRun theater;
  ASSERT_TRUE(theater.Start(WithMovie("--rate 200000 --play")));
  const int32_t pixel = PixelWorth(theater.Window());
  int checked = 0;
  uint64_t last = 0;
  for (int tries = 0; tries < 40 && checked < 6; ++tries) {
    TheaterState before, after;
    int32_t k = -1;
    ASSERT_TRUE(ReadState(theater.Window(), &before));
    ASSERT_TRUE(ReadSeekKnob(&k));
    ASSERT_TRUE(ReadState(theater.Window(), &after));
    // Wait for the next step of playback before the next sample.
    WaitUntil([&] {
      TheaterState now;
      return ReadState(theater.Window(), &now) && now.position != after.position;
    }, 2000);
    if (after.position < before.position) continue;  // started over in between
    SCOPED_TRACE(std::to_string(before.position) + ".." + std::to_string(after.position));
    EXPECT_GE(k, Permyriad(before.position) - pixel);  // both sides truncate
    EXPECT_LE(k, Permyriad(after.position));
    if (after.position != last) ++checked;
    last = after.position;
  }
  EXPECT_GE(checked, 6) << "playback did not move";
}

TEST_F(PlayerWindows, TheHigherPlayerInZOrderIsUsed) {
  TheaterRun low, high;
  ASSERT_TRUE(low.Start(WithMovie("--rate 0")));
  ASSERT_TRUE(SeekTheater(low.Window(), 200000));
  ASSERT_TRUE(high.Start(WithMovie("--rate 0")));
  ASSERT_TRUE(SeekTheater(high.Window(), 800000));
  const int32_t pixel = PixelWorth(low.Window());
  struct Step {
    HWND raise, other;
    int32_t k;
  } steps[] = {{low.Window(), high.Window(), 2000},
               {high.Window(), low.Window(), 8000},
               {low.Window(), high.Window(), 2000}};
  for (const Step& step : steps) {
    SCOPED_TRACE(step.k);
    // Raised again while waiting: a Player just started may still be
    // activated, and so raised, by the window system after our raise, even
    // between the look and the reading; a reading counts only when the
    // order held across it.
    int32_t k = -1;
    ASSERT_TRUE(WaitUntil([&] {
      SetWindowPos(step.raise, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
      return FindPlayerWindow() == step.raise && ReadSeekKnob(&k) && FindPlayerWindow() == step.raise;
    }));
    EXPECT_EQ(FindTopWindowByTitle("Lumoria Media Theater ", nullptr, 1, 0), step.other);
    EXPECT_EQ(FindTopWindowByTitle("Lumoria Media Theater ", nullptr, 2, 0), nullptr);
    EXPECT_LE(k, step.k);
    EXPECT_GT(k, step.k - pixel);
  }
}

TEST_F(PlayerWindows, TopWindowClassMustMatchWhole) {
  TheaterRun theater;
  ASSERT_TRUE(theater.Start(WithMovie("--rate 0")));
  EXPECT_EQ(FindTopWindowByTitle("Lumoria", "theatermain", 0, 0), theater.Window());
  EXPECT_EQ(FindTopWindowByTitle("Lumoria", "Theater", 0, 0), nullptr);
  EXPECT_EQ(FindTopWindowByTitle("lumoria MEDIA", nullptr, 0, 1), theater.Window());
  ShowWindow(theater.Window(), SW_HIDE);
  ASSERT_TRUE(WaitUntil([&] { return !IsWindowVisible(theater.Window()); }));
  EXPECT_EQ(FindTopWindowByTitle("Lumoria", "TheaterMain", 0, 1), nullptr);
  EXPECT_EQ(FindPlayerWindow(), theater.Window()) << "the Player is found hidden too";
}

TEST_F(PlayerWindows, ClicksReachOnlyVisibleControls) {
  TheaterRun theater;
  ASSERT_TRUE(theater.Start(WithMovie("--rate 0")));
  HWND player = theater.Window();
  // With a file loaded the open button is hidden: not clicked.
  EXPECT_EQ(ClickDescendant(player, "button", nullptr, 22, 1, 1), 0);
  EXPECT_EQ(ClickDescendant(player, "button", nullptr, 99, 1, 1), 0);
  ASSERT_EQ(ClickDescendant(player, "button", nullptr, 18, 1, 1), 1);
  TheaterState state;
  ASSERT_TRUE(WaitUntil([&] { return ReadState(player, &state) && state.playing; }));
  EXPECT_EQ(state.plays, 1);
  EXPECT_EQ(state.presses, 1);
  ASSERT_EQ(ClickDescendant(player, nullptr, "stop", 0, 1, 1), 1);  // found by its title
  ASSERT_TRUE(WaitUntil([&] { return ReadState(player, &state) && !state.playing; }));
  EXPECT_EQ(state.presses, 2);
}

TEST_F(PlayerWindows, OpenDialogTakesTheTypedPath) {
  TheaterRun theater;
  ASSERT_TRUE(theater.Start("--rate 0"));
  EXPECT_EQ(FindPlayerOpenDialog(), nullptr);
  ASSERT_EQ(ClickDescendant(theater.Window(), nullptr, nullptr, 22, 1, 1), 1);
  HWND dialog = nullptr;
  // Found as soon as it exists; its field counts once the dialog is shown.
  ASSERT_TRUE(WaitUntil([&] { return (dialog = FindPlayerOpenDialog()) != nullptr && IsWindowVisible(dialog); }));
  EXPECT_EQ(SetDescendantEditText(dialog, 4242, movie_.c_str()), 0) << "no field with that ID";
  ASSERT_EQ(SetDescendantEditText(dialog, 0, movie_.c_str()), 1);
  ASSERT_EQ(ClickDescendant(dialog, "button", nullptr, IDOK, 1, 1), 1);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindow(dialog); }));
  EXPECT_EQ(Text(theater.Window()), "Lumoria Media Theater - movie.mpg");
}

// What the play check looks at: the lamp pixels of the title display.
TEST_F(PlayerWindows, TitleDisplayLampIsPureBlueOnlyWhilePlaying) {
  TheaterRun theater;
  ASSERT_TRUE(theater.Start(WithMovie("--rate 0")));
  HWND title = FindDescendant(theater.Window(), "Title", nullptr, 0, 0);
  ASSERT_NE(title, nullptr);
  // Read from the screen: under Wine another process's window DC has no pixels.
  auto blueRows = [&] {
    UpdateWindow(title);
    HDC screen = GetDC(nullptr);
    int rows = 0;
    for (int y = 23; y <= 29; ++y) {
      POINT p = {210, y};
      ClientToScreen(title, &p);
      rows += (GetPixel(screen, p.x, p.y) & 0xFFFF0000) == 0x00FF0000;
    }
    ReleaseDC(nullptr, screen);
    return rows;
  };
  EXPECT_EQ(blueRows(), 0);
  ASSERT_EQ(ClickDescendant(theater.Window(), "button", nullptr, 18, 1, 1), 1);
  EXPECT_TRUE(WaitUntil([&] { return blueRows() == 7; }));
  ASSERT_EQ(ClickDescendant(theater.Window(), "button", nullptr, 11, 1, 1), 1);
  EXPECT_TRUE(WaitUntil([&] { return blueRows() == 0; }));
}

TEST_F(PlayerWindows, NoStopActsWhenThePlayerIsFoundAnew) {
  g_settings.NoStop = 1;
  TheaterRun first;
  ASSERT_TRUE(first.Start(WithMovie("--rate 0")));
  HWND stop = GetDlgItem(first.Window(), 11);
  ASSERT_TRUE(IsWindowEnabled(stop));

  TrackPlayer();
  EXPECT_EQ(g_currentPlayerWindow, first.Window());
  EXPECT_EQ(g_previousPlayerWindow, nullptr);
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(stop); }));
  EXPECT_EQ(g_overlayUpdates, 1);

  // Switching NoStop off does not touch the Player already known.
  g_settings.NoStop = 0;
  TrackPlayer();
  EXPECT_EQ(g_previousPlayerWindow, first.Window());
  EXPECT_FALSE(IsWindowEnabled(stop));
  EXPECT_EQ(g_overlayUpdates, 2);

  // The Player goes: one more overlay update so it hides, then none.
  first.End();
  TrackPlayer();
  EXPECT_EQ(g_currentPlayerWindow, nullptr);
  EXPECT_EQ(g_overlayUpdates, 3);
  TrackPlayer();
  EXPECT_EQ(g_overlayUpdates, 3);

  // A restarted Player is new: NoStop (now off) leaves its button enabled...
  TheaterRun second;
  ASSERT_TRUE(second.Start(WithMovie("--rate 0")));
  TrackPlayer();
  EXPECT_EQ(g_currentPlayerWindow, second.Window());
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(second.Window(), 11)));
  second.End();
  TrackPlayer();

  // ...and with NoStop on again the next new one gets it disabled.
  g_settings.NoStop = 1;
  TheaterRun third;
  ASSERT_TRUE(third.Start(WithMovie("--rate 0")));
  TrackPlayer();
  EXPECT_TRUE(WaitUntil([&] { return !IsWindowEnabled(GetDlgItem(third.Window(), 11)); }));
  EXPECT_EQ(g_overlayUpdates, 6);
}

TEST_F(PlayerWindows, OpenDialogTakenForThePlayerLeavesTheStopButtonAlone) {
  g_settings.NoStop = 1;
  TheaterRun theater;
  ASSERT_TRUE(theater.Start("--rate 0"));
  ASSERT_EQ(ClickDescendant(theater.Window(), nullptr, nullptr, 22, 1, 1), 1);
  HWND dialog = nullptr;
  ASSERT_TRUE(WaitUntil([&] { return (dialog = FindPlayerOpenDialog()) != nullptr; }));
  // The dialog is owned by the Player, so it is above it, and its title matches too.
  ASSERT_EQ(FindPlayerWindow(), dialog);
  TrackPlayer();
  EXPECT_EQ(g_currentPlayerWindow, dialog);
  EXPECT_TRUE(IsWindowEnabled(GetDlgItem(theater.Window(), 11)));
}

// --- Windows of the test itself -------------------------------------------

LRESULT CALLBACK PlainProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }

// Edit-like fields that misbehave on WM_SETTEXT in one way each.
LRESULT CALLBACK OddEditProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m != WM_SETTEXT) return DefWindowProcA(w, m, wp, lp);
  char cls[32];
  GetClassNameA(w, cls, sizeof cls);
  std::string text = reinterpret_cast<const char*>(lp);
  if (std::string(cls) == "RefuseEdit") return FALSE;
  if (std::string(cls) == "ShortEdit") text = text.substr(0, 8);
  if (std::string(cls) == "LongEdit") text += "!";
  return DefWindowProcA(w, m, wp, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string g_notifications;

LRESULT CALLBACK RecordingProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_COMMAND) {
    g_notifications += std::to_string(LOWORD(wp)) + ":" + std::to_string(HIWORD(wp)) +
                       (lp ? "+ " : "- ");
  }
  return DefWindowProcA(w, m, wp, lp);
}

void Register(const char* name, WNDPROC proc) {
  WNDCLASSA cls = {};
  cls.lpfnWndProc = proc;
  cls.hInstance = GetModuleHandleA(nullptr);
  cls.lpszClassName = name;
  RegisterClassA(&cls);
}

// EN_SETFOCUS first; when the text was taken, EN_CHANGE and EN_KILLFOCUS last
// (the field may add its own notifications in between).
void ExpectAnnounced(const std::string& seen, const std::string& id, bool taken) {
  const std::string setFocus = id + ":256+ ", change = id + ":768+ ", killFocus = id + ":512+ ";
  EXPECT_EQ(seen.compare(0, setFocus.size(), setFocus), 0) << seen;
  if (!taken) {
    EXPECT_EQ(seen, setFocus);
    return;
  }
  EXPECT_NE(seen.find(change), std::string::npos) << seen;
  ASSERT_GE(seen.size(), killFocus.size());
  EXPECT_EQ(seen.substr(seen.size() - killFocus.size()), killFocus) << seen;
}

struct OwnWindows : public ::testing::Test {
  static void SetUpTestSuite() {
    Register("PlainTop", RecordingProc);
    for (const char* name : {"hscroll", "hknob", "TestStatic", "TestButton"}) Register(name, PlainProc);
    for (const char* name : {"RefuseEdit", "ShortEdit", "LongEdit"}) Register(name, OddEditProc);
  }
  HWND Top(const char* title) {
    HWND w = CreateWindowExA(0, "PlainTop", title, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 10, 10, 400, 200,
                             nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    created_.push_back(w);
    return w;
  }
  static HWND Child(HWND parent, const char* cls, const char* title, int id, bool visible = true,
                    int width = 100) {
    return CreateWindowExA(0, cls, title, WS_CHILD | (visible ? WS_VISIBLE : 0), 0, 0, width, 20,
                           parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleA(nullptr), nullptr);
  }
  void TearDown() override {
    for (HWND w : created_) DestroyWindow(w);
  }
  std::vector<HWND> created_;
};

TEST_F(OwnWindows, DescendantsDepthFirstInZOrder) {
  HWND top = Top("tree");
  HWND a = Child(top, "TestStatic", "One", 5);
  HWND a1 = Child(a, "Edit", "inner", 7);
  HWND b = Child(top, "TestButton", "two", 7, false);
  EXPECT_EQ(FindDescendant(top, nullptr, nullptr, 7, 0), a1) << "children before later siblings";
  EXPECT_EQ(FindDescendant(top, "BUTTON", nullptr, 7, 0), b);
  EXPECT_EQ(FindDescendant(top, "button", nullptr, 7, 1), nullptr) << "hidden";
  EXPECT_EQ(FindDescendant(top, nullptr, "ONE", 0, 0), a);
  EXPECT_EQ(FindDescendant(top, "tat", "on", 5, 1), a);
  EXPECT_EQ(FindDescendant(top, "TestStatic", nullptr, 7, 0), nullptr);
  EXPECT_EQ(FindDescendant(a1, nullptr, nullptr, 0, 0), nullptr);
}

TEST_F(OwnWindows, OpenDialogFoundByEitherTitleEnglishFirst) {
  HWND japanese = Top("ビデオファイルを開く");
  EXPECT_EQ(FindPlayerOpenDialog(), japanese);
  HWND english = Top("Lumoria Media Theater Open Video File");
  SetWindowPos(japanese, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
  EXPECT_EQ(FindPlayerOpenDialog(), english);
}

TEST_F(OwnWindows, EditTextIsSetAnnouncedAndVerified) {
  struct Case {
    const char* fieldClass;
    const char* text;
    int done;
  } cases[] = {
      {"Edit", "T:\\$Ringfeed.mpg", 1},
      {"Edit", "", 1},
      {"ShortEdit", "T:\\$Ringfeed.mpg", 0},  // truncated to 8 characters
      {"ShortEdit", "T:\\a.mpg", 1},          // fits
      {"RefuseEdit", "T:\\$Ringfeed.mpg", 0},
      {"LongEdit", "T:\\$Ringfeed.mpg", 0},   // lengthened
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.fieldClass) + " " + c.text);
    HWND dialog = Top("fields");
    Child(dialog, "Edit", "hidden", 0, false);
    HWND field = Child(dialog, c.fieldClass, "old text", 0);
    g_notifications.clear();
    EXPECT_EQ(SetDescendantEditText(dialog, 0, c.text), c.done);
    if (c.done) { EXPECT_EQ(Text(field), c.text); }
    ExpectAnnounced(g_notifications, "0", std::string(c.fieldClass) != "RefuseEdit");
  }
}

TEST_F(OwnWindows, EditFieldChosenByIdentifier) {
  HWND dialog = Top("fields");
  HWND first = Child(dialog, "Edit", "", 1150);
  HWND second = Child(dialog, "Edit", "", 1152);
  g_notifications.clear();
  ASSERT_EQ(SetDescendantEditText(dialog, 1152, "x"), 1);
  EXPECT_EQ(Text(second), "x");
  EXPECT_EQ(Text(first), "");
  ExpectAnnounced(g_notifications, "1152", true);
  EXPECT_EQ(SetDescendantEditText(Top("empty"), 0, "x"), 0);
}

TEST_F(OwnWindows, NarrowTrackGivesNoReading) {
  struct Case {
    int trackWidth;
    bool withKnob;
    bool measured;
  } cases[] = {{6, true, false}, {5, true, false}, {0, true, false}, {7, true, true},
               {200, true, true}, {200, false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE("track " + std::to_string(c.trackWidth));
    HWND player = Top("Lumoria Media Theater - own");
    ASSERT_EQ(FindPlayerWindow(), player);
    HWND track = Child(player, "hscroll", "hscroll", 0, true, c.trackWidth);
    if (c.withKnob) {
      HWND knob = Child(track, "hknob", "hknob", 0, true, 4);
      SetWindowPos(knob, nullptr, 3, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    }
    int32_t k = -1;
    EXPECT_EQ(ReadSeekKnob(&k), c.measured);
    if (c.measured) { EXPECT_EQ(k, 0); }
    DestroyWindow(player);
    created_.pop_back();
  }
  int32_t k;
  EXPECT_FALSE(ReadSeekKnob(&k)) << "no Player at all";
}

}  // namespace
