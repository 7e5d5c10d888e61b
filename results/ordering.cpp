#include "results/ordering.h"

#include <algorithm>
#include <limits>
#include <vector>

int64_t SizeKey(const FileEntry& row) {
    std::u16string_view text = row.SizeText();
    text = text.size() < 3 ? std::u16string_view() : text.substr(0, text.size() - 3);
    std::size_t i = 0;
    auto skipCommas = [&] {
        while (i < text.size() && text[i] == u',') ++i;
    };
    // Commas are gone before the C library would read the text, so they may stand anywhere,
    // even between the white space and the sign.
    auto isSpace = [](char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); };
    for (skipCommas(); i < text.size() && isSpace(text[i]); skipCommas()) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    // Accumulate towards the sign so the most negative value needs no special case.
    int64_t value = 0;
    for (skipCommas(); i < text.size() && text[i] >= u'0' && text[i] <= u'9'; skipCommas()) {
        const int digit = text[i++] - u'0';
        if (negative) {
            if (value < (std::numeric_limits<int64_t>::min() + digit) / 10) {
                return std::numeric_limits<int64_t>::min();
            }
            value = value * 10 - digit;
        } else {
            if (value > (std::numeric_limits<int64_t>::max() - digit) / 10) {
                return std::numeric_limits<int64_t>::max();
            }
            value = value * 10 + digit;
        }
    }
    return value;
}

bool NameUp(const FileEntry& a, const FileEntry& b) {
    if (a.IsFolder != b.IsFolder) return a.IsFolder > b.IsFolder;
    return a.Name() < b.Name();
}
bool NameDown(const FileEntry& a, const FileEntry& b) {
    return NameUp(b, a);
}

bool SizeUp(const FileEntry& a, const FileEntry& b) {
    if (a.IsFolder != b.IsFolder) return a.IsFolder > b.IsFolder;
    return a.SizeKilobytes < b.SizeKilobytes;
}
bool SizeDown(const FileEntry& a, const FileEntry& b) {
    return SizeUp(b, a);
}

bool CreatedUp(const FileEntry& a, const FileEntry& b) {
    if (a.IsFolder != b.IsFolder) return a.IsFolder > b.IsFolder;
    return a.Created < b.Created;
}
bool CreatedDown(const FileEntry& a, const FileEntry& b) {
    return CreatedUp(b, a);
}

bool ModifiedUp(const FileEntry& a, const FileEntry& b) {
    if (a.IsFolder != b.IsFolder) return a.IsFolder > b.IsFolder;
    return a.Modified < b.Modified;
}
bool ModifiedDown(const FileEntry& a, const FileEntry& b) {
    return ModifiedUp(b, a);
}

std::optional<Column> ColumnAt(int position) {
    if (position < 0 || position >= ColumnCount) return std::nullopt;
    return static_cast<Column>(position);
}

