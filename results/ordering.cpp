#include "results/ordering.h"

#include <algorithm>
#include <vector>

bool NameUp(const FileTable& table, uint32_t a, uint32_t b) {
    if (table[a].isFolder != table[b].isFolder) return table[a].isFolder;
    return table.NameBytes(a) < table.NameBytes(b);
}
bool NameDown(const FileTable& table, uint32_t a, uint32_t b) {
    return NameUp(table, b, a);
}

bool SizeUp(const FileTable& table, uint32_t a, uint32_t b) {
    if (table[a].isFolder != table[b].isFolder) return table[a].isFolder;
    return table[a].SizeKilobytes() < table[b].SizeKilobytes();
}
bool SizeDown(const FileTable& table, uint32_t a, uint32_t b) {
    return SizeUp(table, b, a);
}

bool CreatedUp(const FileTable& table, uint32_t a, uint32_t b) {
    if (table[a].isFolder != table[b].isFolder) return table[a].isFolder;
    return table[a].Created < table[b].Created;
}
bool CreatedDown(const FileTable& table, uint32_t a, uint32_t b) {
    return CreatedUp(table, b, a);
}

bool ModifiedUp(const FileTable& table, uint32_t a, uint32_t b) {
    if (table[a].isFolder != table[b].isFolder) return table[a].isFolder;
    return table[a].Modified < table[b].Modified;
}
bool ModifiedDown(const FileTable& table, uint32_t a, uint32_t b) {
    return ModifiedUp(table, b, a);
}

std::optional<Column> ColumnAt(int position) {
    if (position < 0 || position >= ColumnCount) return std::nullopt;
    return static_cast<Column>(position);
}

namespace {

// The keyed orderings: each Up ordering and its mirror, the Down ordering.
struct KeyedOrdering {
    SortKey key;
    RowOrdering up;
    RowOrdering down;
};
constexpr KeyedOrdering KeyedOrderings[] = {
    {SortKey::Name, NameUp, NameDown},
    {SortKey::Size, SizeUp, SizeDown},
    {SortKey::Created, CreatedUp, CreatedDown},
    {SortKey::Modified, ModifiedUp, ModifiedDown},
};

// What each column sorts by, and whether its ascending sort applies the Down ordering. The two
// odd rows are the designed behaviour, not slips, and the header marker still follows the flag:
// the path column compares names, not folder paths, and ascending means files first, names
// descending; the time columns' ascending sort shows files first, newest first.
struct ColumnSort {
    Column column;
    SortKey key;
    bool reversed;
};
constexpr ColumnSort ColumnSorts[ColumnCount] = {
    {Column::Name, SortKey::Name, false},        {Column::Path, SortKey::Name, true},
    {Column::Size, SortKey::Size, false},        {Column::Created, SortKey::Created, true},
    {Column::Modified, SortKey::Modified, true},
};

const KeyedOrdering& OrderingOfKey(SortKey key) {
    return KeyedOrderings[static_cast<int>(key)];
}

}  // namespace

ColumnOrdering OrderingFor(Column column, uint8_t sortAscending) {
    const ColumnSort& sort = ColumnSorts[static_cast<int>(column)];
    const bool down = sort.reversed == (sortAscending == 1);
    const KeyedOrdering& keyed = OrderingOfKey(sort.key);
    return {down ? keyed.down : keyed.up, SortMarker(sortAscending)};
}

char16_t SortMarker(uint8_t sortAscending) {
    return sortAscending == 1 ? u'▲' : u'▼';
}

uint8_t FlippedDirection(uint8_t sortAscending) {
    return sortAscending == 1 ? 0 : 1;
}

namespace {

// The rows sorted by the predicate itself: for orderings without a key, and kinds beyond two.
void SortByPredicate(ResultSet& results, RowOrdering ordering) {
    std::vector<uint32_t> rows = results.RowNumbers();
    const FileTable& table = results.Table();
    std::sort(rows.begin(), rows.end(),
              [&](uint32_t a, uint32_t b) { return ordering(table, a, b); });
    results.ShowRows(std::move(rows));
}

}  // namespace

void SortResults(ResultSet& results, RowOrdering ordering) {
    const KeyedOrdering* keyed = nullptr;
    for (const KeyedOrdering& candidate : KeyedOrderings) {
        if (ordering == candidate.up || ordering == candidate.down) keyed = &candidate;
    }
    if (keyed == nullptr) {
        if (ordering) SortByPredicate(results, ordering);
        return;
    }
    // A Down ordering is the exact mirror of its Up ordering, so its order is the Up order read
    // backwards (rows the ordering finds equivalent may stand in any order either way).
    const SortOrder& order = results.Order(keyed->key);
    std::vector<uint32_t> rows = results.TakeRows();
    SortRowsByOrder(rows, order);
    if (ordering == keyed->down) std::reverse(rows.begin(), rows.end());
    results.ShowRows(std::move(rows));
}

void SortByColumn(ResultSet& results, Column column, uint8_t sortAscending) {
    SortResults(results, OrderingFor(column, sortAscending).ordering);
}

namespace {

struct HeaderWord {
    const char16_t* word;
    std::size_t blanks;
};
constexpr HeaderWord HeaderWords[ColumnCount] = {
    {u"名称", 47}, {u"路径", 58}, {u"大小", 4}, {u"创建时间", 4}, {u"修改时间", 4}};

}  // namespace

std::u16string NeutralHeaderText(Column column) {
    const HeaderWord& header = HeaderWords[static_cast<int>(column)];
    std::u16string text = header.word;
    text.append(header.blanks, u' ');
    return text + u"↑↓";
}

std::u16string MarkedHeaderText(Column column, char16_t marker) {
    const HeaderWord& header = HeaderWords[static_cast<int>(column)];
    std::u16string text = header.word;
    text.append(header.blanks, u' ');
    text.push_back(marker);
    return text;
}

std::u16string CellText(const FileTable& table, uint32_t row, Column column) {
    switch (column) {
        case Column::Name:
            return table.Name(row);
        case Column::Path:
            return table.FolderPath(row);
        case Column::Size:
            return table.SizeText(row);
        case Column::Created:
            return std::u16string(table.CreatedText(row).View());
        case Column::Modified:
            return std::u16string(table.ModifiedText(row).View());
    }
    return {};
}
