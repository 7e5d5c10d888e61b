// The tray icon that stands in for the hidden main window.
#pragma once

#include <windows.h>

void AddTrayIcon(HWND mainWindow);
void RemoveTrayIcon(HWND mainWindow);
// The tray icon's callback: a double click brings the window back.
void OnTrayNotify(HWND mainWindow, LPARAM mouseMessage);
