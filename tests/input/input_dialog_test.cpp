// The Input dialog in the test process: the dialog runs modally on the test
// thread, as the Control window runs it, while a driver thread works it by
// messages and reads what a user would see. Streams are made at test time on
// the folder that wine-run maps as T:.
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "app/app.h"
#include "app/settings_table.h"
#include "app/shared_state.h"
#include "control/control_state.h"
#include "copy/preview_link.h"
#include "input/input_dialog.h"
#include "input/preview_panel.h"
#include "mpeg/session.h"
#include "resources/resource.h"
#include "tests/control/window_harness.h"
#include "tests/e2e/driver.h"

namespace {

const char kTitle[] = "Ringfeed / ビデオファイル選択";
const char kFolder[] = "T:\\input";
const char kProgramStream[] = "T:\\input\\av.mpg";
const char kElementaryStream[] = "T:\\input\\video.m2v";
const char kTextFile[] = "T:\\input\\notes.txt";

const Settings kPristine = g_settings;

// Polls a condition from the driver thread; bounded.
bool WaitFor(const std::function<bool()>& done, DWORD timeoutMs = 10000) {
  DWORD start = GetTickCount();
  while (!done()) {
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(20);
  }
  return true;
}

HWND FindById(HWND parent, int id) {
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (GetDlgCtrlID(c) == id) return c;
    HWND below = FindById(c, id);
    if (below) return below;
  }
  return nullptr;
}

// A picture on the screen inside `r`: most sample points are neither the
// dialog background nor a frame (read from the screen, as the user sees it).
bool ScreenShowsPicture(const RECT& r) {
  HDC screen = GetDC(nullptr);
  COLORREF background = GetSysColor(COLOR_BTNFACE);
  int picture = 0;
  for (int i = 1; i < 8; ++i) {
    for (int j = 1; j < 8; ++j) {
      COLORREF c = GetPixel(screen, r.left + (r.right - r.left) * i / 8, r.top + (r.bottom - r.top) * j / 8);
      if (c != CLR_INVALID && c != background) ++picture;
    }
  }
  ReleaseDC(nullptr, screen);
  return picture > 24;
}

struct Dialog {
  HWND frame;
  HWND child;  // the hook's dialog from template 102
  std::string Item(int id) const { return harness::ItemText(child, id); }
  bool Enabled(int id) const { return IsWindowEnabled(GetDlgItem(child, id)) != 0; }
  // Types a name into the frame's file-name edit, as the user would.
  void Select(const char* path) const { SendMessageA(FindById(frame, 1152), WM_SETTEXT, 0, LPARAM(path)); }
  void Cancel() const { PostMessageA(frame, WM_COMMAND, IDCANCEL, 0); }
  void Ok() const { PostMessageA(frame, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(FindById(frame, IDOK))); }
  bool PanelShowsPicture() const {
    RECT r;
    GetWindowRect(GetDlgItem(child, IDC_IN_FRAME), &r);
    return ScreenShowsPicture(r);
  }
  std::string FolderPath() const {
    char folder[MAX_PATH] = "";
    SendMessageA(frame, CDM_GETFOLDERPATH, sizeof folder, LPARAM(folder));
    return folder;
  }
};

class InputDialogTest : public testing::Test {
 protected:
  void SetUp() override {
    g_settings = kPristine;
    g_instance = GetModuleHandleA(nullptr);
    g_osVersion.dwOSVersionInfoSize = sizeof g_osVersion;
    GetVersionExA(&g_osVersion);
    g_pendingCommands.store(0);
    g_stopped.store(1);
    g_writeFromHead.store(0);
    g_keepPreviousTail.store(0);
    g_startPermille.store(-1);
    g_audioDelay.store(0);
    DeleteFileA(harness::ProfilePath().c_str());
    strcpy(g_settings.Folder, kFolder);
  }

