// The virtual result list: its columns and header texts, the rows it asks for, orderings by
// header click or sort command, and what its clicks put into the status bar.
#pragma once

#include <windows.h>
// After <windows.h>, which it needs.
#include <commctrl.h>

#include <string>
#include <vector>

void InsertResultColumns();

// Refreshes the rows, the count text and the headers after the ResultSet has been reordered;
// `marker` is u'▲' or u'▼' and goes on `column`'s header.
void ApplyOrdering(int column, char16_t marker);
void ResetHeaderTexts();

// The header texts as the list currently shows them, column 0 first.
const std::vector<std::u16string>& CurrentHeaderTexts();

// WM_NOTIFY of the main window.
void HandleListNotification(HWND mainWindow, const NMHDR* header);
