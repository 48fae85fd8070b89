// Test harness of the copy tests.
#include "tests/copy/copy_harness.h"

#include <cstring>

#include "app/app.h"
#include "app/settings_table.h"
#include "app/shared_state.h"
#include "control/progress.h"
#include "copy/audio_delay.h"
#include "copy/worker.h"
#include "resources/resource.h"
#include "tests/copy/player_stand_ins.h"

std::string TestPath(const char* name) {
  CreateDirectoryA("T:\\copy", nullptr);
  return std::string("T:\\copy\\") + name;
}

bool WriteTestFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD done = 0;
  bool ok = bytes.empty() || (WriteFile(file, bytes.data(), DWORD(bytes.size()), &done, nullptr) &&
                              done == bytes.size());
  CloseHandle(file);
  return ok;
}

std::vector<uint8_t> ReadTestFile(const std::string& path) {
  std::vector<uint8_t> bytes;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return bytes;
  uint8_t buffer[65536];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got) bytes.insert(bytes.end(), buffer, buffer + got);
  CloseHandle(file);
  return bytes;
}

int g_workerFinishedPosts = 0;

bool MakeSizedFile(const std::string& path, uint64_t length) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER at;
  at.QuadPart = int64_t(length);
  bool ok = SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  CloseHandle(file);
  return ok;
}

namespace {

char g_caughtText[1024];
volatile LONG g_boxesSeen = 0;

// A box of this process only: window tests in other processes show boxes of
// the same title at the same time, and closing theirs would fail them.
HWND OwnMessageBox() {
  HWND box = nullptr;
  while ((box = FindWindowExA(nullptr, box, "#32770", "Ringfeed")) != nullptr) {
    DWORD pid = 0;
    GetWindowThreadProcessId(box, &pid);
    if (pid == GetCurrentProcessId()) return box;
  }
  return nullptr;
}

// Any message box of the worker is read and closed, so that an unexpected
// failure fails its test instead of hanging it.
DWORD WINAPI WatchMessageBoxes(void*) {
  HWND handled = nullptr;
  for (;;) {
    HWND box = OwnMessageBox();
    if (box && box != handled) {
      GetDlgItemTextA(box, 0xFFFF, g_caughtText, sizeof g_caughtText);
      InterlockedIncrement(&g_boxesSeen);
      PostMessageA(box, WM_COMMAND, IDOK, 0);
      handled = box;
    }
    Sleep(10);
  }
}

LRESULT CALLBACK StandInProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_WORKER_FINISHED) {
    ++g_workerFinishedPosts;
    return 0;
  }
  if (message == WM_COMMAND && LOWORD(wParam) == IDC_START) {
    if (!g_stopped.load()) RaiseCommands(CMD_STOP);
    else if (g_settings.File[0]) RaiseCommands(CMD_START);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

HWND CreateStandInControlWindow() {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = StandInProc;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "RingfeedCopyTestControl";
  RegisterClassA(&windowClass);
  HWND window = CreateWindowA("RingfeedCopyTestControl", "Ringfeed", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                              nullptr, nullptr, windowClass.hInstance, nullptr);
  const struct { const char* cls; int id; } controls[] = {
      {"BUTTON", IDC_START}, {"BUTTON", IDC_PLAY}, {"COMBOBOX", IDC_SIZE_COMBO},
      {"EDIT", IDC_INPUT_PATH}, {"STATIC", IDC_OUTPUT_SIZE}};
  for (const auto& c : controls)
    CreateWindowA(c.cls, "", WS_CHILD | (c.id == IDC_SIZE_COMBO ? CBS_DROPDOWNLIST : 0), 0, 0, 100, 100,
                  window, HMENU(INT_PTR(c.id)), windowClass.hInstance, nullptr);
  HWND combo = GetDlgItem(window, IDC_SIZE_COMBO);
  for (const char* entry : {"28", "29", "30", "31"}) SendMessageA(combo, CB_ADDSTRING, 0, LPARAM(entry));
  return window;
}

void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
}

bool RunCyclesUntil(const std::function<bool()>& done, int maxCycles) {
  int boxes = MessageBoxesSeen();
  for (int i = 0; i < maxCycles && MessageBoxesSeen() == boxes; ++i) {
    if (done()) return true;
    RunCopyCycle();
    PumpMessages();
  }
  return done();
}

void ResetCopyState() {
  static HANDLE watcher = CreateThread(nullptr, 0, WatchMessageBoxes, nullptr, 0, nullptr);
  (void)watcher;
  CloseCopyFiles();
  if (!g_controlWindow) g_controlWindow = CreateStandInControlWindow();
  g_pendingCommands = 0;
  g_stopped = 1;
  g_inputSize = g_inputOffset = g_outputOffset = 0;
  g_ringFileLength = g_ringEnd = 0;
  g_startPermille = g_writeFromHead = g_keepPreviousTail = g_audioDelay = 0;
  g_audioBitRate = 0;
  g_barState = BAR_STOPPED;
  g_worker = CopyWorkerState{};
  g_ring = RingFileState{{0}, 0, 1, 0};
  ResetAudioDelay();
  strcpy(g_settings.Drive, "T:");
  g_settings.File[0] = 0;
  g_settings.Size = 28;
  g_settings.Head = 1;
  g_settings.Clear = 1;
  g_settings.Wait = 1;
  g_settings.Stop = 50;
  g_settings.Serial = 1;
  g_settings.Priority = 0;
  g_settings.Priority2 = 5;
  g_settings.NoStop = 0;
  g_osVersion.dwPlatformId = VER_PLATFORM_WIN32_NT;
  g_standInPlayer = StandInPlayer{true, false, 0, 0, nullptr};
  PumpMessages();
}

MessageBoxCatcher::MessageBoxCatcher() : seenBefore_(g_boxesSeen) {}

std::string MessageBoxCatcher::Text() {
  // Bounded: 20 s of 10 ms looks.
  for (int i = 0; i < 2000 && g_boxesSeen == seenBefore_; ++i) Sleep(10);
  return g_boxesSeen == seenBefore_ ? "" : g_caughtText;
}

int MessageBoxesSeen() { return int(g_boxesSeen); }