  // Runs the dialog through the Browse command with `drive` on a second
  // thread; the driver must end the dialog. False when it never appeared.
  bool Run(const std::function<void(const Dialog&)>& drive) {
    std::atomic<bool> found{false};
    e2e::Thread driver;
    driver.Start([&] {
      Dialog d = {nullptr, nullptr};
      if (!WaitFor([&] { return (d.frame = FindWindowA(nullptr, kTitle)) && IsWindowVisible(d.frame); })) return;
      if (!WaitFor([&] { return (d.child = GetParent(FindById(d.frame, IDC_IN_VIDEO))) != nullptr; })) {
        PostMessageA(d.frame, WM_COMMAND, IDCANCEL, 0);
        return;
      }
      found = true;
      drive(d);
    });
    OnBrowse(nullptr);
    driver.Join();
    return found;
  }
};

// The stream texts once a selection has been previewed.
bool PreviewShows(const char* path) {
  return WaitFor([&] { return preview_is_open() && strcmp(g_previewPath, path) == 0; });
}

TEST_F(InputDialogTest, ProgramStreamShowsVideoAndAudioParameters) {
  std::string video, audio, percent;
  bool previewed = false, deleteEnabled = false, barEnabled = false, picture = false;
  ASSERT_TRUE(Run([&](const Dialog& d) {
    d.Select("av.mpg");
    previewed = PreviewShows(kProgramStream) && WaitFor([&] { return !d.Item(IDC_IN_VIDEO).empty(); });
    picture = WaitFor([&] { return d.PanelShowsPicture(); });
    video = d.Item(IDC_IN_VIDEO);
    audio = d.Item(IDC_IN_AUDIO);
    percent = d.Item(IDC_IN_PERCENT);
    deleteEnabled = d.Enabled(IDC_IN_DELETE);
    barEnabled = d.Enabled(IDC_IN_BAR);
    const char* shots = getenv("RINGFEED_SCREENSHOTS");
    if (shots) {
      Sleep(300);  // let the frame finish painting before the screen is read
      harness::SaveScreen(std::string(shots) + "\\input-dialog.bmp");
    }
    d.Cancel();
  }));
  EXPECT_TRUE(previewed);
  EXPECT_TRUE(picture);
  EXPECT_EQ(video, " 8.00Mbps 29.97fps\n720 x 480 pixel");
  EXPECT_EQ(audio, "Layer2 stereo\n224Kbps 48.0KHz");
  EXPECT_EQ(percent, "0.0%");
  EXPECT_TRUE(deleteEnabled);
  EXPECT_TRUE(barEnabled);
  EXPECT_FALSE(preview_is_open());  // the dialog closes its session
}

TEST_F(InputDialogTest, ElementaryStreamShowsNoAudioText) {
  std::string video, audio;
  ASSERT_TRUE(Run([&](const Dialog& d) {
    d.Select("video.m2v");
    PreviewShows(kElementaryStream);
    WaitFor([&] { return !d.Item(IDC_IN_VIDEO).empty(); });
    video = d.Item(IDC_IN_VIDEO);
    audio = d.Item(IDC_IN_AUDIO);
    d.Cancel();
  }));
  EXPECT_EQ(video.substr(video.find('\n')), "\n352 x 240 pixel");
  EXPECT_EQ(audio, "");
}

TEST_F(InputDialogTest, TextFileLeavesThePanelBlankAndDeleteDisabled) {
  std::string video, audio;
  bool shownFirst = false, deleteEnabled = true, triedText = false, blank = false;
  ASSERT_TRUE(Run([&](const Dialog& d) {
    d.Select("av.mpg");
    shownFirst = PreviewShows(kProgramStream) && WaitFor([&] { return d.Enabled(IDC_IN_DELETE); }) &&
                 WaitFor([&] { return d.PanelShowsPicture(); });
    d.Select("notes.txt");
    triedText = WaitFor([&] { return strcmp(g_previewPath, kTextFile) == 0; }) &&
                WaitFor([&] { return !d.Enabled(IDC_IN_DELETE); });
    blank = WaitFor([&] { return !d.PanelShowsPicture(); });
    video = d.Item(IDC_IN_VIDEO);
    audio = d.Item(IDC_IN_AUDIO);
    deleteEnabled = d.Enabled(IDC_IN_DELETE);
    d.Cancel();
  }));
  EXPECT_TRUE(shownFirst);
  EXPECT_TRUE(triedText);
  EXPECT_TRUE(blank);
  EXPECT_EQ(video, "");
  EXPECT_EQ(audio, "");
  EXPECT_FALSE(deleteEnabled);
}

