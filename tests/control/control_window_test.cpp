// The Control window worked through messages, as a user works it, inside
// the test process so that the command bits and menus can be seen.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/app.h"
#include "app/settings_table.h"
#include "app/shared_state.h"
#include "control/control_state.h"
#include "control/progress.h"
#include "resources/resource.h"
#include "tests/control/window_harness.h"

using namespace harness;

namespace {

class ControlWindow : public testing::Test {
 protected:
  void Open(const std::string& profile = "") {
    window_ = OpenControlWindow(profile);
    ASSERT_NE(window_, nullptr);
  }
  void TearDown() override {
    if (window_) {
      EXPECT_TRUE(CloseControlWindow(window_));
    }
  }
  HWND Item(int id) { return GetDlgItem(window_, id); }
  void Command(int id, int code = 0) {
    SendMessageA(window_, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(Item(id)));
  }
  void Type(int id, const char* keys) {
    SetWindowTextA(Item(id), "");
    SetFocus(Item(id));
    for (const char* p = keys; *p; ++p)
      SendMessageA(Item(id), WM_CHAR, static_cast<unsigned char>(*p), 1);
  }
  bool TrayChecked(int id) {
    return GetMenuState(g_control.trayMenu, id, MF_BYCOMMAND) & MF_CHECKED;
  }
  bool WindowMenuChecked(int id) {
    return GetMenuState(g_control.windowMenu, id, MF_BYCOMMAND) & MF_CHECKED;
  }
  std::vector<int> CheckedAmong(int first, int last) {
    std::vector<int> checked;
    for (int id = first; id <= last; ++id) {
      if (TrayChecked(id)) checked.push_back(id);
    }
    return checked;
  }
  // An input file in the test folder, set through the profile.
  std::string InputProfile() {
    std::string input = TestFolder() + "\\録画.m2p";
    EXPECT_TRUE(WriteText(input, std::string(300000, '\0')));
    return "[Input]\r\nFile=" + input + "\r\n";
  }

  HWND window_ = nullptr;
};

// A pop-up menu is open (menu windows are of class "#32768").
bool MenuOpen() {
  HWND menu = FindWindowA("#32768", nullptr);
  return menu && IsWindowVisible(menu);
}

TEST_F(ControlWindow, TypingIntoThePriorityFieldKeepsItClean) {
  Open();
  EXPECT_EQ(ItemText(window_, IDC_PRIORITY), "0");
  EXPECT_EQ(ItemText(window_, IDC_PAUSE), "0");
  struct Case {
    const char* keys;
    const char* text;
    int value;
  } cases[] = {{"1x5", "1", 1}, {"-9", "-", 0}, {"-3", "-3", -3}, {"8", "8", 8}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.keys);
    g_pendingCommands.store(0);
    Type(IDC_PRIORITY, c.keys);
    EXPECT_EQ(ItemText(window_, IDC_PRIORITY), c.text);
    EXPECT_EQ(g_settings.Priority, c.value);
    EXPECT_EQ(CheckedAmong(IDM_PRIORITY_FIRST, IDM_PRIORITY_LAST),
              std::vector<int>{IDM_PRIORITY_ZERO + c.value});
    EXPECT_TRUE(CommandPending(CMD_PRIORITY));
  }
}

TEST_F(ControlWindow, PauseFieldAndItsMenu) {
  Open();
  Type(IDC_PAUSE, "7");
  EXPECT_EQ(ItemText(window_, IDC_PAUSE), "");
  EXPECT_EQ(g_settings.Priority2, 0);
  Command(IDM_PAUSE_FIRST);  // -5
  EXPECT_EQ(ItemText(window_, IDC_PAUSE), "-5");
  EXPECT_EQ(g_settings.Priority2, -5);
  EXPECT_EQ(CheckedAmong(IDM_PAUSE_FIRST, IDM_PAUSE_LAST), std::vector<int>{IDM_PAUSE_FIRST});
  Command(40031);  // priority 8 from the tray menu
  EXPECT_EQ(ItemText(window_, IDC_PRIORITY), "8");
  EXPECT_EQ(g_settings.Priority, 8);
}

