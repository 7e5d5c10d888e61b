// The about window: the program's name on a green band, its version, the maker's notice line and
// two links, to the maker's e-mail address and to the product site. Opened modally over the main
// window with the class "AboutSkimletWindow", title "关于 Skimlet ", 400 x 350.
#pragma once

#include <windows.h>

LRESULT CALLBACK AboutWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
