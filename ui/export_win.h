// "导出": the save dialog and the writing of the list's rows to the chosen file.
#pragma once

#include <windows.h>

void ExportCommand(HWND mainWindow);
// Writes the header texts and every row of the ResultSet, in display order, to `path`: in the
// ANSI code page, or with `utf8` as UTF-8 after a byte-order mark.
void ExportResults(const wchar_t* path, bool utf8);