TEST_F(ControlWindow, ProfileValuesReachTheFieldsAndMenus) {
  Open(
      "[Window]\r\nPriority=-3\r\nPriority2=2\r\nTip=No\r\nProgress=No\r\n"
      "[Output]\r\nSize=30\r\nWait=No\r\nStop=20\r\n");
  EXPECT_EQ(ItemText(window_, IDC_PRIORITY), "-3");
  EXPECT_EQ(ItemText(window_, IDC_PAUSE), "2");
  EXPECT_EQ(ItemText(window_, IDC_MARGIN), "20");
  EXPECT_EQ(ItemText(window_, IDC_SIZE_COMBO), "30");
  EXPECT_EQ(CheckedAmong(IDM_SIZE_FIRST, IDM_SIZE_LAST), std::vector<int>{40048});
  EXPECT_FALSE(IsDlgButtonChecked(window_, IDC_WAIT_CHECK));
  EXPECT_FALSE(TrayChecked(IDM_WAIT));
  EXPECT_FALSE(WindowMenuChecked(IDM_TIPS));
  EXPECT_FALSE(WindowMenuChecked(IDM_PROGRESS));
  EXPECT_FALSE(TrayChecked(IDM_PROGRESS));
  EXPECT_TRUE(WindowMenuChecked(IDM_SERIAL)) << "Serial defaults to Yes";
  EXPECT_TRUE(WindowMenuChecked(IDM_HEAD)) << "Head defaults to 1";
  EXPECT_EQ(ItemText(window_, IDC_POSITION_TEXT), "0.0%");
}

TEST_F(ControlWindow, StartUpAsksForPriorityOutputAndSize) {
  Open("[Output]\r\nSize=29\r\nDrive=C:\r\n");
  EXPECT_TRUE(CommandPending(CMD_OPEN_OUTPUT));
  EXPECT_TRUE(CommandPending(CMD_SIZE)) << "the size is always taken over at start-up";
  EXPECT_FALSE(CommandPending(CMD_DRIVE)) << "the stored drive is no change";
  EXPECT_EQ(g_settings.Size, 29u);
}

TEST_F(ControlWindow, MenuTogglesFlipBothMenusAndTheSettingWhichIsSavedAtExit) {
  Open();
  struct Toggle {
    int id;
    uint32_t* setting;
    bool inTrayMenu;
  } toggles[] = {{IDM_SERIAL, &g_settings.Serial, true},     {IDM_NOSTOP, &g_settings.NoStop, true},
                 {IDM_HEAD, &g_settings.Head, true},         {IDM_CLEAR, &g_settings.Clear, true},
                 {IDM_PROGRESS, &g_settings.Progress, true}, {IDM_TOPMOST, &g_settings.Top, false},
                 {IDM_TIPS, &g_settings.Tip, false}};
  for (const Toggle& t : toggles) {
    SCOPED_TRACE(t.id);
    bool before = WindowMenuChecked(t.id);
    EXPECT_EQ(*t.setting != 0, before);
    Command(t.id);
    EXPECT_EQ(WindowMenuChecked(t.id), !before);
    if (t.inTrayMenu) {
      EXPECT_EQ(TrayChecked(t.id), !before);
    }
    EXPECT_EQ(*t.setting != 0, !before);
  }
  // (Wine without a window manager keeps no WS_EX_TOPMOST, so only the menu and setting are seen.)
  ASSERT_TRUE(CloseControlWindow(window_));
  window_ = nullptr;
  EXPECT_EQ(ProfileValue("Input", "Serial"), "No");
  EXPECT_EQ(ProfileValue("Play", "NoStop"), "Yes");
  EXPECT_EQ(ProfileValue("Output", "Head"), "0");
  EXPECT_EQ(ProfileValue("Output", "Clear"), "Yes");
  EXPECT_EQ(ProfileValue("Window", "Progress"), "No");
  EXPECT_EQ(ProfileValue("Window", "Top"), "Yes");
  EXPECT_EQ(ProfileValue("Window", "Tip"), "No");
}

