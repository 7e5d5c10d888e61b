// The tray icon that stands in for the hidden main window, a further search window in a new
// process, and centring the main window in the work area.
#pragma once

#include <windows.h>

void AddTrayIcon(HWND mainWindow);
void RemoveTrayIcon(HWND mainWindow);
// The tray icon's callback: a double click brings the window back.
void OnTrayNotify(HWND mainWindow, LPARAM mouseMessage);

// "新建搜索窗口": starts the program file beside this one and places its window beside ours.
void OpenNewSearchWindow(HWND mainWindow);
// "窗口居中".
void CenterWindow(HWND mainWindow);
