// Row orderings of the ResultSet, the direction flag and the column header texts.
#pragma once

#include <cstdint>
#include <string>

#include "index/file_entry.h"

using RowOrdering = bool (*)(const FileEntry& a, const FileEntry& b);

// Direction of the next ordering, 1 at start.
extern uint8_t SortAscending;

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

// Reorders the whole ResultSet.
void SortResults(RowOrdering ordering);

// Sort command for a column: OrderingFor with the current flag, then SortResults; returns the
// marker. The flag is left alone.
char16_t SortCommand(int column);
// Header click: the same, then the flag flips.
char16_t HeaderClick(int column);

// "名称" + 47 blanks + "↑↓" and so on; with a marker, the arrows become that marker.
std::u16string NeutralHeaderText(int column);
std::u16string MarkedHeaderText(int column, char16_t marker);

// The texts the list shows in a column: Name, FolderPath, SizeText, CreatedText, ModifiedText.
std::u16string_view CellText(const FileEntry& row, int column);
