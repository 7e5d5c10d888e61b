// The virtual result list: its columns and header texts, the rows it asks for, orderings by
// header click or sort command, and what its clicks put into the status bar.
#pragma once

#include <windows.h>
// After <windows.h>, which it needs.
#include <commctrl.h>

#include <array>

#include "results/ordering.h"

void InsertResultColumns(const std::array<int, ColumnCount>& widths);
void SetResultColumnWidths(const std::array<int, ColumnCount>& widths);
// Watches the list's input: a tooltip shows the whole text of a cell that its column cuts short,
// and the menu key and Shift+F10 open the row menu below the selected row.
void WatchResultList(HWND mainWindow);

// Sorts the rows by `column` with the current direction, refreshes the rows and the count text,
// and marks `column`'s header with the direction. A sort command leaves the direction alone; a
// header click flips it for the next ordering.
enum class OrderingTrigger { SortCommand, HeaderClick };
void ApplyOrdering(Column column, OrderingTrigger trigger);

// WM_NOTIFY of the main window.
void HandleListNotification(HWND mainWindow, const NMHDR* header);
