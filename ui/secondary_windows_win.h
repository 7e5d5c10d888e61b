// The secondary windows that the menu opens, each modally over the main window. They are made in
// windows/, which builds on the main window's DPI helpers; the main window knows them only by
// these declarations, so that the two folders do not include each other.
#pragma once

#include <windows.h>

// "帮助": class "HelpWindow", 400 x 250.
void OpenHelpWindow(HWND mainWindow);
// "捐赠": class "DonationWindow", 420 x 250.
void OpenDonationWindow(HWND mainWindow);
// "关于 Skimlet ": class "AboutSkimletWindow", 400 x 350.
void OpenAboutWindow(HWND mainWindow);
