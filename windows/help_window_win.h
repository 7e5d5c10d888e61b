// The help window: six examples of the query language on a plain panel, nothing to operate.
// Opened modally over the main window with the class "HelpWindow", title "帮助", 400 x 250.
#pragma once

#include <windows.h>

LRESULT CALLBACK HelpWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
