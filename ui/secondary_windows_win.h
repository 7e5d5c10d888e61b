// The secondary windows that the menu opens, each modally over the main window. They are made in
// windows/, which builds on the main window's DPI helpers; the main window knows them only by
// these declarations, so that the two folders do not include each other.
#pragma once

#include <windows.h>

// The commands "帮助", "捐赠" and "关于 Skimlet"; each returns when its window is closed.
void OpenHelpWindow(HWND mainWindow);
void OpenDonationWindow(HWND mainWindow);
void OpenAboutWindow(HWND mainWindow);