namespace {

enum class SortKey { Name, Size, Created, Modified };

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

// The sorts below never follow text pointers per comparison: they sort small records holding a
// key and the row's position, then reorder the view's row numbers once. A Down
// ordering is the exact mirror of its Up ordering, so its order is the Up order read backwards
// (rows the ordering finds equivalent may stand in any order either way).

struct NumberedRow {
    uint64_t key;
    uint32_t row;
};

// Least-significant-digit radix sort; a pass is skipped when every key has the same digit
// there, which is most of the passes for time stamps and sizes.
void RadixSort(std::vector<NumberedRow>& rows) {
    constexpr int DigitBits = 11;
    constexpr uint64_t DigitMask = (uint64_t{1} << DigitBits) - 1;
    uint64_t anyBits = 0;
    uint64_t allBits = ~uint64_t{0};
    for (const NumberedRow& r : rows) {
        anyBits |= r.key;
        allBits &= r.key;
    }
    const uint64_t varying = anyBits ^ allBits;
    std::vector<NumberedRow> scratch(rows.size());
    std::vector<std::size_t> starts(DigitMask + 1);
    for (int shift = 0; shift < 64; shift += DigitBits) {
        if (((varying >> shift) & DigitMask) == 0) continue;
        std::fill(starts.begin(), starts.end(), 0);
        for (const NumberedRow& r : rows) ++starts[(r.key >> shift) & DigitMask];
        std::size_t total = 0;
        for (std::size_t& start : starts) {
            const std::size_t count = start;
            start = total;
            total += count;
        }
        for (const NumberedRow& r : rows) scratch[starts[(r.key >> shift) & DigitMask]++] = r;
        rows.swap(scratch);
    }
}

// Sixteen units of a name at a time, four to a word, big-endian, so that the words compare as
// the units do. A name that ends inside the chunk is padded with zeros, and `rest` (the units
// left, at most 17) tells such a name from a longer one that holds zeros there.
constexpr std::size_t ChunkWords = 4;
constexpr std::size_t ChunkUnits = ChunkWords * 4;

struct NameChunkRow {
    uint64_t key[ChunkWords];
    const char16_t* text;
    uint32_t length;
    uint32_t row;
    uint32_t rest;
};

void LoadNameChunk(NameChunkRow& r, std::size_t depth) {
    const std::size_t start = depth * ChunkUnits;
    for (std::size_t w = 0; w < ChunkWords; ++w) {
        uint64_t word = 0;
        for (std::size_t k = start + w * 4; k < start + w * 4 + 4; ++k) {
            word = word << 16 | (k < r.length ? r.text[k] : 0u);
        }
        r.key[w] = word;
    }
    r.rest = static_cast<uint32_t>(
        r.length > start ? std::min<std::size_t>(r.length - start, ChunkUnits + 1) : 0);
}

bool SameChunk(const NameChunkRow& a, const NameChunkRow& b) {
    for (std::size_t w = 0; w < ChunkWords; ++w) {
        if (a.key[w] != b.key[w]) return false;
    }
    return a.rest == b.rest;
}

bool ChunkLess(const NameChunkRow& a, const NameChunkRow& b) {
    for (std::size_t w = 0; w < ChunkWords; ++w) {
        if (a.key[w] != b.key[w]) return a.key[w] < b.key[w];
    }
    return a.rest < b.rest;
}

// Sorts by one chunk, then each run that agrees on it and goes on by the next chunk.
void SortNameChunks(NameChunkRow* begin, NameChunkRow* end, std::size_t depth) {
    for (NameChunkRow* r = begin; r != end; ++r) LoadNameChunk(*r, depth);
    std::sort(begin, end,
              [](const NameChunkRow& a, const NameChunkRow& b) { return ChunkLess(a, b); });
    for (NameChunkRow* run = begin; run != end;) {
        NameChunkRow* runEnd = run + 1;
        while (runEnd != end && SameChunk(*run, *runEnd)) ++runEnd;
        if (runEnd - run > 1 && run->rest > ChunkUnits) SortNameChunks(run, runEnd, depth + 1);
        run = runEnd;
    }
}

template <typename Row, typename MakeRow>
void SplitByKind(const ResultSet& results, std::vector<Row>& folders, std::vector<Row>& files,
                 MakeRow makeRow) {
    for (std::size_t i = 0; i < results.Size(); ++i) {
        const FileEntry& entry = results.Row(i);
        (entry.IsFolder ? folders : files).push_back(makeRow(entry, static_cast<uint32_t>(i)));
    }
}

// Folders first, as every Up ordering wants, each kind in its ordering's key order.
// `order` receives positions in the view.
void UpOrder(const ResultSet& results, SortKey key, std::vector<uint32_t>& order) {
    order.clear();
    order.reserve(results.Size());
    if (key == SortKey::Name) {
        std::vector<NameChunkRow> folders, files;
        SplitByKind(results, folders, files, [](const FileEntry& entry, uint32_t row) {
            const std::u16string_view name = entry.Name();
            return NameChunkRow{{}, name.data(), static_cast<uint32_t>(name.size()), row, 0};
        });
        for (std::vector<NameChunkRow>* rows : {&folders, &files}) {
            SortNameChunks(rows->data(), rows->data() + rows->size(), 0);
            for (const NameChunkRow& r : *rows) order.push_back(r.row);
        }
        return;
    }
    std::vector<NumberedRow> folders, files;
    SplitByKind(results, folders, files, [key](const FileEntry& entry, uint32_t row) {
        uint64_t value = entry.Modified;
        if (key == SortKey::Created) value = entry.Created;
        // Flipping the sign bit makes unsigned order agree with signed order.
        if (key == SortKey::Size)
            value = static_cast<uint64_t>(entry.SizeKilobytes) ^ (uint64_t{1} << 63);
        return NumberedRow{value, row};
    });
    for (std::vector<NumberedRow>* rows : {&folders, &files}) {
        RadixSort(*rows);
        for (const NumberedRow& r : *rows) order.push_back(r.row);
    }
}

// The keyed sorts know two kinds only; any other IsFolder value is left to the predicate.
bool KindsAreZeroOrOne(const ResultSet& results) {
    for (std::size_t i = 0; i < results.Size(); ++i) {
        if (results.Row(i).IsFolder > 1) return false;
    }
    return true;
}

// The rows sorted by the predicate itself: for orderings without a key, and kinds beyond two.
void SortByPredicate(ResultSet& results, RowOrdering ordering) {
    std::vector<uint32_t> rows = results.RowNumbers();
    const FileTable& table = results.Table();
    std::sort(rows.begin(), rows.end(),
              [&](uint32_t a, uint32_t b) { return ordering(table[a], table[b]); });
    results.ShowRows(std::move(rows));
}

}  // namespace

void SortResults(ResultSet& results, RowOrdering ordering) {
    const KeyedOrdering* keyed = nullptr;
    for (const KeyedOrdering& candidate : KeyedOrderings) {
        if (ordering == candidate.up || ordering == candidate.down) keyed = &candidate;
    }
    if (keyed == nullptr || !KindsAreZeroOrOne(results)) {
        if (ordering) SortByPredicate(results, ordering);
        return;
    }
    std::vector<uint32_t>& order = results.SortScratch();
    UpOrder(results, keyed->key, order);
    if (ordering == keyed->down) std::reverse(order.begin(), order.end());
    results.Reorder(order);
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

std::u16string_view CellText(const FileEntry& row, Column column) {
    switch (column) {
        case Column::Name:
            return row.Name();
        case Column::Path:
            return row.FolderPath();
        case Column::Size:
            return row.SizeText();
        case Column::Created:
            return row.CreatedText();
        case Column::Modified:
            return row.ModifiedText();
    }
    return {};
}
