// Window finders over the Player's windows, and its seek knob.
#include "player/player_windows.h"

#include <cstdlib>
#include <cstring>

#include "player/seek_knob.h"
#include "player/text_match.h"

namespace {

// Class names and titles are fetched into buffers of this size, on each
// caller's own stack so both threads may search at once.
const int kTextSize = 512;

const char* const kPlayerTitle = "Lumoria Media Theater ";
const char* const kOpenDialogTitles[] = {"Lumoria Media Theater Open Video File",
                                         "ビデオファイルを開く"};

bool IsLead(unsigned char byte) { return IsDBCSLeadByte(byte) != 0; }

bool Empty(const char* text) { return !text || !*text; }

bool TitleContains(HWND window, const char* pattern) {
  if (Empty(pattern)) return true;
  char title[kTextSize];
  // A window destroyed meanwhile leaves the buffer as it was.
  if (GetWindowTextA(window, title, kTextSize) <= 0) return false;
  return ContainsIgnoringCase(title, pattern, IsLead);
}

bool ClassMatches(HWND window, const char* pattern, bool whole) {
  if (Empty(pattern)) return true;
  char name[kTextSize];
  if (!GetClassNameA(window, name, kTextSize)) return false;
  return whole ? EqualIgnoringCase(name, pattern, IsLead) : ContainsIgnoringCase(name, pattern, IsLead);
}

bool DescendantMatches(HWND child, const char* classPattern, const char* titlePattern, int controlId,
                       int visibleOnly) {
  return (!visibleOnly || IsWindowVisible(child)) && (controlId == 0 || GetDlgCtrlID(child) == controlId) &&
         ClassMatches(child, classPattern, false) && TitleContains(child, titlePattern);
}

}  // namespace

HWND FindTopWindowByTitle(const char* titlePattern, const char* className, int skip, int visibleOnly) {
  for (HWND window = FindWindowExA(nullptr, nullptr, nullptr, nullptr); window;
       window = FindWindowExA(nullptr, window, nullptr, nullptr)) {
    if (visibleOnly && !IsWindowVisible(window)) continue;
    if (!ClassMatches(window, className, true) || !TitleContains(window, titlePattern)) continue;
    if (skip-- == 0) return window;
  }
  return nullptr;
}

HWND FindPlayerWindow() {
  HWND player = FindTopWindowByTitle(kPlayerTitle, nullptr, 0, 0);
  // A second look: the window list may have changed under the first.
  return player ? player : FindTopWindowByTitle(kPlayerTitle, nullptr, 0, 0);
}

HWND FindDescendant(HWND parent, const char* classPattern, const char* titlePattern, int controlId,
                    int visibleOnly) {
  for (HWND child = FindWindowExA(parent, nullptr, nullptr, nullptr); child;
       child = FindWindowExA(parent, child, nullptr, nullptr)) {
    if (DescendantMatches(child, classPattern, titlePattern, controlId, visibleOnly)) return child;
    HWND below = FindDescendant(child, classPattern, titlePattern, controlId, visibleOnly);
    if (below) return below;
  }
  return nullptr;
}

int ClickDescendant(HWND parent, const char* classPattern, const char* titlePattern, int controlId,
                    int x, int y) {
  HWND control = FindDescendant(parent, classPattern, titlePattern, controlId, 1);
  if (!control) return 0;
  PostMessageA(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
  PostMessageA(control, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
  return 1;
}

int SetDescendantEditText(HWND dialog, int controlId, const char* text) {
  HWND field = FindDescendant(dialog, "edit", nullptr, controlId, 1);
  if (!field) return 0;
  LPARAM fieldParam = reinterpret_cast<LPARAM>(field);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(controlId, EN_SETFOCUS), fieldParam);
  if (!SendMessageA(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text))) return 0;
  UpdateWindow(field);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(controlId, EN_CHANGE), fieldParam);
  SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(controlId, EN_KILLFOCUS), fieldParam);
  // One byte more than the text, so a field that lengthened it is caught too.
  size_t size = strlen(text) + 2;
  char* back = static_cast<char*>(malloc(size));
  if (!back) return 1;
  back[0] = '\0';
  SendMessageA(field, WM_GETTEXT, size, reinterpret_cast<LPARAM>(back));
  int same = strcmp(back, text) == 0;
  free(back);
  return same;
}

HWND FindPlayerOpenDialog() {
  for (const char* title : kOpenDialogTitles) {
    HWND dialog = FindDescendant(GetDesktopWindow(), nullptr, title, 0, 0);
    if (dialog) return dialog;
  }
  return nullptr;
}

bool ReadSeekKnob(int32_t* k) {
  HWND player = FindPlayerWindow();
  if (!player) return false;
  HWND track = FindDescendant(player, "hscroll", "hscroll", 0, 0);
  if (!track) return false;
  HWND knob = FindDescendant(track, "hknob", "hknob", 0, 0);
  if (!knob) return false;
  RECT trackRect, knobRect;
  if (!GetWindowRect(track, &trackRect) || !GetWindowRect(knob, &knobRect)) return false;
  return KnobPosition(trackRect.left, trackRect.right, knobRect.left, k);
}
