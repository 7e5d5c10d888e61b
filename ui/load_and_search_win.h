// The window half of the initial load and of searching: status texts and the list's row count.
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "results/result_set.h"
#include "results/sort_state.h"
#include "search/search_driver.h"

// The window's single table, published once by the load, and the rows its list shows.
extern std::shared_ptr<const PublishedTable> ShownTable;
extern ResultSet Results;
// The direction of the next ordering and the marked header.
extern SortState ListSort;

// The load timer, set on the result list when the main window is created.
constexpr UINT_PTR LoadTimerId = 1;
constexpr UINT LoadTimerPeriod = 10;

// Timer procedure of the load timer on the result list: builds the index, blocking this thread
// until it is complete (input typed meanwhile is handled afterwards, against the whole table),
// then shows every entry and kills the timer.
void CALLBACK InitialLoad(HWND window, UINT message, UINT_PTR timerId, DWORD time);

// Reads the query box and searches the whole table with it.
void RunSearchFromQueryBox();
// The query text changed: searches at once, unless a key waiting in the queue will change the
// text again, in which case the search waits for the text that input leaves.
void SearchForChangedQuery();
// Runs the search that typed-ahead input put off, if any. Everything that reads the rows calls
// this first.
void RunPendingSearch();
// True while a search is put off and no key that could change the text waits any longer: the
// message loop then runs it.
bool PendingSearchIsDue();

// Puts the text into the status bar's only part.
void SetStatusText(const std::u16string& text);
// "N 个对象" for the rows the list shows.
void ShowResultCountInStatusBar();
// Gives the list the row count, which has it draw every row on screen again.
void RefreshRows(std::size_t count);
