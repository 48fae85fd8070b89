// Tray icon state that other windows use.
#pragma once

#include <windows.h>

// Screen point of the last right click on the tray icon (x = -1 when unset);
// the Input dialog opens there.
extern POINT g_trayMenuPoint;
