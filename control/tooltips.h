// Tooltips of the Control window. The common tooltip control only decides
// when a tip is due; the program draws the tip itself in a multi-line edit,
// in its own colour, broken at a maximum width and kept off the cursor.
#pragma once

#include <windows.h>

#include <commctrl.h>

struct TooltipEntry {
  int kind;           // 0 = a control by ID (then by handle), 1 = a rectangle of the owner
  int id;             // control ID, or the rectangle tool's ID
  int withChildEdit;  // register the control's child edit box as well
  RECT rect;          // kind 1 only
  const char* text;
  HWND control;  // filled in by SetupTooltips
  HWND childEdit;
};

int SetupTooltips(TooltipEntry* table, int count, HWND owner, HBRUSH brush, int maxWidth);
// WM_NOTIFY of the owner; returns whether the notification was the tooltips'.
bool TooltipNotify(const NMHDR* notification);
// WM_CTLCOLOREDIT of the owner: the tip's brush for the tip window, else null.
HBRUSH TooltipColour(HDC dc, HWND control);
void ActivateTooltips(int on);
void TeardownTooltips();

// The Control window's 14 tools.
extern TooltipEntry g_controlTooltips[14];
