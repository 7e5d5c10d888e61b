// Row orderings of the ResultSet and the column header texts.
#pragma once

#include <cstdint>
#include <string>

#include "index/file_entry.h"
#include "results/result_set.h"

using RowOrdering = bool (*)(const FileEntry& a, const FileEntry& b);

constexpr int ColumnCount = 5;

// The number in SizeText, as the C library's string-to-integer conversion reads it after the
// " KB" suffix and the commas are removed. 64-bit, so sizes of 2^31 KB and more still order.
int64_t SizeKey(const FileEntry& row);

bool NameUp(const FileEntry& a, const FileEntry& b);
bool NameDown(const FileEntry& a, const FileEntry& b);
bool SizeUp(const FileEntry& a, const FileEntry& b);
bool SizeDown(const FileEntry& a, const FileEntry& b);
bool CreatedUp(const FileEntry& a, const FileEntry& b);
bool CreatedDown(const FileEntry& a, const FileEntry& b);
bool ModifiedUp(const FileEntry& a, const FileEntry& b);
bool ModifiedDown(const FileEntry& a, const FileEntry& b);

struct ColumnOrdering {
    RowOrdering ordering;
    char16_t marker;  // u'▲' or u'▼'
};
ColumnOrdering OrderingFor(int column, uint8_t sortAscending);

// Reorders the whole view.
void SortResults(ResultSet& results, RowOrdering ordering);

// Sort command for a column: OrderingFor with `sortAscending` (the direction of the next
// ordering, 1 at start, kept by the window), then SortResults; returns the marker.
char16_t SortCommand(ResultSet& results, int column, uint8_t sortAscending);
// Header click: the same, then the flag flips.
char16_t HeaderClick(ResultSet& results, int column, uint8_t& sortAscending);

// "名称" + 47 blanks + "↑↓" and so on; with a marker, the arrows become that marker.
std::u16string NeutralHeaderText(int column);
std::u16string MarkedHeaderText(int column, char16_t marker);

// The texts the list shows in a column: Name, FolderPath, SizeText, CreatedText, ModifiedText.
std::u16string_view CellText(const FileEntry& row, int column);
