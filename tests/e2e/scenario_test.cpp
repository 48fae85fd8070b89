// The typical use, end to end, seen only from outside the program: a
// recorder writes a program stream in numbered pieces while the user picks
// it in the Input dialog (start position, Start box, audio delay), plays the
// ring in the stand-in Player, and Ringfeed copies behind the Player's knob
// across two wraps and two piece boundaries until the last piece ends.
// Checked: every byte the copy wrote, the guard against overtaking, the
// progress bar's colours and the profile written at exit.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/e2e/driver.h"
#include "tests/e2e/scenario_recording.h"
#include "tests/player/theater_run.h"
#include "tools/player/theater.h"

using namespace e2e;
using namespace scenario;

namespace {

const char kRing[] = "T:\\$Ringfeed.mpg";
const char kClip[] = "T:\\scenario\\clip.mpg";  // made by ffmpeg before the test
const char kDialogTitle[] = "Ringfeed / ビデオファイル選択";
const uint64_t kPieceSize = 62 * 1024 * kPackSize;  // 124 MiB, whole packs
const int kPieces = 3;
const uint64_t kRecorderStep = 512 * kPackSize;      // 1 MiB ...
const DWORD kRecorderStepMs = 333;                   // ... every 333 ms: 3 MiB/s
const uint32_t kPlayerRate = 5 << 19;                // 2.5 MiB/s, slower than the recorder
const int kStartPermille = 990;                      // near the live end
const int kDelayTenths = 5;                          // the sound 0.5 s later
const uint32_t kAudioBitRate = 224;
const int32_t kStopUnits = 5 * 100;                  // Stop=5 in 1/10000
// The last session left the ring 60 MiB before its end (the profile's
// Offset, less the 1,024 bytes a new input steps back): the first wrap
// comes soon, the second one lap later. Before the Player plays, its knob at
// 0 holds the copy at the margin before the ring's end, 0.19 of the ring
// further on: room enough to catch up with the recorder first. Play begins
// there, so the copy is paced from the first moment the knob moves.
const uint64_t kCopyStart = kRingEnd - (60 << 20);

// COLORREFs of the bar states, from the default Color settings.
enum BarColour { COLOUR_NONE, COLOUR_WORKING, COLOUR_WAITING, COLOUR_FILE_END, COLOUR_STOPPED, COLOUR_OTHER };
const COLORREF kColours[] = {0, 0x0060FF60, 0x0060E060, 0x0060FFFF, 0x00FF0000};
const char* const kColourNames[] = {"none", "Working", "Waiting", "FileEnd", "stopped", "other"};

std::string PiecePath(const std::string& folder, int piece) {
  if (piece == 0) return folder + "\\Show.m2p";
  char name[32];
  snprintf(name, sizeof name, "\\Show.%03d.m2p", piece);
  return folder + name;
}

std::vector<uint8_t> ReadWholeFile(const char* path) {
  std::string text = ReadFileText(path);
  return std::vector<uint8_t>(text.begin(), text.end());
}

// Writes the recording piece after piece at a steady rate, as a recorder
// would: whole packs, each piece opened for writing and shared for reading.
class Recorder {
 public:
  Recorder(const Recording& recording, const std::string& folder) : recording_(recording), folder_(folder) {}
  ~Recorder() {
    stop_ = true;
    thread_.Join();
  }
  void Start() { thread_.Start([this] { Run(); }); }
  uint64_t Written() const { return written_.load(); }
  bool Done() const { return done_.load(); }
  std::string Failure() const { return failure_; }

