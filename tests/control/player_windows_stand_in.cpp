// Stand-in for the Player's window finders while player/player_windows.cpp
// is not in this tree: just enough for UpdateOverlay to find a seek track.
// CMake drops this file as soon as the real finders exist.
#include <cctype>
#include <string>

#include "player/player_windows.h"

HWND g_currentPlayerWindow = nullptr;
HWND g_previousPlayerWindow = nullptr;

namespace {

bool Contains(const char* text, const char* pattern) {
  if (!pattern) return true;
  std::string a = text, b = pattern;
  for (char& c : a) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  for (char& c : b) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
  return a.find(b) != std::string::npos;
}

}  // namespace

HWND FindDescendant(HWND parent, const char* classPattern, const char* titlePattern, int controlId,
                    int visibleOnly) {
  for (HWND child = FindWindowExA(parent, nullptr, nullptr, nullptr); child;
       child = FindWindowExA(parent, child, nullptr, nullptr)) {
    char className[512] = "", title[512] = "";
    GetClassNameA(child, className, sizeof className);
    GetWindowTextA(child, title, sizeof title);
    if (Contains(className, classPattern) && Contains(title, titlePattern) &&
        (controlId == 0 || GetDlgCtrlID(child) == controlId) &&
        (!visibleOnly || IsWindowVisible(child))) {
      return child;
    }
    if (HWND found = FindDescendant(child, classPattern, titlePattern, controlId, visibleOnly))
      return found;
  }
  return nullptr;
}
