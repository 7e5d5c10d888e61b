// Secondary windows (help, about, donation, QR) run modally over the window that opened them:
// that window is disabled and a nested message loop runs until the secondary window posts
// WM_QUIT on its destruction.
#pragma once

#include <windows.h>

void OpenSecondaryWindow(HWND mainWindow, const wchar_t* className, WNDPROC procedure,
                         const wchar_t* title, int width, int height);
// The same over any window: `disabledWindow` is disabled while the new window, owned by `owner`
// (which may be none), is open, then enabled and brought to the foreground again.
void OpenModalWindow(HWND disabledWindow, HWND owner, const wchar_t* className, WNDPROC procedure,
                     const wchar_t* title, int width, int height);
void RunModalLoop(HWND disabledWindow);
