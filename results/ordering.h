// Row orderings of the ResultSet and the column header texts.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "index/file_entry.h"
#include "results/result_set.h"

using RowOrdering = bool (*)(const FileEntry& a, const FileEntry& b);

// The list's columns, in their order.
enum class Column { Name, Path, Size, Created, Modified };
constexpr int ColumnCount = 5;
// The column at a list position; nothing outside 0 to ColumnCount - 1.
std::optional<Column> ColumnAt(int position);

bool NameUp(const FileEntry& a, const FileEntry& b);
bool NameDown(const FileEntry& a, const FileEntry& b);
bool SizeUp(const FileEntry& a, const FileEntry& b);
bool SizeDown(const FileEntry& a, const FileEntry& b);
bool CreatedUp(const FileEntry& a, const FileEntry& b);
bool CreatedDown(const FileEntry& a, const FileEntry& b);
bool ModifiedUp(const FileEntry& a, const FileEntry& b);
bool ModifiedDown(const FileEntry& a, const FileEntry& b);

// The ordering a column's sort applies with the direction flag (1: ascending), and the header
// marker that shows the direction.
struct ColumnOrdering {
    RowOrdering ordering;
    char16_t marker;  // u'▲' or u'▼'
};
ColumnOrdering OrderingFor(Column column, uint8_t sortAscending);

// Reorders the whole view.
void SortResults(ResultSet& results, RowOrdering ordering);

// The three steps of a sort command or a header click, kept apart: the sort by a column with
// the direction flag (1 at start, kept by the window), the marker its header shows, and the
// flip of the flag that a header click adds.
void SortByColumn(ResultSet& results, Column column, uint8_t sortAscending);
char16_t SortMarker(uint8_t sortAscending);
uint8_t FlippedDirection(uint8_t sortAscending);

// "名称" + 47 blanks + "↑↓" and so on; with a marker, the arrows become that marker.
std::u16string NeutralHeaderText(Column column);
std::u16string MarkedHeaderText(Column column, char16_t marker);

// The texts the list shows in a column: Name, FolderPath, SizeText, CreatedText, ModifiedText.
std::u16string CellText(const FileEntry& row, Column column);