TEST_F(ControlWindow, OvertakingGuardFromTheBoxAndTheMenu) {
  Open();
  EXPECT_TRUE(IsDlgButtonChecked(window_, IDC_WAIT_CHECK));
  EXPECT_TRUE(TrayChecked(IDM_WAIT));
  Command(IDM_WAIT);
  EXPECT_FALSE(IsDlgButtonChecked(window_, IDC_WAIT_CHECK));
  EXPECT_FALSE(TrayChecked(IDM_WAIT));
  EXPECT_EQ(g_settings.Wait, 0u);
  SendMessageA(Item(IDC_WAIT_CHECK), BM_CLICK, 0, 0);
  EXPECT_EQ(g_settings.Wait, 1u);
  EXPECT_TRUE(TrayChecked(IDM_WAIT));
  Type(IDC_MARGIN, "35");
  EXPECT_EQ(g_settings.Stop, 35u);
}

TEST_F(ControlWindow, StartWithoutAnInputDoesNothing) {
  Open();
  g_pendingCommands.store(0);
  SendMessageA(Item(IDC_START), BM_CLICK, 0, 0);
  EXPECT_EQ(ItemText(window_, IDC_START), "開始(&S)");
  EXPECT_EQ(g_pendingCommands.load(), 0u);
}

TEST_F(ControlWindow, StartAndStopChangeTheTextAndAskTheWorker) {
  Open(InputProfile());
  g_pendingCommands.store(0);
  SendMessageA(Item(IDC_START), BM_CLICK, 0, 0);
  EXPECT_EQ(ItemText(window_, IDC_START), "停止(&S)");
  EXPECT_EQ(g_pendingCommands.load(), static_cast<uint32_t>(CMD_START));
  g_stopped.store(0);  // as the worker does once it has started
  g_pendingCommands.store(0);
  Command(IDM_START);  // from the tray menu
  EXPECT_EQ(ItemText(window_, IDC_START), "続行(&S)");
  EXPECT_EQ(g_pendingCommands.load(), static_cast<uint32_t>(CMD_STOP));
}

TEST_F(ControlWindow, EnterActsAsTheStartButton) {
  Open(InputProfile());
  g_pendingCommands.store(0);
  SetForegroundWindow(window_);
  SetFocus(Item(IDC_PRIORITY));
  PostMessageA(Item(IDC_PRIORITY), WM_KEYDOWN, VK_RETURN, 1);
  EXPECT_TRUE(PumpUntil([] { return CommandPending(CMD_START); }, 5000));
  EXPECT_EQ(ItemText(window_, IDC_START), "停止(&S)");
}

TEST_F(ControlWindow, SizeChangesOnlyWhenDifferentAndStopped) {
  Open("[Output]\r\nSize=29\r\n");
  HWND combo = Item(IDC_SIZE_COMBO);
  g_pendingCommands.store(0);
  Command(40047);  // the same size from the tray menu
  EXPECT_EQ(g_pendingCommands.load(), 0u);
  SendMessageA(combo, CB_SETCURSEL, 3, 0);
  Command(IDC_SIZE_COMBO, CBN_SELENDOK);
  EXPECT_EQ(g_settings.Size, 31u);
  EXPECT_TRUE(CommandPending(CMD_SIZE));
  EXPECT_EQ(CheckedAmong(IDM_SIZE_FIRST, IDM_SIZE_LAST), std::vector<int>{40049});

  g_stopped.store(0);
  g_pendingCommands.store(0);
  SendMessageA(combo, CB_SETCURSEL, 0, 0);
  Command(IDC_SIZE_COMBO, CBN_SELENDOK);
  EXPECT_EQ(ItemText(window_, IDC_SIZE_COMBO), "31") << "snaps back while copying";
  EXPECT_EQ(g_settings.Size, 31u);
  EXPECT_EQ(g_pendingCommands.load(), 0u);
  g_stopped.store(1);
}

// Letters of the fixed drives, in order.
std::string FixedDrives() {
  std::string letters;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    char root[4] = {letter, ':', '\\', '\0'};
    if (GetDriveTypeA(root) == DRIVE_FIXED) letters += letter;
  }
  return letters;
}

std::vector<std::string> ComboItems(HWND combo) {
  std::vector<std::string> items;
  int count = static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) {
    char text[128] = "";
    SendMessageA(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
    items.push_back(text);
  }
  return items;
}

