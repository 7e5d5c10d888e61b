// The table side of searching and of the initial load; the window side sends the messages.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// The status bar's last count text.
extern std::u16string StatusText;

extern const char16_t* const LoadWaitText;  // shown while the index is built

// Refills the ResultSet, in FileTable order, with every entry that matches the query text and
// the TypeFilter, and sets StatusText through ShowResultCount; returns the number of hits.
std::size_t RunSearch(std::u16string_view queryText);

// Builds the search's folded columns of the just-published FileTable, so that the first
// keystroke does not pay for them. Searching works without it.
void PrepareSearch();

// Sets StatusText to "N 个对象" and returns it.
const std::u16string& ShowResultCount(std::size_t count);

// "N 个对象   耗时: S秒", with S in "%f" form; also stored in StatusText.
const std::u16string& LoadSummary(std::size_t count, double seconds);
