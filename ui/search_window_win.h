// "新建搜索窗口": a further search window, as a further process of this program.
#pragma once

#include <windows.h>

// Starts the program file beside this one and places its window beside ours.
void OpenNewSearchWindow(HWND mainWindow);