TEST_F(ControlWindow, FirstRunTakesTheFirstFixedDrive) {
  std::string fixed = FixedDrives();
  ASSERT_FALSE(fixed.empty());
  Open();
  EXPECT_EQ(std::string(g_settings.Drive), fixed.substr(0, 1) + ":");
  EXPECT_TRUE(CommandPending(CMD_DRIVE));
}

TEST_F(ControlWindow, DriveListHoldsTheFixedDrivesWithTheirFreeSpace) {
  std::string fixed = FixedDrives();
  ASSERT_GE(fixed.size(), 2u) << "the test needs two fixed drives";
  char current = fixed[1];
  Open(std::string("[Output]\r\nDrive=") + current + ":\r\n");
  HWND combo = Item(IDC_DRIVE);
  std::vector<std::string> items = ComboItems(combo);
  ASSERT_EQ(items.size(), fixed.size());
  for (size_t i = 0; i < items.size(); ++i) {
    SCOPED_TRACE(items[i]);
    EXPECT_EQ(items[i].substr(0, 3), std::string(1, fixed[i]) + ":\\");
    const std::string suffix = " バイト空き";
    ASSERT_GT(items[i].size(), 3 + suffix.size());
    EXPECT_EQ(items[i].substr(items[i].size() - suffix.size()), suffix);
    std::string number = items[i].substr(3, items[i].size() - 3 - suffix.size());
    EXPECT_GE(number.size(), 15u);
    EXPECT_NE(number.back(), ' ');
  }
  EXPECT_EQ(ItemText(window_, IDC_DRIVE).substr(0, 2), std::string(1, current) + ":");

  // The drive sub-menu of the tray menu: one item per drive, the current one checked.
  ASSERT_NE(g_control.driveMenu, nullptr);
  ASSERT_EQ(GetMenuItemCount(g_control.driveMenu), static_cast<int>(fixed.size()));
  for (size_t i = 0; i < fixed.size(); ++i) {
    int id = GetMenuItemID(g_control.driveMenu, static_cast<int>(i));
    EXPECT_EQ(id, IDM_DRIVE_FIRST + (fixed[i] - 'A'));
    EXPECT_EQ((GetMenuState(g_control.driveMenu, id, MF_BYCOMMAND) & MF_CHECKED) != 0,
              fixed[i] == current);
  }

  // A drop-down refreshes the list, keeps the choice and widens the box over the size choice.
  RECT before;
  GetWindowRect(combo, &before);
  Command(IDC_DRIVE, CBN_DROPDOWN);
  EXPECT_EQ(ItemText(window_, IDC_DRIVE).substr(0, 2), std::string(1, current) + ":");
  RECT wide;
  GetWindowRect(combo, &wide);
  EXPECT_EQ(wide.right - wide.left, (before.right - before.left) * 4);
  EXPECT_FALSE(IsWindowVisible(Item(IDC_SIZE_COMBO)));
  Command(IDC_DRIVE, CBN_CLOSEUP);
  RECT after;
  GetWindowRect(combo, &after);
  EXPECT_EQ(after.right - after.left, before.right - before.left);
  EXPECT_TRUE(IsWindowVisible(Item(IDC_SIZE_COMBO)));
}

TEST_F(ControlWindow, DriveChangeIsTakenWhenStoppedAndRefusedWhileCopying) {
  std::string fixed = FixedDrives();
  ASSERT_GE(fixed.size(), 2u);
  Open(std::string("[Output]\r\nDrive=") + fixed[0] + ":\r\n");
  g_pendingCommands.store(0);
  Command(IDM_DRIVE_FIRST + (fixed[1] - 'A'));
  EXPECT_EQ(std::string(g_settings.Drive), std::string(1, fixed[1]) + ":");
  EXPECT_TRUE(CommandPending(CMD_DRIVE));

  g_stopped.store(0);
  g_pendingCommands.store(0);
  SendMessageA(Item(IDC_DRIVE), CB_SETCURSEL, 0, 0);
  Command(IDC_DRIVE, CBN_SELENDOK);
  EXPECT_EQ(ItemText(window_, IDC_DRIVE).substr(0, 2), std::string(1, fixed[1]) + ":");
  EXPECT_EQ(std::string(g_settings.Drive), std::string(1, fixed[1]) + ":");
  EXPECT_EQ(g_pendingCommands.load(), 0u);
  g_stopped.store(1);
}

