// The Control window: the program's main window, a modeless dialog (101).
#pragma once

#include <windows.h>

INT_PTR CALLBACK ControlWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// Frees the window's menus, brushes and fonts (shutdown sequence).
void ReleaseControlWindowResources();
