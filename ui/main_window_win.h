// The main window: its class, its procedure and the handles of its three controls.
#pragma once

#include <windows.h>
// After <windows.h>, which it needs.
#include <commctrl.h>

extern HWND QueryEdit;
extern HWND ResultList;
extern HWND StatusBar;
extern HIMAGELIST FileIconList;

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
