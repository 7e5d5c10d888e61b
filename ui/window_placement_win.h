// Placing the main window on the screen: its rectangle and "窗口居中".
#pragma once

#include <windows.h>

#include "ui/placement.h"

ScreenRect WindowRect(HWND window);

// "窗口居中": the window fitted into the work area and centred in it.
void CenterWindow(HWND mainWindow);