TEST_F(InputDialogTest, HidingThePreviewBlanksTextsBarAndDelete) {
  bool shown = false, blanked = false, back = false;
  ASSERT_TRUE(Run([&](const Dialog& d) {
    d.Select("av.mpg");
    shown = PreviewShows(kProgramStream);
    HWND show = GetDlgItem(d.child, IDC_IN_SHOW);
    SendMessageA(show, BM_CLICK, 0, 0);
    blanked = WaitFor([&] {
      return d.Item(IDC_IN_VIDEO).empty() && !d.Enabled(IDC_IN_BAR) && !d.Enabled(IDC_IN_DELETE) &&
             !preview_is_open();
    });
    if (!blanked)
      printf("video '%s' bar %d delete %d open %d\n", d.Item(IDC_IN_VIDEO).c_str(), d.Enabled(IDC_IN_BAR),
             d.Enabled(IDC_IN_DELETE), preview_is_open());
    SendMessageA(show, BM_CLICK, 0, 0);
    back = WaitFor([&] { return !d.Item(IDC_IN_VIDEO).empty() && d.Enabled(IDC_IN_DELETE); });
    d.Cancel();
  }));
  EXPECT_TRUE(shown);
  EXPECT_TRUE(blanked);
  EXPECT_TRUE(back);
}

TEST_F(InputDialogTest, BarAtTheEndShowsHundredPercentAndAFrameNearTheEnd) {
  std::string percent;
  bool picture = false;
  ASSERT_TRUE(Run([&](const Dialog& d) {
    d.Select("av.mpg");
    PreviewShows(kProgramStream);
    WaitFor([&] { return d.PanelShowsPicture(); });
    SendMessageA(d.child, WM_HSCROLL, SB_RIGHT, LPARAM(GetDlgItem(d.child, IDC_IN_BAR)));
    percent = d.Item(IDC_IN_PERCENT);
    // No GOP begins in the last thousandth of the file: the last one shows.
    picture = WaitFor([&] { return d.PanelShowsPicture(); });
    d.Cancel();
  }));
  EXPECT_EQ(percent, "100.0%");
  EXPECT_TRUE(picture);
}

TEST_F(InputDialogTest, AudioDelayStopsAtNinetyNineTenths) {
  std::string up, unitUp, down, unitDown, zeroUnit;
  ASSERT_TRUE(Run([&](const Dialog& d) {
    zeroUnit = d.Item(IDC_IN_DELAY_UNIT);
    HWND spin = GetDlgItem(d.child, IDC_IN_DELAY_SPIN);
    auto step = [&](int delta) {
      NMUPDOWN change = {};
      change.hdr.hwndFrom = spin;
      change.hdr.idFrom = IDC_IN_DELAY_SPIN;
      change.hdr.code = UDN_DELTAPOS;
      change.iDelta = delta;
      SendMessageA(d.child, WM_NOTIFY, IDC_IN_DELAY_SPIN, LPARAM(&change));
    };
    for (int i = 0; i < 120; ++i) step(1);
    up = d.Item(IDC_IN_DELAY);
    unitUp = d.Item(IDC_IN_DELAY_UNIT);
    for (int i = 0; i < 250; ++i) step(-1);
    down = d.Item(IDC_IN_DELAY);
    unitDown = d.Item(IDC_IN_DELAY_UNIT);
    d.Cancel();
  }));
  EXPECT_EQ(zeroUnit, "秒");
  EXPECT_EQ(up, "9.9");
  EXPECT_EQ(unitUp, "秒遅らせる");
  EXPECT_EQ(down, "9.9");
  EXPECT_EQ(unitDown, "秒進める");
  EXPECT_EQ(g_audioDelay.load(), -99);
}