 private:
  void Run() {
    std::vector<uint8_t> block(static_cast<size_t>(kRecorderStep));
    DWORD due = GetTickCount();
    for (int piece = 0; piece < kPieces && !stop_; ++piece) {
      std::string path = PiecePath(folder_, piece);
      HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
      if (file == INVALID_HANDLE_VALUE) {
        failure_ = "cannot create " + path;
        break;
      }
      for (uint64_t at = 0; at < kPieceSize && !stop_; at += kRecorderStep) {
        recording_.Raw(written_.load(), block.data(), block.size());
        DWORD wrote = 0;
        if (!WriteFile(file, block.data(), DWORD(block.size()), &wrote, nullptr) || wrote != block.size()) {
          failure_ = "cannot write " + path;
          stop_ = true;
          break;
        }
        written_ += block.size();
        due += kRecorderStepMs;
        int32_t wait = int32_t(due - GetTickCount());
        if (wait > 0) Sleep(DWORD(wait));
      }
      CloseHandle(file);
    }
    done_ = true;
  }

  const Recording& recording_;
  std::string folder_;
  Thread thread_;
  std::atomic<bool> stop_{false}, done_{false};
  std::atomic<uint64_t> written_{0};
  std::string failure_;
};

void Click(HWND dialog, int id) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), LPARAM(GetDlgItem(dialog, id)));
}

// "参照(&B)", the recording's first piece, a start position, the Start box
// checked and the audio delay, then OK; false (with the reason) when a
// step does not show what a user would see.
bool ChooseRecording(DWORD processId, HWND control, const char* name, std::string* why) {
  Click(control, IDC_BROWSE);
  HWND frame = nullptr, child = nullptr;
  if (!WaitUntil([&] { return (frame = FindProcessWindow(processId, kDialogTitle)) && IsWindowVisible(frame); }) ||
      !WaitUntil([&] { return (child = GetParent(FindById(frame, IDC_IN_VIDEO))) != nullptr; })) {
    *why = "the Input dialog did not open";
    return false;
  }
  SendMessageA(FindById(frame, 1152), WM_SETTEXT, 0, LPARAM(name));
  if (!WaitUntil([&] { return ControlText(child, IDC_IN_AUDIO).find("224Kbps") != std::string::npos; }, 20000)) {
    *why = "no preview of the recording: audio '" + ControlText(child, IDC_IN_AUDIO) + "'";
    return false;
  }
  // The panel may still be refreshing the new selection, which puts the bar
  // back at its start: the user drags it again until it stays.
  auto atStart = [&] {
    std::string percent = ControlText(child, IDC_IN_PERCENT);
    return percent.substr(percent.find_first_not_of(' ')) == "99.0%";
  };
  auto dragBar = [&] {
    if (!atStart())
      SendMessageA(child, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, kStartPermille), LPARAM(GetDlgItem(child, IDC_IN_BAR)));
    return atStart();
  };
  if (!WaitUntil(dragBar)) {
    *why = "start position shows '" + ControlText(child, IDC_IN_PERCENT) + "'";
    return false;
  }
  if (IsDlgButtonChecked(child, IDC_IN_START) != BST_CHECKED) Click(child, IDC_IN_START);
  // The arrow keys on the delay field step its up-down control.
  HWND delay = GetDlgItem(child, IDC_IN_DELAY);
  for (int i = 0; i < kDelayTenths; ++i) {
    PostMessageA(delay, WM_KEYDOWN, VK_UP, 1);
    PostMessageA(delay, WM_KEYUP, VK_UP, 0xC0000001);
  }
  if (!WaitUntil([&] { return ControlText(child, IDC_IN_DELAY) == "0.5" &&
                              ControlText(child, IDC_IN_DELAY_UNIT) == "秒遅らせる"; })) {
    *why = "audio delay shows '" + ControlText(child, IDC_IN_DELAY) + "' '" +
           ControlText(child, IDC_IN_DELAY_UNIT) + "'";
    return false;
  }
  if (!WaitUntil([&] { return IsDlgButtonChecked(child, IDC_IN_START) == BST_CHECKED; })) {
    *why = "the Start box is not checked";
    return false;
  }
  if (!WaitUntil(dragBar)) {
    *why = "start position shows '" + ControlText(child, IDC_IN_PERCENT) + "' at OK";
    return false;
  }
  PostMessageA(frame, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(FindById(frame, IDOK)));
  if (!WaitUntil([&] { return !IsWindow(frame); })) {
    *why = "the Input dialog did not close";
    return false;
  }
  return true;
}