TEST_F(ControlWindow, MinimiseHidesIntoTheTrayAndAClickBringsItBack) {
  Open(InputProfile());
  SendMessageA(window_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  EXPECT_TRUE(PumpUntil([&] { return !IsWindowVisible(window_); }, 5000));
  EXPECT_EQ(g_settings.Minimized, 1u);
  SendMessageA(window_, WM_TRAY_NOTIFY, 0, WM_LBUTTONUP);
  EXPECT_TRUE(IsWindowVisible(window_));
  EXPECT_FALSE(IsIconic(window_));
  EXPECT_EQ(g_settings.Minimized, 0u);
}

TEST_F(ControlWindow, TrayMenuShowsTheStartStopText) {
  Open(InputProfile());
  SendMessageA(Item(IDC_START), BM_CLICK, 0, 0);
  std::string shown;
  UINT playState = 0;
  bool ran = DuringModalLoop([&] { SendMessageA(window_, WM_TRAY_NOTIFY, 0, WM_RBUTTONUP); },
                             [&] {
                               char text[32] = "";
                               GetMenuStringA(g_control.trayMenu, IDM_START, text, sizeof text,
                                              MF_BYCOMMAND);
                               shown = text;
                               playState = GetMenuState(g_control.trayMenu, IDM_PLAY, MF_BYCOMMAND);
                               EndMenu();
                             },
                             MenuOpen);
  EXPECT_TRUE(ran);
  EXPECT_EQ(shown, "停止(&S)");
  EXPECT_TRUE(playState & MF_GRAYED) << "play is greyed like its disabled button";
}

TEST_F(ControlWindow, AboutBoxShowsTheVersion) {
  Open();
  std::string version;
  bool ran = DuringModalLoop([&] { Command(IDM_ABOUT); },
                             [&] {
                               HWND about = GetLastActivePopup(window_);
                               if (about == window_) about = FindWindowA(nullptr, "バージョン情報");
                               version = ItemText(about, IDC_ABOUT_VERSION);
                               SendMessageA(about, WM_COMMAND, IDOK, 0);
                             },
                             [&] {
                               HWND about = FindWindowA(nullptr, "バージョン情報");
                               return GetLastActivePopup(window_) != window_ || (about && IsWindowVisible(about));
                             });
  EXPECT_TRUE(ran);
  EXPECT_EQ(version, "Ringfeed Ver 2.01");
}

TEST_F(ControlWindow, ThePathFieldPassesTheFocusOn) {
  Open();
  SetForegroundWindow(window_);
  SetFocus(Item(IDC_PRIORITY));
  EXPECT_EQ(g_control.lastFocus, IDC_PRIORITY);
  SetFocus(Item(IDC_INPUT_PATH));
  EXPECT_TRUE(PumpUntil([&] { return GetFocus() == Item(IDC_BROWSE); }, 3000));
  EXPECT_EQ(g_control.lastFocus, IDC_BROWSE);
  SetFocus(Item(IDC_INPUT_PATH));
  EXPECT_TRUE(PumpUntil([&] { return GetFocus() == Item(IDC_POSITION_BAR); }, 3000))
      << "after the browse button, on to the position bar";
}

TEST_F(ControlWindow, BrowseTakesTheChosenFileAsTheNewInput) {
  Open();
  std::string input = TestFolder() + "\\選んだ.m2p";
  ASSERT_TRUE(WriteText(input, "x"));
  g_pendingCommands.store(0);
  std::string title;
  bool ran = DuringModalLoop([&] { SendMessageA(Item(IDC_BROWSE), BM_CLICK, 0, 0); },
                             [&] {
                               HWND dialog = GetLastActivePopup(window_);
                               title = Text(dialog);
                               // The explorer dialog's file-name box is combo 1148, or edit 1152.
                               HWND name = GetDlgItem(dialog, 1148);
                               if (!name) name = GetDlgItem(dialog, 1152);
                               SetWindowTextA(name, input.c_str());
                               PostMessageA(dialog, WM_COMMAND, IDOK, 0);
                             },
                             [&] {
                               HWND dialog = GetLastActivePopup(window_);
                               return dialog != window_ && IsWindowVisible(dialog) &&
                                      (GetDlgItem(dialog, 1148) || GetDlgItem(dialog, 1152));
                             });
  EXPECT_TRUE(ran);
  EXPECT_EQ(title, "Ringfeed / ビデオファイル選択");
  EXPECT_EQ(std::string(g_settings.File), input);
  EXPECT_EQ(ItemText(window_, IDC_INPUT_PATH), input);
  // The Input dialog's "開始(&S)" box starts checked.
  EXPECT_EQ(g_pendingCommands.load(), static_cast<uint32_t>(CMD_NEW_INPUT | CMD_START_AFTER_INPUT));
}

TEST_F(ControlWindow, PositionBarMovesTheInputOffsetOnlyWhileStopped) {
  Open(InputProfile());
  ASSERT_EQ(g_inputSize.load(), 300000u);
  SendMessageA(window_, WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 500),
               reinterpret_cast<LPARAM>(Item(IDC_POSITION_BAR)));
  EXPECT_EQ(g_inputOffset.load(), 131072u);  // 150,000 down to 32 KiB
  EXPECT_EQ(ItemText(window_, IDC_POSITION_TEXT), " 43.7%");
  EXPECT_EQ(GetScrollPos(Item(IDC_POSITION_BAR), SB_CTL), 437);
  SendMessageA(window_, WM_HSCROLL, SB_PAGERIGHT, reinterpret_cast<LPARAM>(Item(IDC_POSITION_BAR)));
  EXPECT_EQ(g_inputOffset.load(), 131072u) << "442 permille rounds down to the same 32 KiB";
  SendMessageA(window_, WM_HSCROLL, SB_RIGHT, reinterpret_cast<LPARAM>(Item(IDC_POSITION_BAR)));
  EXPECT_EQ(g_inputOffset.load(), 294912u);
  Command(IDC_POSITION_TEXT, STN_CLICKED);
  EXPECT_EQ(ItemText(window_, IDC_POSITION_TEXT), " 0.00GB");
  Command(IDC_POSITION_TEXT, STN_CLICKED);

  g_stopped.store(0);
  SendMessageA(window_, WM_HSCROLL, SB_LEFT, reinterpret_cast<LPARAM>(Item(IDC_POSITION_BAR)));
  EXPECT_EQ(g_inputOffset.load(), 294912u) << "no move while copying";
  g_stopped.store(1);
}

