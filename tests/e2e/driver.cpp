#include "tests/e2e/driver.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace e2e {

namespace {

std::string ParentFolder(const std::string& path) {
  size_t at = path.find_last_of("\\/");
  return at == std::string::npos ? std::string() : path.substr(0, at);
}

void RemoveTree(const std::string& folder) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      std::string path = folder + "\\" + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(path);
      } else {
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  RemoveDirectoryA(folder.c_str());
}

}  // namespace

std::string MakeTestFolder(const std::string& name) {
  std::string root = "T:\\e2e";
  if (GetFileAttributesA("T:\\") == INVALID_FILE_ATTRIBUTES) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    root = std::string(temp) + "ringfeed-e2e";
  }
  CreateDirectoryA(root.c_str(), nullptr);
  std::string folder = root + "\\" + name;
  RemoveTree(folder);
  CreateDirectoryA(folder.c_str(), nullptr);
  return folder;
}

std::string BuiltProgram(const char* name) {
  // The shipped build, when a test is pointed at it.
  const char* program = getenv("RINGFEED_PROGRAM");
  if (program && *program && strcmp(name, "Ringfeed.exe") == 0) return program;
  char self[MAX_PATH];
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  // Tests live in <tree>/tests, programs in <tree>/bin.
  return ParentFolder(ParentFolder(self)) + "\\bin\\" + name;
}

std::string ReadFileText(const std::string& path) {
  std::string text;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return text;
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got) text.append(buffer, got);
  CloseHandle(file);
  return text;
}

bool WriteFileText(const std::string& path, const std::string& text) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD wrote = 0;
  bool ok = WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &wrote, nullptr) &&
            wrote == text.size();
  CloseHandle(file);
  return ok;
}

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    if (done()) return true;
    if (GetTickCount() - start > timeoutMs) return false;
    Sleep(20);
  }
}

bool StartProcess(const char* program, std::string commandLine, const char* folder,
                  STARTUPINFOA* startup, PROCESS_INFORMATION* process) {
  for (int attempt = 1;; ++attempt) {
    std::vector<char> command(commandLine.begin(), commandLine.end());
    command.push_back('\0');
    if (CreateProcessA(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder, startup,
                       process)) {
      return true;
    }
    fprintf(stderr, "starting %s failed (attempt %d): error %lu\n", commandLine.c_str(), attempt,
            GetLastError());
    if (attempt == 3) return false;
    Sleep(500);
  }
}

bool Thread::Start(std::function<void()> body) {
  Join();
  body_ = std::move(body);
  handle_ = CreateThread(nullptr, 0, Run, this, 0, nullptr);
  return handle_ != nullptr;
}

void Thread::Join() {
  if (!handle_) return;
  WaitForSingleObject(handle_, INFINITE);
  CloseHandle(handle_);
  handle_ = nullptr;
}

DWORD WINAPI Thread::Run(void* self) {
  static_cast<Thread*>(self)->body_();
  return 0;
}

RingfeedRun::RingfeedRun(const std::string& folder) : folder_(folder) {}

RingfeedRun::~RingfeedRun() {
  if (!process_.hProcess) return;
  if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process_.hProcess, 99);
    WaitForSingleObject(process_.hProcess, 5000);
  }
  CloseHandle(process_.hProcess);
  CloseHandle(process_.hThread);
}

bool RingfeedRun::Start(int showCommand) {
  std::string exe = folder_ + "\\Ringfeed.exe";
  // A second run in the same folder finds the program already there (and running).
  if (GetFileAttributesA(exe.c_str()) == INVALID_FILE_ATTRIBUTES &&
      !CopyFileA(BuiltProgram("Ringfeed.exe").c_str(), exe.c_str(), TRUE)) {
    return false;
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = static_cast<WORD>(showCommand);
  return StartProcess(exe.c_str(), exe, folder_.c_str(), &startup, &process_);
}

HWND RingfeedRun::WaitForControlWindow(DWORD timeoutMs) {
  HWND found = nullptr;
  WaitUntil([&] { return (found = FindProcessWindow(process_.dwProcessId, "Ringfeed")) != nullptr; },
            timeoutMs);
  return found;
}

DWORD RingfeedRun::WaitForExit(DWORD timeoutMs) {
  if (!process_.hProcess) return STILL_ACTIVE;
  if (WaitForSingleObject(process_.hProcess, timeoutMs) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process_.hProcess, &code);
  return code;
}

namespace {

struct WindowSearch {
  DWORD processId;
  const char* title;
  HWND found;
};

BOOL CALLBACK MatchProcessWindow(HWND window, LPARAM context) {
  WindowSearch* search = reinterpret_cast<WindowSearch*>(context);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != search->processId || WindowText(window) != search->title) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

HWND FindProcessWindow(DWORD processId, const char* title) {
  WindowSearch search = {processId, title, nullptr};
  EnumWindows(MatchProcessWindow, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string WindowText(HWND window) {
  char text[1024] = "";
  // WM_GETTEXT with a time-out: a hung program must fail the test, not hang it.
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutA(window, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text),
                           SMTO_ABORTIFHUNG, 5000, &copied)) {
    return std::string();
  }
  return text;
}

namespace {

struct MessageBoxSearch {
  DWORD processId;
  HWND control;
  HWND found;
};

BOOL CALLBACK MatchMessageBox(HWND window, LPARAM context) {
  MessageBoxSearch* search = reinterpret_cast<MessageBoxSearch*>(context);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  char cls[32] = "";
  GetClassNameA(window, cls, sizeof cls);
  if (pid != search->processId || window == search->control || strcmp(cls, "#32770") != 0) return TRUE;
  if (WindowText(window) != "Ringfeed" || !IsWindowVisible(window)) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

HWND MessageBoxOf(DWORD processId, HWND control) {
  MessageBoxSearch search = {processId, control, nullptr};
  EnumWindows(MatchMessageBox, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

std::string ControlText(HWND dialog, int id) { return WindowText(GetDlgItem(dialog, id)); }

HWND FindById(HWND parent, int id) {
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (GetDlgCtrlID(c) == id) return c;
    HWND below = FindById(c, id);
    if (below) return below;
  }
  return nullptr;
}

std::string ReadShared(const std::string& path, uint64_t at, size_t count) {
  std::string bytes(count, '\0');
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "";
  LARGE_INTEGER to;
  to.QuadPart = int64_t(at);
  DWORD got = 0;
  bool ok = SetFilePointerEx(file, to, nullptr, FILE_BEGIN) && ReadFile(file, &bytes[0], DWORD(count), &got, nullptr);
  CloseHandle(file);
  bytes.resize(ok ? got : 0);
  return bytes;
}

std::string ProfileValue(const std::string& path, const char* section, const char* key) {
  char text[4096];
  GetPrivateProfileStringA(section, key, "<absent>", text, sizeof text, path.c_str());
  return text;
}

}  // namespace e2e