// The copy position as the progress bar shows it, as a lower bound of the
// output offset: the filled width F of W stands for [F, F + 1) x E / W.
bool ReadCopyOffset(HWND control, uint64_t* offset, RECT* filled) {
  RECT empty;
  if (!GetWindowRect(GetDlgItem(control, IDC_PROGRESS_FILLED), filled) ||
      !GetWindowRect(GetDlgItem(control, IDC_PROGRESS_EMPTY), &empty))
    return false;
  uint64_t f = uint64_t(filled->right - filled->left);
  uint64_t w = f + uint64_t(empty.right - empty.left);
  if (w == 0) return false;
  *offset = f * kRingEnd / w;
  return true;
}

// The Player's knob as Ringfeed reads it, in 1/10000 of the seek track.
bool ReadKnob(HWND theater, int32_t* knob) {
  HWND track = FindWindowExA(theater, nullptr, "hscroll", nullptr);
  HWND thumb = track ? FindWindowExA(track, nullptr, "hknob", nullptr) : nullptr;
  RECT t, k;
  if (!thumb || !GetWindowRect(track, &t) || !GetWindowRect(thumb, &k) || t.right - t.left <= 6) return false;
  *knob = int32_t(10000 * (k.left - t.left - 3) / (t.right - t.left - 6));
  return true;
}

BarColour ReadBarColour(const RECT& filled) {
  if (filled.right - filled.left < 1 || filled.bottom - filled.top < 1) return COLOUR_NONE;
  HDC screen = GetDC(nullptr);
  COLORREF c = GetPixel(screen, (filled.left + filled.right) / 2, (filled.top + filled.bottom) / 2);
  ReleaseDC(nullptr, screen);
  for (int i = COLOUR_WORKING; i <= COLOUR_STOPPED; ++i) {
    if (c == kColours[i]) return BarColour(i);
  }
  // The window's background or the empty part: the bar moved under the look.
  if (c == GetSysColor(COLOR_BTNFACE) || c == 0x00FFFFFF) return COLOUR_NONE;
  return COLOUR_OTHER;
}

// The way left for the copy to the Player's position, going forward around
// the ring, in 1/10000 of the ring file.
int32_t GapAhead(int32_t knob, int32_t copy) { return ((knob - copy) % 10000 + 10000) % 10000; }
int32_t Units(uint64_t offset) { return int32_t(offset * 10000 / kRingLength); }

