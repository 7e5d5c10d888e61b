// What the user can do with the first selected row of the result list.
#pragma once

#include <windows.h>

void ShowRowContextMenu(HWND mainWindow);
// The same menu from the keyboard, below the first selected row; nothing without a selection.
void ShowRowContextMenuAtSelection(HWND mainWindow);
// The "视图    " popup of the menu bar, for a right click below the rows.
void ShowViewContextMenu(HWND mainWindow);

enum class OpenTrigger { ContextMenu, DoubleClick };
void OpenSelectedFile(OpenTrigger trigger);
void OpenSelectedFolder();
// "复制全路径+文件名": the full path as ANSI and as Unicode text.
void CopySelectedPath(HWND mainWindow);
// "复制": the row as a file that a shell folder can paste.
void CopySelectedFile(HWND mainWindow);