// The stored write position belongs to the ring it was written in. Here the
// profile's ring is 2^31 bytes with a write position far past the end of the
// 2^28-byte ring that is really on the drive: the worker's check of that ring
// must see the stored position and drop it, so that the bar does not stand
// full and the copy does not resume past the ring's end.
TEST_F(ControlWindow, StoredWritePositionOfARingOfAnotherSizeIsDropped) {
  const char ring[] = "T:\\$Ringfeed.mpg";
  HANDLE file = CreateFileA(ring, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  LARGE_INTEGER length;
  length.QuadPart = (1ll << 28) - 1;
  bool sized = SetFilePointerEx(file, length, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  CloseHandle(file);
  ASSERT_TRUE(sized);
  Open(InputProfile() + "[Output]\r\nDrive=T:\r\nSize=31\r\nOffset=1500000000\r\n");
  ResumeThread(g_workerThread);
  const uint64_t end = (1ull << 28) - 524288;
  bool checked = PumpUntil([&] { return g_pendingCommands.load() == 0 && g_ringEnd.load() == end; });
  RECT filled;
  GetWindowRect(Item(IDC_PROGRESS_FILLED), &filled);
  EXPECT_TRUE(checked) << "the worker took the ring's own size; pending " << g_pendingCommands.load()
                       << ", ring end " << g_ringEnd.load() << ", drive " << g_settings.Drive;
  EXPECT_EQ(g_settings.Size, 28u);
  EXPECT_EQ(g_outputOffset.load(), 0u);
  EXPECT_EQ(filled.right - filled.left, 0) << "an empty bar for a ring not yet written";
  EXPECT_TRUE(CloseControlWindow(window_));
  window_ = nullptr;
  DeleteFileA(ring);
}

TEST_F(ControlWindow, ProgressBarFillsWithTheRingAndTakesTheStateColour) {
  Open();
  g_ringFileLength.store((1ull << 28) - 1);
  g_ringEnd.store((1ull << 28) - 524288);
  RECT frame, filled, empty;
  GetWindowRect(Item(IDC_PROGRESS_FRAME), &frame);
  UpdateProgressBar(g_ringEnd.load() / 2);
  GetWindowRect(Item(IDC_PROGRESS_FILLED), &filled);
  GetWindowRect(Item(IDC_PROGRESS_EMPTY), &empty);
  int inner = frame.right - frame.left - 2;
  EXPECT_EQ(filled.left, frame.left + 1);
  EXPECT_EQ(filled.top, frame.top + 1);
  EXPECT_EQ(filled.right - filled.left, inner / 2);
  EXPECT_EQ(empty.left, filled.right);
  EXPECT_EQ(empty.right, frame.right - 1);
  EXPECT_EQ(empty.bottom, frame.bottom - 1);

  HDC dc = GetDC(window_);
  struct Case {
    int state;
    HBRUSH brush;
  } cases[] = {{BAR_STOPPED, g_control.progressBar},
               {BAR_WORKING, g_control.working},
               {BAR_WAITING, g_control.waiting},
               {BAR_FILE_END, g_control.fileEnd}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.state);
    g_barState.store(c.state);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(
                  SendMessageA(window_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                               reinterpret_cast<LPARAM>(Item(IDC_PROGRESS_FILLED)))),
              c.brush);
    EXPECT_EQ(reinterpret_cast<HBRUSH>(SendMessageA(
                  g_control.overlay, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                  reinterpret_cast<LPARAM>(GetDlgItem(g_control.overlay, IDC_PROGRESS_FILLED)))),
              c.brush);
  }
  EXPECT_EQ(reinterpret_cast<HBRUSH>(
                SendMessageA(window_, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                             reinterpret_cast<LPARAM>(Item(IDC_PROGRESS_EMPTY)))),
            g_control.progressArea);
  EXPECT_EQ(reinterpret_cast<HBRUSH>(SendMessageA(
                g_control.overlay, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc),
                reinterpret_cast<LPARAM>(GetDlgItem(g_control.overlay, IDC_PROGRESS_EMPTY)))),
            GetStockObject(BLACK_BRUSH));
  ReleaseDC(window_, dc);
  g_barState.store(BAR_STOPPED);
}

}  // namespace