TEST_F(InputDialogTest, CancelKeepsTheInputButStoresOptionsAndSize) {
  strcpy(g_settings.File, kElementaryStream);
  RECT grown = {};
  bool startChecked = false;
  ASSERT_TRUE(Run([&](const Dialog& d) {
    startChecked = IsDlgButtonChecked(d.child, IDC_IN_START) == BST_CHECKED;
    SendMessageA(GetDlgItem(d.child, IDC_IN_FROM_HEAD), BM_CLICK, 0, 0);
    RECT r;
    GetWindowRect(d.frame, &r);
    SetWindowPos(d.frame, nullptr, 0, 0, r.right - r.left + 60, r.bottom - r.top + 40, SWP_NOMOVE | SWP_NOZORDER);
    GetWindowRect(d.frame, &grown);
    d.Cancel();
  }));
  EXPECT_TRUE(startChecked);
  EXPECT_STREQ(g_settings.File, kElementaryStream);
  // Nothing for the worker: a start-after-input bit would outlive its input.
  EXPECT_EQ(g_pendingCommands.load(), 0u);
  EXPECT_EQ(g_writeFromHead.load(), 1);
  EXPECT_EQ(g_keepPreviousTail.load(), 0);
  EXPECT_EQ(harness::ProfileValue("Window", "OpenW"), std::to_string(grown.right - grown.left));
  EXPECT_EQ(harness::ProfileValue("Window", "OpenH"), std::to_string(grown.bottom - grown.top));
  EXPECT_NE(harness::ProfileValue("Window", "Ofn"), "<absent>");

  // The next dialog opens at the stored size.
  RECT reopened = {};
  ASSERT_TRUE(Run([&](const Dialog& d) {
    GetWindowRect(d.frame, &reopened);
    d.Cancel();
  }));
  EXPECT_EQ(reopened.right - reopened.left, grown.right - grown.left);
  EXPECT_EQ(reopened.bottom - reopened.top, grown.bottom - grown.top);
}

TEST_F(InputDialogTest, OkRecordsTheFolderWithItsFilter) {
  strcpy(g_settings.FolderList, "");
  int combo = -1;
  ASSERT_TRUE(Run([&](const Dialog& d) {
    combo = int(SendDlgItemMessageA(d.child, IDC_IN_FOLDERS, CB_GETCOUNT, 0, 0));
    HWND types = FindById(d.frame, 1136);
    SendMessageA(types, CB_SETCURSEL, 4, 0);
    SendMessageA(d.frame, WM_COMMAND, MAKEWPARAM(1136, CBN_SELCHANGE), LPARAM(types));
    d.Select("av.mpg");
    PreviewShows(kProgramStream);
    d.Ok();
  }));
  EXPECT_EQ(combo, 0);
  EXPECT_STREQ(g_settings.File, kProgramStream);
  EXPECT_TRUE(CommandPending(CMD_NEW_INPUT));
  EXPECT_STREQ(g_settings.FolderList, "4T:\\input");
  EXPECT_EQ(g_startPermille.load(), 0);

  // Again with a second, vanished folder in the list: it stays listed but
  // is not preselected when first, and keeps its digit.
  strcpy(g_settings.FolderList, "2T:\\gone|3T:\\input");
  int count = -1, selected = -2;
  ASSERT_TRUE(Run([&](const Dialog& d) {
    count = int(SendDlgItemMessageA(d.child, IDC_IN_FOLDERS, CB_GETCOUNT, 0, 0));
    selected = int(SendDlgItemMessageA(d.child, IDC_IN_FOLDERS, CB_GETCURSEL, 0, 0));
    d.Select("video.m2v");
    PreviewShows(kElementaryStream);
    d.Ok();
  }));
  EXPECT_EQ(count, 2);
  EXPECT_EQ(selected, -1);
  EXPECT_STREQ(g_settings.File, kElementaryStream);
  EXPECT_STREQ(g_settings.FolderList, "2T:\\input|2T:\\gone");
}

