// The tray icon that stands in for the hidden main window.
#pragma once

#include <windows.h>

// Hides the minimised main window behind its tray icon. When the icon cannot be shown the window
// stays in the task bar, minimised, since nothing else would bring a hidden window back; the
// failure is written as a diagnostic line. "关闭" minimises the window, which comes here.
void HideToTray(HWND mainWindow);
void RemoveTrayIcon(HWND mainWindow);
// The tray icon's callback: a double click brings the window back.
void OnTrayNotify(HWND mainWindow, LPARAM mouseMessage);
// The shell's "TaskbarCreated" message: a restarted shell has lost every tray icon, so a hidden
// window's icon is added again.
bool IsTaskbarCreated(UINT message);
void OnTaskbarCreated(HWND mainWindow);