namespace {

struct TipSearch {
  HWND owner, found;
};

BOOL CALLBACK MatchTip(HWND window, LPARAM context) {
  TipSearch* search = reinterpret_cast<TipSearch*>(context);
  char className[16] = "";
  GetClassNameA(window, className, sizeof className);
  if (lstrcmpiA(className, "Edit") == 0 && GetWindow(window, GW_OWNER) == search->owner &&
      IsWindowVisible(window)) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// The program's own tip window: a visible pop-up edit owned by the window.
HWND VisibleTip(HWND owner) {
  TipSearch search = {owner, nullptr};
  EnumThreadWindows(GetCurrentThreadId(), MatchTip, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

void PointAt(HWND control) {
  RECT r;
  GetWindowRect(control, &r);
  SetCursorPos((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

void PointAway() {
  SetCursorPos(GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) - 5);
}

std::string ScreenshotFolder() {
  char folder[MAX_PATH] = "";
  GetEnvironmentVariableA("RINGFEED_SCREENSHOTS", folder, sizeof folder);
  return folder;
}

TEST_F(ControlWindow, TooltipShowsItsTextAndFollowsTheTipSetting) {
  Open();
  SetForegroundWindow(window_);
  PointAt(Item(IDC_BROWSE));
  HWND tip = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (tip = VisibleTip(window_)) != nullptr; }, 8000))
      << "no tip appeared";
  EXPECT_EQ(Text(tip),
            "  入力ファイルを指定するダイアログを開きます。\r\n  "
            "出力ファイルの先頭からコピーしたい場合は、入力ファイルを選択\r\nするダイアログの出力フ"
            "ァイルの先頭から書き込むにチェックをします。");
  RECT place, desktop;
  GetWindowRect(tip, &place);
  GetWindowRect(GetDesktopWindow(), &desktop);
  EXPECT_LE(place.right, desktop.right);
  EXPECT_LE(place.bottom, desktop.bottom);
  POINT cursor;
  GetCursorPos(&cursor);
  EXPECT_FALSE(PtInRect(&place, cursor)) << "the tip keeps off the cursor";
  if (!ScreenshotFolder().empty()) SaveScreen(ScreenshotFolder() + "\\tooltip.bmp");

  PointAway();
  EXPECT_TRUE(PumpUntil([&] { return VisibleTip(window_) == nullptr; }, 8000));
  Command(IDM_TIPS);
  EXPECT_EQ(g_settings.Tip, 0u);
  PointAt(Item(IDC_BROWSE));
  // A tip is due within half a second of hovering; three seconds without one
  // means the tooltips are off.
  EXPECT_FALSE(PumpUntil([&] { return VisibleTip(window_) != nullptr; }, 3000));
  PointAway();
  PumpUntil([] { return false; }, 200);
  Command(IDM_TIPS);
  PointAt(Item(IDC_BROWSE));
  EXPECT_TRUE(PumpUntil([&] { return VisibleTip(window_) != nullptr; }, 8000))
      << "back on without restart";
  PointAway();
}

// Statics that do not notify are transparent to the mouse: their tools
// would never see it come.
TEST_F(ControlWindow, TheOutputSizeAndTheProgressFrameShowTheirTips) {
  Open();
  SetForegroundWindow(window_);
  const struct {
    int id;
    const char* text;
  } statics[] = {
      {IDC_OUTPUT_SIZE, "  実際に作成される出力ファイルのサイズです。"},
      {IDC_PROGRESS_FRAME, "  出力ファイルに対し実際にどこまでデータが\r\n書き込まれたかが表示されます。"}};
  for (const auto& s : statics) {
    SCOPED_TRACE(s.id);
    PointAt(Item(s.id));
    HWND tip = nullptr;
    EXPECT_TRUE(PumpUntil([&] { return (tip = VisibleTip(window_)) != nullptr; }, 8000)) << "no tip appeared";
    if (tip) {
      EXPECT_EQ(Text(tip), s.text);
    }
    PointAway();
    PumpUntil([&] { return VisibleTip(window_) == nullptr; }, 8000);
  }
}

TEST_F(ControlWindow, TooltipAtTheRightScreenEdgeStaysInside) {
  Open();
  RECT frame, desktop;
  GetWindowRect(window_, &frame);
  GetWindowRect(GetDesktopWindow(), &desktop);
  SetWindowPos(window_, nullptr, desktop.right - (frame.right - frame.left), 100, 0, 0,
               SWP_NOSIZE | SWP_NOZORDER);
  SetForegroundWindow(window_);
  RECT field;
  GetWindowRect(Item(IDC_INPUT_PATH), &field);
  SetCursorPos(field.right - 10, (field.top + field.bottom) / 2);
  HWND tip = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (tip = VisibleTip(window_)) != nullptr; }, 8000));
  RECT place;
  GetWindowRect(tip, &place);
  // The text area is the window less 4 pixels: the text ends 4 pixels inside the edge.
  EXPECT_EQ(place.right, desktop.right);
  PointAway();
}

TEST_F(ControlWindow, RightClickOpensTheWindowMenu) {
  Open(InputProfile());
  SetForegroundWindow(window_);
  RECT frame;
  GetWindowRect(window_, &frame);
  SetCursorPos(frame.left + 120, frame.top + 60);
  bool visible = false;
  bool ran = DuringModalLoop(
      [&] { SendMessageA(window_, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(100, 30)); },
      [&] {
        visible = MenuOpen();
        if (!ScreenshotFolder().empty()) SaveScreen(ScreenshotFolder() + "\\menu.bmp");
        EndMenu();
      },
      MenuOpen);
  EXPECT_TRUE(ran);
  EXPECT_TRUE(visible) << "the pop-up menu window was open";
}

}  // namespace
