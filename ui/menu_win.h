// The menu bar and the commands that arrive as WM_COMMAND.
#pragma once

#include <windows.h>

void BuildMenuBar(HWND mainWindow);

// WM_COMMAND of the main window: a change of the query text, a menu or context-menu command.
void HandleCommand(HWND mainWindow, WPARAM wParam);