TEST_F(InputDialogTest, ChoosingARecentFolderGoesThere) {
  CreateDirectoryA("T:\\input\\sub", nullptr);
  strcpy(g_settings.FolderList, "1T:\\input|5T:\\input\\sub");
  std::string folder;
  int pending = -2;
  ASSERT_TRUE(Run([&](const Dialog& d) {
    HWND combo = GetDlgItem(d.child, IDC_IN_FOLDERS);
    SendMessageA(combo, CB_SETCURSEL, 1, 0);
    SendMessageA(d.child, WM_COMMAND, MAKEWPARAM(IDC_IN_FOLDERS, CBN_SELENDOK), LPARAM(combo));
    WaitFor([&] { return d.FolderPath() == "T:\\input\\sub"; });
    folder = d.FolderPath();
    pending = g_inputDialog.pendingFilter;
    d.Cancel();
  }));
  EXPECT_EQ(folder, "T:\\input\\sub");
  EXPECT_EQ(pending, 5);
}

TEST_F(InputDialogTest, TheFileBeingCopiedOpensAtTheCopyPosition) {
  strcpy(g_settings.File, kProgramStream);
  g_inputSize.store(305152);
  g_inputOffset.store(305152 / 4);
  std::string percent;
  int bar = -1;
  ASSERT_TRUE(Run([&](const Dialog& d) {
    d.Select("av.mpg");
    PreviewShows(kProgramStream);
    WaitFor([&] { return d.Item(IDC_IN_PERCENT) == "25.0%"; });
    percent = d.Item(IDC_IN_PERCENT);
    bar = GetScrollPos(GetDlgItem(d.child, IDC_IN_BAR), SB_CTL);
    d.Cancel();
  }));
  g_inputSize.store(0);
  g_inputOffset.store(0);
  EXPECT_EQ(percent, "25.0%");
  EXPECT_EQ(bar, 250);
}

// Enumeration of a thread's windows: the first visible dialog other than
// `first` goes to `second`.
BOOL CALLBACK OtherDialog(HWND w, LPARAM p) {
  auto* s = reinterpret_cast<std::pair<HWND, HWND>*>(p);
  char cls[32] = "";
  GetClassNameA(w, cls, sizeof cls);
  if (w != s->first && IsWindowVisible(w) && strcmp(cls, "#32770") == 0) {
    s->second = w;
    return FALSE;
  }
  return TRUE;
}

TEST_F(InputDialogTest, DeleteRemovesThePreviewedFileAfterConfirmation) {
  const char* doomed = "T:\\input\\doomed.m2v";
  ASSERT_TRUE(CopyFileA(kElementaryStream, doomed, FALSE));
  bool previewed = false, asked = false, gone = false;
  std::string name;
  ASSERT_TRUE(Run([&](const Dialog& d) {
    d.Select("doomed.m2v");
    previewed = PreviewShows(doomed) && WaitFor([&] { return d.Enabled(IDC_IN_DELETE); });
    PostMessageA(d.child, WM_COMMAND, MAKEWPARAM(IDC_IN_DELETE, BN_CLICKED), LPARAM(GetDlgItem(d.child, IDC_IN_DELETE)));
    // The shell asks first: a dialog of this thread other than the frame.
    std::pair<HWND, HWND> search(d.frame, nullptr);
    asked = WaitFor([&] {
      search.second = nullptr;
      EnumThreadWindows(GetWindowThreadProcessId(d.frame, nullptr), OtherDialog, LPARAM(&search));
      return search.second != nullptr;
    });
    if (asked) PostMessageA(search.second, WM_COMMAND, IDYES, 0);
    gone = WaitFor([&] { return GetFileAttributesA(doomed) == INVALID_FILE_ATTRIBUTES && !d.Enabled(IDC_IN_DELETE); });
    name = harness::Text(FindById(d.frame, 1152));
    d.Cancel();
  }));
  DeleteFileA(doomed);
  EXPECT_TRUE(previewed);
  EXPECT_TRUE(asked);
  EXPECT_TRUE(gone);
  EXPECT_EQ(name, "");
  EXPECT_FALSE(preview_is_open());
}

