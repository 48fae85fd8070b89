// Seeded random user sequences in the real program: the Control window, its
// menus, the tray and the Input dialog, worked while a copy may be running.
// After every step: the window answers, no message box came up, every ring
// on the test drives has a zero tail, and Start with an input left to copy
// moves the position. At the end of each sequence the profile says where
// the copy stands and the ring must hold the input's bytes behind it.
// RINGFEED_MODEL_SEED replays a sequence; RINGFEED_MODEL_SEQUENCES and
// RINGFEED_MODEL_STEPS set how many.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "resources/resource.h"
#include "tests/e2e/driver.h"

using namespace e2e;

namespace {

const char kDialogTitle[] = "Ringfeed / ビデオファイル選択";
const char* const kInputs[] = {"T:\\usermodel\\short.mpg", "T:\\usermodel\\long.mpg"};  // made by ffmpeg
const char kDriveLetters[] = {'T', 'C'};
const UINT kTrayNotify = 0x7777;
const uint64_t kHead = 4096;
const DWORD kAnswerMs = 2000;
const DWORD kMoveMs = 10000;

uint64_t RingLength(int n) { return (uint64_t(1) << n) - 1; }
uint64_t RingEnd(int n) { return (uint64_t(1) << n) - 524288; }
std::string RingPath(char drive) { return std::string(1, drive) + ":\\$Ringfeed.mpg"; }

// xorshift64*: the same sequence for a seed on every compiler.
struct Random {
  uint64_t state;
  explicit Random(uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 1) {}
  uint32_t Below(uint32_t n) {
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return uint32_t((state * 0x2545F4914F6CDD1Dull) >> 33) % n;
  }
  bool Chance(uint32_t percent) { return Below(100) < percent; }
};

uint64_t EnvNumber(const char* name, uint64_t fallback) {
  const char* text = getenv(name);
  return text && *text ? strtoull(text, nullptr, 10) : fallback;
}

std::string PercentText(uint64_t offset, uint64_t size) {
  uint64_t permille = size ? (offset * 2000 / size + 1) / 2 : 0;
  char text[16];
  snprintf(text, sizeof text, "%d.%d%%", int(permille / 10), int(permille % 10));
  return text;
}

std::string Trimmed(const std::string& text) {
  size_t at = text.find_first_not_of(' ');
  return at == std::string::npos ? std::string() : text.substr(at);
}

uint64_t FileSize(const char* path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path, GetFileExInfoStandard, &data)) return 0;
  return (uint64_t(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// A file of zeros that takes no room until written.
bool MakeZeroFile(const std::string& path, uint64_t length) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER end;
  end.QuadPart = LONGLONG(length);
  bool ok = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  CloseHandle(file);
  return ok;
}

// What the test knows of the program: the input and where its copy began.
struct Model {
  int input = 0;
  uint64_t from = 0;  // input offset the current input's copy began at
  int delay = 0;      // tenths of a second, as the Input dialog shows it
};

class Sequence {
 public:
  Sequence(uint64_t seed, const std::string& folder) : seed_(seed), random_(seed), run_(folder) {}

  // Runs `steps` steps; empty, or what went wrong (with the steps so far).
  std::string Play(int steps) {
    std::string failure = Begin();
    for (int i = 0; i < steps && failure.empty(); ++i) {
      failure = Step();
      if (failure.empty()) failure = CheckAfterStep();
    }
    if (failure.empty()) failure = End();
    if (failure.empty()) return failure;
    std::string text = "seed " + std::to_string(seed_) + ": " + failure + "\nsteps:";
    for (size_t i = 0; i < log_.size(); ++i) text += "\n  " + std::to_string(i + 1) + ". " + log_[i];
    return text;
  }
  int Steps() const { return int(log_.size()); }

 private:
  std::string Begin() {
    for (char letter : kDriveLetters) DeleteFileA(RingPath(letter).c_str());
    if (!MakeZeroFile(RingPath('T'), RingLength(28))) return "cannot make the ring on T:";
    // The last session's ring sits on T: at 2^28 - 1 bytes, its copy 3 MiB
    // before the ring's end, so that wraps come soon.
    std::string profile = std::string("[Window]\r\nX=20\r\nY=420\r\n[Input]\r\nFile=") + kInputs[0] +
                          "\r\nSerial=No\r\nOffsetLo=0\r\nOffsetHi=0\r\n[Output]\r\nDrive=T:\r\nSize=28\r\n"
                          "Clear=Yes\r\nWait=No\r\nOffset=" + std::to_string(RingEnd(28) - (3 << 20)) + "\r\n";
    if (!WriteFileText(run_.ProfilePath(), profile) || !run_.Start()) return "the program did not start";
    control_ = run_.WaitForControlWindow();
    if (!control_) return "no Control window";
    if (!WaitUntil([&] { return Trimmed(ControlText(control_, IDC_OUTPUT_SIZE)).find("bytes") != std::string::npos; }))
      return "the output size never showed";
    return std::string();
  }

  void Log(const std::string& what) { log_.push_back(what); }

  bool Answers() {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(control_, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, kAnswerMs, &result) != 0;
  }

  // Sends a command as a click or menu item would; false when the window
  // did not take it within the answer time.
  bool Command(int id, int code = 0, HWND from = nullptr) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutA(control_, WM_COMMAND, MAKEWPARAM(id, code), LPARAM(from), SMTO_ABORTIFHUNG,
                               kAnswerMs, &result) != 0;
  }

  bool Copying() { return ControlText(control_, IDC_START) == "停止(&S)"; }

  // The Start/Stop button and the position, in words a log can show.
  std::string State() {
    std::string button = ControlText(control_, IDC_START);
    const char* word = button == "停止(&S)" ? "Stop" : button == "続行(&S)" ? "Continue" : button == "開始(&S)" ? "Start" : "?";
    return std::string("button ") + word + ", position " + Trimmed(ControlText(control_, IDC_POSITION_TEXT)) +
           ", bar " + std::to_string(FilledWidth()) + " px";
  }

  int FilledWidth() {
    RECT r;
    return GetWindowRect(GetDlgItem(control_, IDC_PROGRESS_FILLED), &r) ? int(r.right - r.left) : -1;
  }

  std::string Step() {
    switch (random_.Below(12)) {
      case 0: case 1: case 2: return StartStop();
      case 3: case 4: case 5: return Browse();
      case 6: return ChooseSize();
      case 7: return ChooseDrive();
      case 8: return Fields();
      case 9: return ToggleWait();
      case 10: return Tray();
      default: return Idle();
    }
  }

  std::string StartStop() {
    bool stopped = !Copying();
    std::string before = Trimmed(ControlText(control_, IDC_POSITION_TEXT));
    int width = FilledWidth();
    bool fromMenu = random_.Chance(30);
    Log(std::string(stopped ? "Start" : "Stop") + (fromMenu ? " (tray menu)" : "") + " at " + before);
    if (!Command(IDC_START, fromMenu ? 0 : BN_CLICKED, fromMenu ? nullptr : GetDlgItem(control_, IDC_START)))
      return "the window did not take the Start/Stop click";
    // An input that is already copied to its end gives the position no way
    // to go; and a click that comes before the Copy worker has carried out
    // the last stop is taken for another stop.
    if (!stopped || before == "100.0%" || !Copying()) return std::string();
    HWND box = nullptr;
    // With the guard on and no Player to pace against, the copy stops at
    // once, without a message: it must be stopped again soon.
    if (IsDlgButtonChecked(control_, IDC_WAIT_CHECK) == BST_CHECKED) {
      if (!WaitUntil([&] { return (box = MessageBoxOf(run_.ProcessId(), control_)) || !Copying(); }, kMoveMs))
        return "Start with the guard on and no Player did not stop again: " + State();
      return std::string();
    }
    bool moved = WaitUntil([&] {
      box = MessageBoxOf(run_.ProcessId(), control_);
      return box || Trimmed(ControlText(control_, IDC_POSITION_TEXT)) != before || FilledWidth() != width;
    }, kMoveMs);
    if (!moved)
      return "Start did not move the position from " + before + " within " + std::to_string(kMoveMs / 1000) +
             " s and showed no message: " + State();
    return std::string();
  }

  std::string Browse() {
    bool fromMenu = random_.Chance(30);
    if (fromMenu) {
      PostMessageA(control_, WM_COMMAND, IDM_BROWSE, 0);
    } else {
      PostMessageA(control_, WM_COMMAND, MAKEWPARAM(IDC_BROWSE, BN_CLICKED), LPARAM(GetDlgItem(control_, IDC_BROWSE)));
    }
    HWND frame = nullptr, child = nullptr;
    if (!WaitUntil([&] { return (frame = FindProcessWindow(run_.ProcessId(), kDialogTitle)) && IsWindowVisible(frame); }) ||
        !WaitUntil([&] { return (child = GetParent(FindById(frame, IDC_IN_VIDEO))) != nullptr; })) {
      Log(std::string("Browse") + (fromMenu ? " (tray menu)" : ""));
      return "the Input dialog did not open";
    }
    int input = int(random_.Below(2));
    bool ok = random_.Chance(60);
    int permille = random_.Chance(30) ? 0 : int(random_.Below(1001));
    bool fromHead = random_.Chance(25), keepTail = random_.Chance(25), start = random_.Chance(70);
    int steps = int(random_.Below(5)) - 2;
    if (model_.delay + steps < 0) steps = -model_.delay;  // an advance is not in the model
    char what[200];
    snprintf(what, sizeof what, "Browse%s: %s, bar %d, from head %d, keep tail %d, Start box %d, delay %+d, %s",
             fromMenu ? " (tray menu)" : "", kInputs[input] + 13, permille, fromHead, keepTail, start, steps,
             ok ? "OK" : "Cancel");
    Log(what);

    SendMessageA(FindById(frame, 1152), WM_SETTEXT, 0, LPARAM(kInputs[input]));
    if (!WaitUntil([&] { return !ControlText(child, IDC_IN_VIDEO).empty(); }, 20000))
      return "no preview of " + std::string(kInputs[input]);
    const int boxes[] = {IDC_IN_FROM_HEAD, IDC_IN_KEEP_TAIL, IDC_IN_START};
    const bool states[] = {fromHead, keepTail, start};
    for (int i = 0; i < 3; ++i) SendMessageA(GetDlgItem(child, boxes[i]), BM_SETCHECK, states[i] ? BST_CHECKED : BST_UNCHECKED, 0);
    HWND delay = GetDlgItem(child, IDC_IN_DELAY);
    for (int i = 0; i < (steps < 0 ? -steps : steps); ++i) {
      WPARAM key = steps < 0 ? VK_DOWN : VK_UP;
      PostMessageA(delay, WM_KEYDOWN, key, 1);
      PostMessageA(delay, WM_KEYUP, key, 0xC0000001);
    }
    model_.delay += steps;
    char delayText[16];
    snprintf(delayText, sizeof delayText, "%.1f", model_.delay * 0.1);
    if (!WaitUntil([&] { return ControlText(child, IDC_IN_DELAY) == delayText; }))
      return "the delay shows " + ControlText(child, IDC_IN_DELAY) + ", not " + delayText;
    // The panel may still be refreshing the new selection, which puts the
    // bar back at its start: the user drags it again until it stays.
    char percent[16];
    snprintf(percent, sizeof percent, "%.1f%%", permille * 0.1);
    auto dragBar = [&] {
      if (Trimmed(ControlText(child, IDC_IN_PERCENT)) != percent)
        SendMessageA(child, WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, permille), LPARAM(GetDlgItem(child, IDC_IN_BAR)));
      return Trimmed(ControlText(child, IDC_IN_PERCENT)) == percent;
    };
    if (!WaitUntil(dragBar)) return "the start position shows " + ControlText(child, IDC_IN_PERCENT);
    if (ok) {
      PostMessageA(frame, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), LPARAM(FindById(frame, IDOK)));
    } else {
      PostMessageA(frame, WM_COMMAND, IDCANCEL, 0);
    }
    if (!WaitUntil([&] { return !IsWindow(frame); })) return "the Input dialog did not close";
    if (!ok) return std::string();
    model_.input = input;
    uint64_t size = FileSize(kInputs[input]);
    model_.from = uint64_t(permille) * size / 1000 / 32768 * 32768;
    if (ControlText(control_, IDC_INPUT_PATH) != kInputs[input])
      return "the path field shows " + ControlText(control_, IDC_INPUT_PATH);
    // Taken over at the Copy worker's next safe point; a copy that begins at
    // once may already be further on.
    std::string shown;
    bool taken = WaitUntil([&] {
      shown = Trimmed(ControlText(control_, IDC_POSITION_TEXT));
      return shown == PercentText(model_.from, size) || ((start || Copying()) && shown != before_);
    });
    before_.clear();
    if (!taken) return "the chosen start " + PercentText(model_.from, size) + " never showed: " + shown;
    return std::string();
  }

  std::string ChooseSize() {
    int n = 28 + int(random_.Below(4));
    bool fromMenu = random_.Chance(50);
    Log("output size 2^" + std::to_string(n) + (fromMenu ? " (tray menu)" : ""));
    if (fromMenu) return Command(IDM_SIZE_FIRST + n - 28) ? std::string() : "the window did not take the size";
    HWND combo = GetDlgItem(control_, IDC_SIZE_COMBO);
    SendMessageA(combo, CB_SETCURSEL, WPARAM(n - 28), 0);
    return Command(IDC_SIZE_COMBO, CBN_SELENDOK, combo) ? std::string() : "the window did not take the size";
  }

  std::string ChooseDrive() {
    char letter = kDriveLetters[random_.Below(2)];
    Log(std::string("output drive ") + letter + ": (tray menu)");
    return Command(IDM_DRIVE_FIRST + (letter - 'A')) ? std::string() : "the window did not take the drive";
  }

  // The margin, priority and pause fields, typed or from the tray menu.
  std::string Fields() {
    static const char* const typed[] = {"3", "-2", "1x5", "-9", "8", "0", "-", "12"};
    int which = int(random_.Below(3));
    const int fields[] = {IDC_MARGIN, IDC_PRIORITY, IDC_PAUSE};
    if (which > 0 && random_.Chance(50)) {
      int value = which == 1 ? int(random_.Below(17)) - 8 : int(random_.Below(11)) - 5;
      int id = which == 1 ? IDM_PRIORITY_ZERO + value : IDM_PAUSE_ZERO + value;
      Log(std::string(which == 1 ? "priority " : "pause ") + std::to_string(value) + " (tray menu)");
      return Command(id) ? std::string() : "the window did not take the menu item";
    }
    std::string text = which == 0 ? std::to_string(random_.Below(100)) : typed[random_.Below(8)];
    Log(std::string(which == 0 ? "margin" : which == 1 ? "priority" : "pause") + " typed " + text);
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(GetDlgItem(control_, fields[which]), WM_SETTEXT, 0, LPARAM(text.c_str()),
                             SMTO_ABORTIFHUNG, kAnswerMs, &result))
      return "the field did not take the text";
    return std::string();
  }

  std::string ToggleWait() {
    bool fromMenu = random_.Chance(50);
    Log(std::string("overtaking guard toggled") + (fromMenu ? " (tray menu)" : ""));
    if (fromMenu) return Command(IDM_WAIT) ? std::string() : "the window did not take the guard";
    HWND box = GetDlgItem(control_, IDC_WAIT_CHECK);
    SendMessageA(box, BM_SETCHECK, IsDlgButtonChecked(control_, IDC_WAIT_CHECK) ? BST_UNCHECKED : BST_CHECKED, 0);
    return Command(IDC_WAIT_CHECK, BN_CLICKED, box) ? std::string() : "the window did not take the guard";
  }

  std::string Tray() {
    Log("into the tray and out");
    PostMessageA(control_, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    if (!WaitUntil([&] { return !IsWindowVisible(control_); })) return "minimising did not hide the window";
    PostMessageA(control_, kTrayNotify, 0, WM_LBUTTONUP);
    if (!WaitUntil([&] { return IsWindowVisible(control_) && !IsIconic(control_); }))
      return "a click on the tray icon did not bring the window back";
    return std::string();
  }

  std::string Idle() {
    DWORD ms = 200 + random_.Below(1300);
    Log("the user waits " + std::to_string(ms) + " ms");
    WaitUntil([] { return false; }, ms);
    return std::string();
  }

  // Every ring on the test drives: one of the four lengths (or being made)
  // and zeros from the ring end on.
  std::string CheckRings() {
    for (char letter : kDriveLetters) {
      std::string path = RingPath(letter);
      uint64_t length = FileSize(path.c_str());
      for (int n = 28; n <= 31; ++n) {
        if (length != RingLength(n)) continue;
        std::string tail = ReadShared(path, RingEnd(n), size_t(RingLength(n) - RingEnd(n)));
        size_t bad = tail.find_first_not_of('\0');
        if (bad != std::string::npos)
          return "the zero tail of " + path + " holds a byte at offset " + std::to_string(RingEnd(n) + bad);
      }
    }
    return std::string();
  }

  std::string CheckAfterStep() {
    if (!Answers()) return "the window did not answer within 2 s";
    HWND box = MessageBoxOf(run_.ProcessId(), control_);
    if (box) {
      std::string text = WindowText(FindWindowExA(box, nullptr, "Static", nullptr));
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      return "a message box came up: " + text;
    }
    before_ = Trimmed(ControlText(control_, IDC_POSITION_TEXT));
    if (!log_.empty()) log_.back() += "  -> " + State();
    return CheckRings();
  }

  // Closes the program; the profile then says exactly where the copy
  // stands, and the ring holds the current input's bytes behind that point.
  std::string End() {
    Log("close");
    PostMessageA(control_, WM_CLOSE, 0, 0);
    if (run_.WaitForExit(30000) != 0) return "the program did not end cleanly when closed";
    std::string ini = run_.ProfilePath();
    if (ProfileValue(ini, "Input", "File") != kInputs[model_.input])
      return "the profile's input is " + ProfileValue(ini, "Input", "File");
    uint64_t in = strtoull(ProfileValue(ini, "Input", "OffsetLo").c_str(), nullptr, 10);
    uint64_t out = strtoull(ProfileValue(ini, "Output", "Offset").c_str(), nullptr, 10);
    std::string drive = ProfileValue(ini, "Output", "Drive");
    int n = atoi(ProfileValue(ini, "Output", "Size").c_str());
    uint64_t size = FileSize(kInputs[model_.input]);
    if (in < model_.from || in > size) return "the input offset " + std::to_string(in) + " lies outside the copy";
    if (n < 28 || n > 31 || out > RingEnd(n)) return "the output offset " + std::to_string(out) + " lies outside the ring";
    uint64_t count = std::min(in - model_.from, out > kHead ? out - kHead : 0);
    std::string ring = ReadShared(drive + "\\$Ringfeed.mpg", out - count, size_t(count));
    std::string input = ReadShared(kInputs[model_.input], in - count, size_t(count));
    if (ring.size() != count || ring != input) {
      size_t at = 0;
      while (at < ring.size() && at < input.size() && ring[at] == input[at]) ++at;
      return "the ring differs from the input at ring offset " + std::to_string(out - count + at) +
             " (input offset " + std::to_string(in - count + at) + ", " + std::to_string(count) +
             " bytes checked behind the copy)";
    }
    checkedBytes_ += count;
    return CheckRings();
  }

 public:
  uint64_t checkedBytes_ = 0;

 private:
  uint64_t seed_;
  Random random_;
  RingfeedRun run_;
  HWND control_ = nullptr;
  Model model_;
  std::string before_;
  std::vector<std::string> log_;
};

