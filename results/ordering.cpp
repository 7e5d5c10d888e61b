#include "results/ordering.h"

#include <algorithm>
#include <limits>
#include <vector>

uint8_t SortAscending = 1;

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
    return SizeKey(a) < SizeKey(b);
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

ColumnOrdering OrderingFor(int column, uint8_t sortAscending) {
    const bool up = sortAscending == 1;
    const char16_t marker = up ? u'▲' : u'▼';
    switch (column) {
        case 0:
            return {up ? NameUp : NameDown, marker};
        case 1:
            return {up ? NameDown : NameUp, marker};
        case 2:
            return {up ? SizeUp : SizeDown, marker};
        case 3:
            return {up ? CreatedDown : CreatedUp, marker};
        case 4:
            return {up ? ModifiedDown : ModifiedUp, marker};
        default:
            return {nullptr, marker};
    }
}

namespace {

// A row's sort key held next to its position, so the sort moves 16 bytes instead of an
// 80-byte entry and compares without following text pointers for most pairs.
struct KeyedRow {
    uint64_t key;
    uint32_t row;
    uint8_t isFolder;
};

// Kind first (folders before files), then the key; Down orderings sort the same keys mirrored.
struct KeyedUp {
    bool operator()(const KeyedRow& a, const KeyedRow& b) const {
        if (a.isFolder != b.isFolder) return a.isFolder > b.isFolder;
        return a.key < b.key;
    }
};

// The first four units of a name, big-endian, so that unequal keys order as the names do; a
// name that ends early counts as padded with U+0000, below every unit it could continue with.
uint64_t NamePrefix(std::u16string_view name) {
    uint64_t key = 0;
    for (std::size_t i = 0; i < 4; ++i) key = (key << 16) | (i < name.size() ? name[i] : 0u);
    return key;
}

struct NameKeyedUp {
    const std::vector<FileEntry>* rows;
    bool operator()(const KeyedRow& a, const KeyedRow& b) const {
        if (a.isFolder != b.isFolder) return a.isFolder > b.isFolder;
        if (a.key != b.key) return a.key < b.key;
        return (*rows)[a.row].Name() < (*rows)[b.row].Name();
    }
};

template <typename Less>
struct Mirrored {
    Less less;
    bool operator()(const KeyedRow& a, const KeyedRow& b) const { return less(b, a); }
};

// Signed keys shifted so that unsigned comparison keeps their order.
uint64_t Biased(int64_t value) {
    return static_cast<uint64_t>(value) ^ (uint64_t{1} << 63);
}

void ApplyPermutation(const std::vector<KeyedRow>& keyed) {
    std::vector<FileEntry> sorted;
    sorted.reserve(ResultSet.size());
    for (const KeyedRow& k : keyed) sorted.push_back(ResultSet[k.row]);
    ResultSet.swap(sorted);
}

template <typename Less>
void SortKeyed(std::vector<KeyedRow>& keyed, Less less, bool down) {
    if (down) {
        std::sort(keyed.begin(), keyed.end(), Mirrored<Less>{less});
    } else {
        std::sort(keyed.begin(), keyed.end(), less);
    }
    ApplyPermutation(keyed);
}

}  // namespace

void SortResults(RowOrdering ordering) {
    enum class Key { Name, Size, Created, Modified, None } key = Key::None;
    bool down = false;
    if (ordering == NameUp || ordering == NameDown) key = Key::Name;
    if (ordering == SizeUp || ordering == SizeDown) key = Key::Size;
    if (ordering == CreatedUp || ordering == CreatedDown) key = Key::Created;
    if (ordering == ModifiedUp || ordering == ModifiedDown) key = Key::Modified;
    down = ordering == NameDown || ordering == SizeDown || ordering == CreatedDown ||
           ordering == ModifiedDown;
    if (key == Key::None || ResultSet.size() > std::numeric_limits<uint32_t>::max()) {
        if (ordering) std::sort(ResultSet.begin(), ResultSet.end(), ordering);
        return;
    }

    std::vector<KeyedRow> keyed(ResultSet.size());
    for (std::size_t i = 0; i < ResultSet.size(); ++i) {
        const FileEntry& row = ResultSet[i];
        uint64_t value = 0;
        switch (key) {
            case Key::Name:
                value = NamePrefix(row.Name());
                break;
            case Key::Size:
                value = Biased(SizeKey(row));
                break;
            case Key::Created:
                value = row.Created;
                break;
            case Key::Modified:
                value = row.Modified;
                break;
            case Key::None:
                break;
        }
        keyed[i] = {value, static_cast<uint32_t>(i), row.IsFolder};
    }
    if (key == Key::Name) {
        SortKeyed(keyed, NameKeyedUp{&ResultSet}, down);
    } else {
        SortKeyed(keyed, KeyedUp{}, down);
    }
}

char16_t SortCommand(int column) {
    const ColumnOrdering chosen = OrderingFor(column, SortAscending);
    SortResults(chosen.ordering);
    return chosen.marker;
}

char16_t HeaderClick(int column) {
    const char16_t marker = SortCommand(column);
    SortAscending = SortAscending == 1 ? 0 : 1;
    return marker;
}

namespace {

struct HeaderWord {
    const char16_t* word;
    std::size_t blanks;
};
constexpr HeaderWord HeaderWords[ColumnCount] = {
    {u"名称", 47}, {u"路径", 58}, {u"大小", 4}, {u"创建时间", 4}, {u"修改时间", 4}};

}  // namespace

std::u16string NeutralHeaderText(int column) {
    if (column < 0 || column >= ColumnCount) return {};
    std::u16string text = HeaderWords[column].word;
    text.append(HeaderWords[column].blanks, u' ');
    return text + u"↑↓";
}

std::u16string MarkedHeaderText(int column, char16_t marker) {
    if (column < 0 || column >= ColumnCount) return {};
    std::u16string text = HeaderWords[column].word;
    text.append(HeaderWords[column].blanks, u' ');
    text.push_back(marker);
    return text;
}

std::u16string_view CellText(const FileEntry& row, int column) {
    switch (column) {
        case 0:
            return row.Name();
        case 1:
            return row.FolderPath();
        case 2:
            return row.SizeText();
        case 3:
            return row.CreatedText();
        case 4:
            return row.ModifiedText();
        default:
            return {};
    }
}