// A window's rectangle in the frame's client coordinates.
RECT InFrame(HWND frame, HWND window) {
  RECT r = {0, 0, 0, 0};
  GetWindowRect(window, &r);
  MapWindowPoints(nullptr, frame, reinterpret_cast<POINT*>(&r), 2);
  return r;
}

TEST_F(InputDialogTest, GrowingTheFrameMovesTheLowerControlsAndWidensTheList) {
  RECT barBefore = {}, barAfter = {}, listBefore = {}, listAfter = {}, cancelBefore = {}, cancelAfter = {};
  RECT small = {};
  ASSERT_TRUE(Run([&](const Dialog& d) {
    HWND bar = GetDlgItem(d.child, IDC_IN_BAR), list = FindById(d.frame, 1120), cancel = FindById(d.frame, IDCANCEL);
    barBefore = InFrame(d.frame, bar);
    listBefore = InFrame(d.frame, list);
    cancelBefore = InFrame(d.frame, cancel);
    RECT r;
    GetWindowRect(d.frame, &r);
    SetWindowPos(d.frame, nullptr, 0, 0, r.right - r.left + 60, r.bottom - r.top + 40, SWP_NOMOVE | SWP_NOZORDER);
    barAfter = InFrame(d.frame, bar);
    listAfter = InFrame(d.frame, list);
    cancelAfter = InFrame(d.frame, cancel);
    // Dragging smaller than the opening size stops at it.
    RECT drag = {r.left, r.top, r.left + 100, r.top + 100};
    SendMessageA(d.frame, WM_SIZING, WMSZ_BOTTOMRIGHT, LPARAM(&drag));
    small = drag;
    small.right -= r.left + (r.right - r.left);
    small.bottom -= r.top + (r.bottom - r.top);
    d.Cancel();
  }));
  EXPECT_EQ(barAfter.top - barBefore.top, 40);
  EXPECT_EQ(cancelAfter.top - cancelBefore.top, 40);
  EXPECT_EQ(listAfter.right - listAfter.left, listBefore.right - listBefore.left + 60);
  EXPECT_EQ(listAfter.bottom - listAfter.top, listBefore.bottom - listBefore.top + 40);
  EXPECT_EQ(small.right, 0);
  EXPECT_EQ(small.bottom, 0);
}

TEST_F(InputDialogTest, DetailsViewAndColumnWidthsComeBack) {
  ASSERT_TRUE(harness::WriteText(harness::ProfilePath(), "[Window]\r\nOfn=1,210,90,130,150\r\n"));
  long style = -1;
  int widths[4] = {};
  ASSERT_TRUE(Run([&](const Dialog& d) {
    HWND list = nullptr;
    WaitFor([&] {
      HWND view = FindById(d.frame, 1121);
      list = view ? FindById(view, 1) : nullptr;
      return list && (GetWindowLongPtrA(list, GWL_STYLE) & LVS_TYPEMASK) == LVS_REPORT &&
             SendMessageA(list, LVM_GETCOLUMNWIDTH, 0, 0) == 210;
    });
    if (list) {
      style = long(GetWindowLongPtrA(list, GWL_STYLE) & LVS_TYPEMASK);
      for (int c = 0; c < 4; ++c) widths[c] = int(SendMessageA(list, LVM_GETCOLUMNWIDTH, c, 0));
    }
    d.Cancel();
  }));
  EXPECT_EQ(style, LVS_REPORT);
  EXPECT_EQ(widths[0], 210);
  EXPECT_EQ(widths[1], 90);
  EXPECT_EQ(widths[2], 130);
  EXPECT_EQ(widths[3], 150);
  // The saved style keeps the alignment bits the list has; its view is details.
  std::string saved = harness::ProfileValue("Window", "Ofn");
  EXPECT_EQ(atol(saved.c_str()) & LVS_TYPEMASK, LVS_REPORT) << saved;
}

