// The virtual result list: its columns and header texts, the rows it asks for, orderings by
// header click or sort command, and what its clicks put into the status bar.
#pragma once

#include <windows.h>
// After <windows.h>, which it needs.
#include <commctrl.h>

#include <array>
#include <string>
#include <vector>

#include "results/ordering.h"

void InsertResultColumns(const std::array<int, ColumnCount>& widths);
void SetResultColumnWidths(const std::array<int, ColumnCount>& widths);
// Watches the list's input: a tooltip shows the whole text of a cell that its column cuts short,
// and the menu key and Shift+F10 open the row menu below the selected row.
void WatchResultList(HWND mainWindow);

// Sorts the rows by `column` with the current direction, refreshes the rows and the count text,
// and marks `column`'s header with the direction. The direction is left alone.
void ApplyOrdering(Column column);
void ResetHeaderTexts();

// The header texts as the list currently shows them, column 0 first.
const std::vector<std::u16string>& CurrentHeaderTexts();

// WM_NOTIFY of the main window.
void HandleListNotification(HWND mainWindow, const NMHDR* header);