TEST(UserModelE2e, RandomUserSequencesKeepTheCopyAliveAndTheRingRight) {
  for (const char* input : kInputs) ASSERT_GT(FileSize(input), 1u << 20) << input;
  const uint64_t first = EnvNumber("RINGFEED_MODEL_SEED", 1);
  const int sequences = int(EnvNumber("RINGFEED_MODEL_SEQUENCES", getenv("RINGFEED_MODEL_SEED") ? 1 : 5));
  const int steps = int(EnvNumber("RINGFEED_MODEL_STEPS", 20));
  DWORD start = GetTickCount();
  int played = 0;
  uint64_t checked = 0;
  for (int i = 0; i < sequences; ++i) {
    Sequence sequence(first + uint64_t(i), MakeTestFolder("usermodel_run"));
    std::string failure = sequence.Play(steps);
    played += sequence.Steps();
    checked += sequence.checkedBytes_;
    EXPECT_TRUE(failure.empty()) << failure << "\nreplay: RINGFEED_MODEL_SEED=" << first + uint64_t(i);
  }
  std::printf("%d sequences from seed %llu, %d steps, %.1f s, %llu ring bytes checked behind the copy\n", sequences,
              (unsigned long long)first, played, (GetTickCount() - start) / 1000.0, (unsigned long long)checked);
  // The other window tests find the ring on T: as a session left it.
  DeleteFileA(RingPath('C').c_str());
  EXPECT_TRUE(MakeZeroFile(RingPath('T'), RingLength(28)));
}

}  // namespace
