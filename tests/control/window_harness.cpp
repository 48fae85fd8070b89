#include "tests/control/window_harness.h"

#include <vector>

#include "app/app.h"
#include "app/settings_table.h"
#include "app/shared_state.h"
#include "control/control_state.h"
#include "control/control_window.h"
#include "control/progress.h"
#include "copy/worker.h"
#include "tests/e2e/driver.h"

namespace harness {

namespace {

// Program state as it is before any window ran (constant-initialised).
const Settings kPristineSettings = g_settings;
const ControlWindowState kPristineControl = g_control;

std::string Folder() {
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  std::string path = self;
  return path.substr(0, path.find_last_of('\\'));
}

void ResetProgramState() {
  g_settings = kPristineSettings;
  g_control = kPristineControl;
  g_pendingCommands.store(0);
  g_stopped.store(1);
  g_inputSize.store(0);
  g_inputOffset.store(0);
  g_outputOffset.store(0);
  g_ringFileLength.store(0);
  g_ringEnd.store(0);
  g_barState.store(BAR_STOPPED);
  // The previous window's shutdown left its worker's state asking to exit.
  g_worker = CopyWorkerState{};
  g_workerThread = nullptr;
}

std::function<void()>* g_inside = nullptr;
const std::function<bool()>* g_ready = nullptr;
DWORD g_modalStart = 0;
bool g_insideRan = false;
const DWORD kModalReadyMs = 10000;

VOID CALLBACK RunInside(HWND, UINT, UINT_PTR timer, DWORD) {
  if (g_inside && !(*g_ready)() && GetTickCount() - g_modalStart < kModalReadyMs) return;
  KillTimer(nullptr, timer);
  if (!g_inside) return;
  g_insideRan = true;
  std::function<void()>* inside = g_inside;
  g_inside = nullptr;
  (*inside)();
}

}  // namespace

std::string TestFolder() { return Folder(); }
std::string ProfilePath() { return Folder() + "\\Ringfeed.ini"; }

bool WriteText(const std::string& path, const std::string& text) {
  return e2e::WriteFileText(path, text);
}

std::string ProfileValue(const char* section, const char* key) {
  char text[4096];
  GetPrivateProfileStringA(section, key, "<absent>", text, sizeof text, ProfilePath().c_str());
  return text;
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) continue;
      if (g_controlWindow && IsWindow(g_controlWindow) && IsDialogMessageA(g_controlWindow, &msg))
        continue;
      TranslateMessage(&msg);
      DispatchMessageA(&msg);
    }
    if (done()) return true;
    if (GetTickCount() - start > timeoutMs) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  }
}

HWND OpenControlWindow(const std::string& profile) {
  DeleteFileA(ProfilePath().c_str());
  if (!profile.empty() && !WriteText(ProfilePath(), profile)) return nullptr;
  ResetProgramState();
  g_instance = GetModuleHandleA(nullptr);
  HWND window =
      CreateDialogParamA(g_instance, MAKEINTRESOURCEA(101), nullptr, ControlWindowProc, 0);
  if (!window) return nullptr;
  if (g_workerThread) SuspendThread(g_workerThread);
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  PumpUntil([] { return true; }, 0);
  return window;
}

bool CloseControlWindow(HWND window) {
  if (g_workerThread) ResumeThread(g_workerThread);
  PostMessageA(window, WM_CLOSE, 0, 0);
  bool gone = PumpUntil([&] { return !IsWindow(window); });
  if (g_workerThread) {
    WaitForSingleObject(g_workerThread, 5000);
    CloseHandle(g_workerThread);
    g_workerThread = nullptr;
  }
  g_controlWindow = nullptr;
  return gone;
}

std::string Text(HWND window) {
  char text[1024] = "";
  GetWindowTextA(window, text, sizeof text);
  return text;
}

std::string ItemText(HWND dialog, int id) { return Text(GetDlgItem(dialog, id)); }

bool DuringModalLoop(const std::function<void()>& open, const std::function<void()>& inside,
                     const std::function<bool()>& ready) {
  std::function<void()> job = inside;
  g_inside = &job;
  g_ready = &ready;
  g_modalStart = GetTickCount();
  g_insideRan = false;
  SetTimer(nullptr, 0, 50, RunInside);
  open();
  g_inside = nullptr;
  return g_insideRan;
}

bool SaveScreen(const std::string& path) {
  int width = GetSystemMetrics(SM_CXSCREEN);
  int height = GetSystemMetrics(SM_CYSCREEN);
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  BITMAPINFOHEADER header = {};
  header.biSize = sizeof header;
  header.biWidth = width;
  header.biHeight = height;
  header.biPlanes = 1;
  header.biBitCount = 24;
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(screen, reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                    &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY);
  GdiFlush();
  DWORD stride = (width * 3 + 3) & ~3u;
  DWORD size = stride * height;
  BITMAPFILEHEADER file = {};
  file.bfType = 0x4D42;
  file.bfOffBits = sizeof file + sizeof header;
  file.bfSize = file.bfOffBits + size;
  std::string data(reinterpret_cast<const char*>(&file), sizeof file);
  data.append(reinterpret_cast<const char*>(&header), sizeof header);
  data.append(static_cast<const char*>(bits), size);
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  return WriteText(path, data);
}

}  // namespace harness
