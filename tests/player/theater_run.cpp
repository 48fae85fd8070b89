#include "tests/player/theater_run.h"

#include <cinttypes>
#include <cstdio>
#include <vector>

#include "tests/e2e/driver.h"
#include "tools/player/theater.h"

namespace player_test {

namespace {

const char kMainTitle[] = "Lumoria Media Theater - ";

struct Search {
  DWORD processId;  // 0: any process
  HWND found;
};

BOOL CALLBACK MatchTheater(HWND window, LPARAM context) {
  Search* search = reinterpret_cast<Search*>(context);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (search->processId && pid != search->processId) return TRUE;
  if (Text(window).compare(0, sizeof kMainTitle - 1, kMainTitle) != 0) return TRUE;
  search->found = window;
  return FALSE;
}

}  // namespace

bool TheaterRun::Start(const std::string& arguments) {
  std::string line = "\"" + e2e::BuiltProgram("theater.exe") + "\" " + arguments;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  if (!e2e::StartProcess(nullptr, line, nullptr, &startup, &process_)) return false;
  e2e::WaitUntil([&] { return (window_ = TheaterWindowOf(process_.dwProcessId)) != nullptr; }, 15000);
  return window_ != nullptr;
}

void TheaterRun::End() {
  if (!process_.hProcess) return;
  TerminateProcess(process_.hProcess, 0);
  WaitForSingleObject(process_.hProcess, 5000);
  CloseHandle(process_.hProcess);
  CloseHandle(process_.hThread);
  process_ = {};
  window_ = nullptr;
}

HWND TheaterWindowOf(DWORD processId) {
  Search search = {processId, nullptr};
  EnumWindows(MatchTheater, reinterpret_cast<LPARAM>(&search));
  return search.found;
}

HWND AnyTheaterWindow() { return TheaterWindowOf(0); }

void EndProcessOf(HWND window) {
  DWORD pid = 0;
  if (!window || !GetWindowThreadProcessId(window, &pid)) return;
  HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
  if (!process) return;
  TerminateProcess(process, 0);
  WaitForSingleObject(process, 5000);
  CloseHandle(process);
  e2e::WaitUntil([&] { return !IsWindow(window); }, 5000);
}

bool ReadState(HWND theater, TheaterState* state) {
  std::string text = Text(GetDlgItem(theater, ID_STATUS));
  char word[16] = "";
  if (sscanf(text.c_str(), "%" SCNu64 "/%" SCNu64 " %15s plays=%d presses=%d", &state->position,
             &state->size, word, &state->plays, &state->presses) != 5) {
    return false;
  }
  state->playing = std::string(word) == "playing";
  return true;
}

bool SeekTheater(HWND theater, uint64_t position) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(theater, WM_THEATER_SEEK, 0, static_cast<LPARAM>(position),
                             SMTO_ABORTIFHUNG, 5000, &result) &&
         result == 1;
}

std::string Text(HWND window) { return e2e::WindowText(window); }

bool MakeFile(const std::string& path, uint64_t size) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(size);
  bool ok = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
  CloseHandle(file);
  return ok;
}

}  // namespace player_test
