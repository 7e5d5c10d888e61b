// The window half of the initial load and of searching: status texts and the list's row count.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

// Set at start; the main window clears it after the messages it handles, and the load sets it
// when done, so the load timer runs the load only once.
extern bool LoadDone;

// The load timer, set on the result list when the main window is created.
constexpr UINT_PTR LoadTimerId = 1;
constexpr UINT LoadTimerPeriod = 10;

// Timer procedure of the load timer on the result list: builds the index, blocking this thread
// until it is complete, then shows every entry.
void CALLBACK InitialLoad(HWND window, UINT message, UINT_PTR timerId, DWORD time);

// Reads the query box and searches the whole table with it.
void RunSearch();

// Puts the text into the status bar's only part.
void SetStatusText(const std::u16string& text);
// "N 个对象" for the current ResultSet.
void ShowResultCountInStatusBar();
// Gives the list the row count and redraws the rows that can be visible.
void RefreshRows(std::size_t count);
