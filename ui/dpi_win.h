// The DPI a window is shown at. The per-monitor functions exist only on newer systems (and newer
// Wine), so they are looked up at run time; without them the screen's DPI serves.
#pragma once

#include <windows.h>

// Asks for per-monitor DPI awareness where the system offers it; the manifest asks as well.
void UsePerMonitorDpi();
// The window's DPI; the screen's when the window is null or the system cannot say.
int WindowDpi(HWND window);
// The outer size of a window with the given client size, style and menu, at `dpi`.
SIZE OuterSizeForClient(int clientWidth, int clientHeight, DWORD style, bool menu, int dpi);