TEST_F(InputDialogTest, ASessionOfTheControlWindowPreviewDoesNotHideThePanel) {
  // The Control window's preview of the copy position leaves its session
  // open on the input; the dialog, opening on that file, must preview it.
  strcpy(g_settings.File, kProgramStream);
  ASSERT_EQ(OpenPreviewSession(kProgramStream, nullptr, nullptr, nullptr), 1);
  std::string video;
  bool picture = false;
  ASSERT_TRUE(Run([&](const Dialog& d) {
    WaitFor([&] { return !d.Item(IDC_IN_VIDEO).empty(); });
    video = d.Item(IDC_IN_VIDEO);
    picture = WaitFor([&] { return d.PanelShowsPicture(); });
    d.Cancel();
  }));
  EXPECT_EQ(video, " 8.00Mbps 29.97fps\n720 x 480 pixel");
  EXPECT_TRUE(picture);
}

}  // namespace

namespace {

TEST(ControlWindowPreview, ShowsTheFrameAboveTheWindowAndHidesOnMouseMove) {
  g_stopped.store(1);
  HWND window = harness::OpenControlWindow(std::string("[Window]\r\nX=200\r\nY=500\r\n[Input]\r\nFile=") +
                                           kProgramStream + "\r\n");
  ASSERT_NE(window, nullptr);
  HWND bar = GetDlgItem(window, IDC_POSITION_BAR);
  SendMessageA(window, WM_HSCROLL, MAKEWPARAM(SB_THUMBTRACK, 500), reinterpret_cast<LPARAM>(bar));
  HWND preview = g_control.preview;
  bool shown = harness::PumpUntil([&] { return IsWindowVisible(preview) != 0; });
  RECT client = {}, frame = {}, control = {};
  GetClientRect(preview, &client);
  GetWindowRect(preview, &frame);
  GetWindowRect(window, &control);
  POINT origin = {0, 0};
  ClientToScreen(preview, &origin);
  RECT onScreen = {origin.x, origin.y, origin.x + client.right, origin.y + client.bottom};
  bool picture = harness::PumpUntil([&] { return ScreenShowsPicture(onScreen); });
  SendMessageA(window, WM_MOUSEMOVE, 0, 0);
  bool hidden = !IsWindowVisible(preview);
  EXPECT_TRUE(harness::CloseControlWindow(window));
  EXPECT_TRUE(shown);
  EXPECT_EQ(client.right, 360);
  EXPECT_EQ(client.bottom, 240);
  EXPECT_EQ(frame.bottom, control.top);  // just above the Control window
  EXPECT_TRUE(picture);
  EXPECT_TRUE(hidden);
}

// The copy position bar's scroll message, as the bar sends it while its
// thumb is dragged.
void Scroll(HWND window, int code, int position) {
  SendMessageA(window, WM_HSCROLL, MAKEWPARAM(code, position),
               reinterpret_cast<LPARAM>(GetDlgItem(window, IDC_POSITION_BAR)));
}

// The preview with the bar at 500 permille of the 720 x 480 stream, above
// the Control window; null when it did not appear.
HWND OpenPreview(HWND* window) {
  g_stopped.store(1);
  *window = harness::OpenControlWindow(std::string("[Window]\r\nX=200\r\nY=500\r\n[Input]\r\nFile=") +
                                       kProgramStream + "\r\n");
  if (!*window) return nullptr;
  Scroll(*window, SB_THUMBTRACK, 500);
  HWND preview = g_control.preview;
  if (!harness::PumpUntil([&] { return IsWindowVisible(preview) != 0; })) return nullptr;
  // Whatever painting the showing asked for is done before a test paints.
  UpdateWindow(preview);
  harness::PumpUntil([] { return true; }, 0);
  return preview;
}

// Whether every sample of the client area has `colour` (CLR_INVALID: the
// colour of the first sample). Read through the window's own DC, which holds
// what was drawn the moment it was drawn (the screen follows later).
bool AllOfColour(HWND window, COLORREF colour) {
  RECT r;
  GetClientRect(window, &r);
  HDC dc = GetDC(window);
  int same = 0;
  for (int i = 1; i < 8; ++i) {
    for (int j = 1; j < 8; ++j) {
      COLORREF sample = GetPixel(dc, r.right * i / 8, r.bottom * j / 8);
      if (colour == CLR_INVALID) colour = sample;
      same += sample == colour;
    }
  }
  ReleaseDC(window, dc);
  return same == 49 && colour != CLR_INVALID;
}

void FillWith(HWND window, COLORREF colour) {
  RECT r;
  GetClientRect(window, &r);
  HDC dc = GetDC(window);
  HBRUSH brush = CreateSolidBrush(colour);
  FillRect(dc, &r, brush);
  DeleteObject(brush);
  ReleaseDC(window, dc);
}

TEST(ControlWindowPreview, DraggingOverTheSamePermilleTwiceDrawsOnce) {
  HWND window = nullptr;
  HWND preview = OpenPreview(&window);
  ASSERT_NE(preview, nullptr);
  // Before each step the client area is painted a colour no frame has; a
  // step that draws a frame leaves it no longer of one colour.
  const COLORREF mark = RGB(255, 0, 255);
  struct Step {
    const char* what;
    int code, position;
    bool hideFirst, draws;
  } steps[] = {
      {"the same thumb position again", SB_THUMBTRACK, 500, false, false},
      {"the thumb released where it was", SB_THUMBPOSITION, 500, false, false},
      {"the end of the drag", SB_ENDSCROLL, 0, false, false},
      {"a new permille", SB_THUMBTRACK, 501, false, true},
      {"that permille twice", SB_THUMBTRACK, 501, false, false},
      {"that permille after the preview was hidden", SB_THUMBTRACK, 501, true, true},
  };
  std::vector<std::string> wrong;
  for (const Step& step : steps) {
    FillWith(preview, mark);
    bool filled = AllOfColour(preview, mark);
    if (step.hideFirst) SendMessageA(window, WM_MOUSEMOVE, 0, 0);
    Scroll(window, step.code, step.position);
    bool drawn = !AllOfColour(preview, CLR_INVALID);
    if (!filled || drawn != step.draws) wrong.push_back(std::string(step.what) + (drawn ? ": drawn" : ": not drawn"));
  }
  EXPECT_TRUE(harness::CloseControlWindow(window));
  EXPECT_TRUE(wrong.empty()) << testing::PrintToString(wrong);
}

TEST(ControlWindowPreview, HidesWhenTheControlWindowIsDeactivated) {
  HWND window = nullptr;
  HWND preview = OpenPreview(&window);
  ASSERT_NE(preview, nullptr);
  SetForegroundWindow(window);
  bool active = harness::PumpUntil([&] { return GetActiveWindow() == window; }, 5000);
  bool stillShown = IsWindowVisible(preview) != 0;
  // The user clicks another window of the desktop.
  HWND other = CreateWindowExA(0, "STATIC", "other", WS_POPUP | WS_VISIBLE, 0, 0, 80, 40, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  SetForegroundWindow(other);
  bool hidden = harness::PumpUntil([&] { return !IsWindowVisible(preview); }, 5000);
  DestroyWindow(other);
  EXPECT_TRUE(harness::CloseControlWindow(window));
  EXPECT_TRUE(active);
  EXPECT_TRUE(stillShown) << "activating the Control window itself keeps the preview";
  EXPECT_TRUE(hidden);
}

}  // namespace