// Reads the ring file at `at`; false when it cannot.
bool ReadRing(uint64_t at, uint8_t* out, size_t count) {
  HANDLE file = CreateFileA(kRing, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER where;
  where.QuadPart = LONGLONG(at);
  bool ok = SetFilePointerEx(file, where, nullptr, FILE_BEGIN) != 0;
  while (ok && count > 0) {
    DWORD got = 0, want = DWORD(std::min<size_t>(count, 1 << 24));
    ok = ReadFile(file, out, want, &got, nullptr) && got == want;
    out += got;
    count -= got;
  }
  CloseHandle(file);
  return ok;
}

// First differing byte of two blocks, or -1.
int64_t FirstDifference(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  auto d = std::mismatch(a.begin(), a.end(), b.begin());
  return d.first == a.end() ? -1 : int64_t(d.first - a.begin());
}

// Checks the ring while it is written: each stream range once the bar has
// passed it (before the next lap overwrites it), and each wrap's mirror.
class RingChecker {
 public:
  explicit RingChecker(const Recording& recording) : recording_(recording) {}

  // The copy's start in the input, found from the first bytes in the ring.
  bool FindStart(uint64_t lowest, uint64_t highest) {
    const size_t probe = 6 * kPackSize;  // fewer audio packets than K: none moved yet
    std::vector<uint8_t> ring(probe), want(probe);
    if (!ReadRing(kCopyStart, ring.data(), probe)) return false;
    for (uint64_t from = lowest / 32768 * 32768; from <= highest; from += 32768) {
      recording_.Raw(from, want.data(), probe);
      if (ring == want) {
        copied_.reset(new Copied(recording_, from, kDelayTenths, kAudioBitRate));
        return true;
      }
    }
    return false;
  }
  const Copied* copied() const { return copied_.get(); }

  // The bar's lower bound of the output offset: follows the laps and checks
  // what lies behind it. Empty, or what went wrong.
  std::string Observe(uint64_t barOffset) {
    if (barOffset + kRingEnd / 2 < lastBar_) ++lap_;
    lastBar_ = barOffset;
    uint64_t below = std::min(StreamBefore(kCopyStart, lap_, barOffset), copied_->Size());
    below = std::max(below, checked_);
    if (below - checked_ < (8 << 20) && below < copied_->Size()) return std::string();
    return CheckUpTo(below);
  }

  std::string CheckUpTo(uint64_t below) {
    while (checked_ < below) {
      uint64_t at = RingOffsetOf(kCopyStart, checked_);
      uint64_t n = std::min<uint64_t>({below - checked_, kRingEnd - at, 16 << 20});
      // A lap starts after the mirror: the mirror holds the last 2 MiB before the wrap.
      if (checked_ >= kRingEnd - kCopyStart && at == kRingStart + kMirror) {
        std::string mirror = Check(checked_ - kMirror, kRingStart, kMirror, "the mirror of a wrap");
        if (!mirror.empty()) return mirror;
        ++wraps_;
      }
      std::string failure = Check(checked_, at, n, "a copied range");
      if (!failure.empty()) return failure;
      checked_ += n;
    }
    return std::string();
  }
  uint64_t Checked() const { return checked_; }
  int Wraps() const { return wraps_; }
  int Laps() const { return lap_; }

 private:
  std::string Check(uint64_t stream, uint64_t ring, uint64_t count, const char* what) {
    std::vector<uint8_t> got(static_cast<size_t>(count)), want(static_cast<size_t>(count));
    copied_->Bytes(stream, want.data(), want.size());
    if (!ReadRing(ring, got.data(), got.size())) return "cannot read the ring file";
    int64_t d = FirstDifference(got, want);
    if (d < 0) return std::string();
    char text[200];
    snprintf(text, sizeof text, "%s differs at ring offset %llu (input offset %llu)", what,
             (unsigned long long)(ring + uint64_t(d)), (unsigned long long)(copied_->From() + stream + uint64_t(d)));
    return text;
  }

  const Recording& recording_;
  std::unique_ptr<Copied> copied_;
  uint64_t checked_ = 0, lastBar_ = 0;
  int lap_ = 0, wraps_ = 0;
};

// What the watch saw of the bar's colours, in order, repeats folded.
struct ColourLog {
  std::vector<BarColour> seen;
  int others = 0;
  // The copy went on after the end of the input: it follows a growing file.
  bool WentOnAfterFileEnd() const {
    auto end = std::find(seen.begin(), seen.end(), COLOUR_FILE_END);
    return end != seen.end() && std::find(end, seen.end(), COLOUR_WORKING) != seen.end();
  }
  void Add(BarColour c) {
    if (c == COLOUR_NONE) return;
    if (c == COLOUR_OTHER) {
      ++others;
      return;
    }
    if (seen.empty() || seen.back() != c) seen.push_back(c);
  }
  BarColour Last() const { return seen.empty() ? COLOUR_NONE : seen.back(); }
  int Count(BarColour c) const { return int(std::count(seen.begin(), seen.end(), c)); }
  std::string Text() const {
    std::string t;
    for (BarColour c : seen) t += std::string(t.empty() ? "" : " ") + kColourNames[c];
    return t.size() > 600 ? t.substr(0, 300) + " ... " + t.substr(t.size() - 300) : t;
  }
};

// The guard, sampled throughout: the way left from the copy to the knob is
// never less than the margin. The copy is read before the knob, and as the
// bar's lower bound, so the watcher's own delays only ever widen the way it
// sees. (A knob at 0 holds the copy at the margin before the ring's end, as
// a Player one lap ahead.) The wrap, which writes the ring's first 2 MiB at
// once, is held to it too.
struct GuardLog {
  int samples = 0;
  int32_t smallestGap = 10000, copyAtSmallest = 0, knobAtSmallest = 0;
  void Add(uint64_t copyOffset, int32_t knob) {
    ++samples;
    int32_t copy = Units(copyOffset);
    int32_t gap = GapAhead(knob, copy);
    if (gap >= smallestGap) return;
    smallestGap = gap;
    copyAtSmallest = copy;
    knobAtSmallest = knob;
  }
};

TEST(TypicalUseE2e, ARecordingStillBeingWrittenIsPlayedWhileItIsCopied) {
  ASSERT_EQ(player_test::AnyTheaterWindow(), nullptr) << "another stand-in Player is running";
  std::vector<uint8_t> clip = ReadWholeFile(kClip);
  Recording recording;
  ASSERT_TRUE(recording.Load(clip, kPieces * kPieceSize)) << kClip;
  std::string folder = MakeTestFolder("scenario");
  std::string recordings = folder + "\\rec";
  ASSERT_TRUE(CreateDirectoryA(recordings.c_str(), nullptr));
  // What the last session left: its recording, and the ring file at its size.
  std::string old = recordings + "\\Old.m2p";
  ASSERT_TRUE(WriteFileText(old, std::string(clip.begin(), clip.end())));
  DeleteFileA(kRing);
  ASSERT_TRUE(player_test::MakeFile(kRing, kRingLength));

  // The recorder is at work before anything else; the Player is open, empty.
  Recorder recorder(recording, recordings);
  recorder.Start();
  player_test::TheaterRun theater;
  ASSERT_TRUE(theater.Start("--rate " + std::to_string(kPlayerRate)));
  SetWindowPos(theater.Window(), HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE);
  RingfeedRun run(folder);
  ASSERT_TRUE(WriteFileText(run.ProfilePath(),
                            "[Window]\r\nX=20\r\nY=420\r\n"
                            "[Input]\r\nFolder=" + recordings + "\r\nFile=" + old + "\r\n"
                            "[Output]\r\nDrive=T:\r\nSize=28\r\nWait=Yes\r\nStop=5\r\nOffset=" +
                            std::to_string(kCopyStart + 1024) + "\r\n"));
  ASSERT_TRUE(run.Start());
  HWND control = run.WaitForControlWindow();
  ASSERT_NE(control, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return recorder.Written() >= 8 * 1024 * 1024; }));

  // 1. The user picks the first piece near its live end, starts at once, sound 0.5 s later.
  std::string why;
  uint64_t writtenBeforeOk = recorder.Written();
  ASSERT_TRUE(ChooseRecording(run.ProcessId(), control, "Show.m2p", &why)) << why;
  EXPECT_EQ(ControlText(control, IDC_INPUT_PATH), PiecePath(recordings, 0));
  // The user looks at the Player: it comes to the front.
  SetWindowPos(theater.Window(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);

  RingChecker ring(recording);
  ColourLog colours;
  GuardLog guard;
  std::string failure, lastPath;
  int samples = 0, piecesSeen = 1;
  uint64_t lastOffset = 0;
  // One look at the windows and the ring, as often as the waits poll.
  auto watch = [&] {
    ++samples;
    HWND box = MessageBoxOf(run.ProcessId(), control);
    if (box) {
      failure = "a message box came up: " + WindowText(FindWindowExA(box, nullptr, "Static", nullptr));
      return;
    }
    RECT filled;
    uint64_t offset = 0;
    int32_t knob = 0;
    if (!ReadCopyOffset(control, &offset, &filled) || !ReadKnob(theater.Window(), &knob)) return;
    lastOffset = offset;
    colours.Add(ReadBarColour(filled));
    guard.Add(offset, knob);
    if (!ring.copied() && offset >= kCopyStart + 64 * 1024 && offset < kRingEnd &&
        !ring.FindStart(kStartPermille * writtenBeforeOk / 1000, kStartPermille * recorder.Written() / 1000)) {
      failure = "the ring does not go on with the input at the start position";
      return;
    }
    if (ring.copied() && failure.empty()) failure = ring.Observe(offset);
    if (samples % 25 == 0) {
      std::string path = ControlText(control, IDC_INPUT_PATH);
      if (path != lastPath && !lastPath.empty()) ++piecesSeen;
      if (!path.empty()) lastPath = path;
    }
  };

  // 2. The copy catches up with the recorder and follows it: at the
  // input's end (FileEnd), then on as it grows (Working), until the knob of
  // the Player, still at its start, holds it at the margin (Waiting).
  ASSERT_TRUE(WaitUntil([&] {
    watch();
    return !failure.empty() || (IsWindowEnabled(GetDlgItem(control, IDC_PLAY)) && colours.WentOnAfterFileEnd() &&
                                colours.Last() == COLOUR_WAITING && ring.copied());
  }, 150000)) << "colours " << colours.Text() << "; copy at " << lastOffset << ", recorded " << recorder.Written();
  ASSERT_TRUE(failure.empty()) << failure;
  EXPECT_EQ(ControlText(control, IDC_START), "停止(&S)");

  // 3. "VT+で再生(&P)": the Player opens the ring and plays it.
  Click(control, IDC_PLAY);
  player_test::TheaterState state;
  ASSERT_TRUE(WaitUntil([&] {
    watch();
    return player_test::ReadState(theater.Window(), &state) && state.size == kRingLength && state.playing;
  }, 30000)) << player_test::Text(GetDlgItem(theater.Window(), ID_STATUS));
  EXPECT_NE(player_test::Text(theater.Window()).find("$Ringfeed.mpg"), std::string::npos);
  size_t beforePlay = colours.seen.size();

  // 4. The copy waits behind the knob, wraps, takes the next pieces after
  // 5 s without growth, and stops at the end of the last one.
  bool stopped = WaitUntil([&] {
    watch();
    return !failure.empty() || (recorder.Done() && ControlText(control, IDC_START) == "続行(&S)" &&
                                colours.Last() == COLOUR_STOPPED);
  }, 600000);
  ASSERT_TRUE(failure.empty()) << failure;
  ASSERT_TRUE(recorder.Failure().empty()) << recorder.Failure();
  ASSERT_TRUE(stopped) << "colours " << colours.Text() << "; copy at " << lastOffset << ", recorded "
                       << recorder.Written();
  EXPECT_EQ(ControlText(control, IDC_INPUT_PATH), PiecePath(recordings, kPieces - 1));
  ASSERT_TRUE(player_test::ReadState(theater.Window(), &state));
  EXPECT_TRUE(state.playing);

  std::printf("samples %d; bar colours (%d unreadable): %s\n", samples, colours.others, colours.Text().c_str());
  std::printf("guard: smallest way left %d/10000 (margin %d), copy at %d, knob at %d\n", guard.smallestGap,
              kStopUnits, guard.copyAtSmallest, guard.knobAtSmallest);
  std::printf("ring: input from offset %llu, %d laps seen, %llu bytes checked while copying, "
              "%zu audio payloads moved\n",
              (unsigned long long)ring.copied()->From(), ring.Laps(), (unsigned long long)ring.Checked(),
              ring.copied()->MovedPackets());

  // The states in their order: stopped before Start, Working and FileEnd
  // while following the recorder, Waiting behind the knob, FileEnd at each
  // piece's end and the stop at the last one.
  ASSERT_GE(colours.seen.size(), 2u);
  EXPECT_EQ(colours.seen[0], COLOUR_STOPPED) << colours.Text();
  EXPECT_EQ(colours.seen[1], COLOUR_WORKING) << colours.Text();
  EXPECT_EQ(colours.Count(COLOUR_STOPPED), 2) << colours.Text();
  EXPECT_GT(std::count(colours.seen.begin() + beforePlay, colours.seen.end(), COLOUR_WAITING), 0);
  EXPECT_GE(std::count(colours.seen.begin() + beforePlay, colours.seen.end(), COLOUR_FILE_END), kPieces);
  EXPECT_LT(colours.others, samples / 20) << "bar colours of no state";
  EXPECT_EQ(piecesSeen, kPieces);

  // The guard held: never closer than the margin, less the program's own
  // rounding of its position and one chunk; and it did hold the copy there.
  EXPECT_GE(guard.smallestGap, kStopUnits - 3);
  EXPECT_LE(guard.smallestGap, kStopUnits + 250);

  // 5. The user closes the window; the profile keeps where everything stands.
  PostMessageA(control, WM_CLOSE, 0, 0);
  ASSERT_EQ(run.WaitForExit(), 0u);
  const Copied& copied = *ring.copied();
  std::string last = ring.CheckUpTo(copied.Size());
  EXPECT_TRUE(last.empty()) << last;
  EXPECT_GE(ring.Wraps(), 2);
  EXPECT_GE(ring.Laps(), 2);
  EXPECT_GT(copied.MovedPackets(), 1000u);

  std::vector<uint8_t> want = ExpectedRing(copied, kCopyStart), got(static_cast<size_t>(kRingLength));
  ASSERT_TRUE(ReadRing(0, got.data(), got.size()));
  int64_t d = FirstDifference(got, want);
  EXPECT_EQ(d, -1) << "the ring file differs from the model at offset " << d;

  const std::string ini = run.ProfilePath();
  EXPECT_EQ(ProfileValue(ini, "Input", "File"), PiecePath(recordings, kPieces - 1));
  EXPECT_EQ(ProfileValue(ini, "Input", "OffsetLo"), std::to_string(kPieceSize));
  EXPECT_EQ(ProfileValue(ini, "Input", "OffsetHi"), "0");
  EXPECT_EQ(ProfileValue(ini, "Input", "Serial"), "Yes");
  EXPECT_EQ(ProfileValue(ini, "Input", "Folder"), recordings);
  EXPECT_EQ(ProfileValue(ini, "Output", "Drive"), "T:");
  EXPECT_EQ(ProfileValue(ini, "Output", "Offset"), std::to_string(OutputOffsetAfter(kCopyStart, copied.Size())));
  EXPECT_EQ(ProfileValue(ini, "Output", "Size"), "28");
  EXPECT_EQ(ProfileValue(ini, "Output", "Clear"), "No");
  EXPECT_EQ(ProfileValue(ini, "Output", "Wait"), "Yes");
  EXPECT_EQ(ProfileValue(ini, "Output", "Stop"), "5");
  EXPECT_EQ(ProfileValue(ini, "Output", "Head"), "1");
  EXPECT_EQ(ProfileValue(ini, "Play", "NoStop"), "No");
  EXPECT_EQ(ProfileValue(ini, "Play", "Rewind"), "No");
  EXPECT_EQ(ProfileValue(ini, "Window", "X"), "20");
  EXPECT_EQ(ProfileValue(ini, "Window", "Y"), "420");
  EXPECT_EQ(ProfileValue(ini, "Window", "Minimized"), "No");
}

}  // namespace
