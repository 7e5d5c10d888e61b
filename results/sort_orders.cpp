#include "results/sort_orders.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "results/ordering.h"

namespace {

// Every sort below is a most-significant-digit radix sort, in place, over the bytes of a key
// that is unique per row (the row number is its last bytes): a level whose items share their
// byte costs one counting pass, so the handful of bytes that tell millions of rows apart are
// all that is ever moved, and the result is the same as any comparison sort of those keys.
constexpr std::size_t SmallRange = 48;

template <class Item, class Digit, class Less>
void RadixSort(Item* begin, Item* end, int digit, int digits, const Digit& digitOf,
               const Less& less) {
    const auto n = static_cast<std::size_t>(end - begin);
    // An empty range may be two null pointers, which `begin + 1` must not step past.
    if (n < 2) return;
    if (n <= SmallRange) {
        // Insertion sort: the earlier digits are equal, so the whole key may be compared.
        for (Item* i = begin + 1; i < end; ++i) {
            Item value = *i;
            Item* j = i;
            for (; j > begin && less(value, *(j - 1)); --j) *j = *(j - 1);
            *j = value;
        }
        return;
    }
    for (; digit < digits; ++digit) {
        std::size_t count[256] = {};
        for (const Item* i = begin; i != end; ++i) ++count[digitOf(*i, digit)];
        if (count[digitOf(*begin, digit)] == n) continue;
        std::size_t next[256], bound[256];
        std::size_t at = 0;
        for (int k = 0; k < 256; ++k) {
            next[k] = at;
            at += count[k];
            bound[k] = at;
        }
        // Each item is swapped straight into its bucket.
        for (int k = 0; k < 256; ++k) {
            while (next[k] < bound[k]) {
                Item value = begin[next[k]];
                unsigned d = digitOf(value, digit);
                while (d != static_cast<unsigned>(k)) {
                    std::swap(value, begin[next[d]++]);
                    d = digitOf(value, digit);
                }
                begin[next[k]++] = value;
            }
        }
        std::size_t first = 0;
        for (int k = 0; k < 256; ++k) {
            if (bound[k] - first > 1)
                RadixSort(begin + first, begin + bound[k], digit + 1, digits, digitOf, less);
            first = bound[k];
        }
        return;
    }
}

// Twelve bytes, packed: a number order, like the name order below, is made beside the whole table.
struct [[gnu::packed]] NumberedRow {
    uint64_t key;
    uint32_t row;
};
static_assert(sizeof(NumberedRow) == 12);

void SortNumbers(NumberedRow* begin, NumberedRow* end) {
    // Digits 0-7: the key, high byte first; 8-11: the row, so equal keys stand in table order.
    auto digitOf = [](const NumberedRow& r, int digit) -> unsigned {
        return digit < 8 ? static_cast<unsigned>(r.key >> (56 - 8 * digit)) & 0xFF
                         : static_cast<unsigned>(r.row >> (24 - 8 * (digit - 8))) & 0xFF;
    };
    auto less = [](const NumberedRow& a, const NumberedRow& b) {
        return a.key != b.key ? a.key < b.key : a.row < b.row;
    };
    RadixSort(begin, end, 0, 12, digitOf, less);
}

// Eight bytes of a name at a time in one word, big-endian, so that the words compare as the
// bytes do, and the bytes of the store compare as the name's units. A name that ends inside the
// word is padded with zeros, and `rest` (the bytes left, at most 9) tells such a name from a
// longer one that holds zeros there. The name itself is read through the table, which keeps an
// item at 16 bytes: the name order of millions of rows is made beside the whole table.
constexpr std::size_t ChunkBytes = 8;

struct NameChunkRow {
    uint64_t key;
    uint32_t row;
    uint32_t rest;
};

void LoadNameChunk(NameChunkRow& r, const FileTable& table, std::size_t depth) {
    const std::string_view name = table.NameBytes(r.row);
    const std::size_t start = depth * ChunkBytes;
    uint64_t word = 0;
    for (std::size_t k = start; k < start + ChunkBytes; ++k)
        word = word << 8 | (k < name.size() ? static_cast<unsigned char>(name[k]) : 0u);
    r.key = word;
    r.rest = static_cast<uint32_t>(
        name.size() > start ? std::min<std::size_t>(name.size() - start, ChunkBytes + 1) : 0);
}

bool ChunkLess(const NameChunkRow& a, const NameChunkRow& b) {
    return a.key != b.key ? a.key < b.key : a.rest < b.rest;
}

// Sorts by one chunk (and the row after it), then each run that agrees on the chunk and goes on
// past it by the next chunk. A run of names that end in the chunk is then in table order.
void SortNameChunks(NameChunkRow* begin, NameChunkRow* end, const FileTable& table,
                    std::size_t depth) {
    // Past the first chunk the rows come in no useful order, and each load would wait on memory
    // twice (its start, then its bytes): both are asked for ahead.
    const uint32_t* starts = table.NameStarts().data();
    const char* bytes = table.Names().data();
    constexpr std::ptrdiff_t Ahead = 16;
    for (NameChunkRow* r = begin; r != end; ++r) {
        if (end - r > 2 * Ahead) {
            __builtin_prefetch(starts + r[2 * Ahead].row);
            __builtin_prefetch(bytes + starts[r[Ahead].row] + depth * ChunkBytes);
        }
        LoadNameChunk(*r, table, depth);
    }
    // Digits 0-7: the chunk; 8: the bytes left; 9-12: the row.
    auto digitOf = [](const NameChunkRow& r, int digit) -> unsigned {
        if (digit < 8) return static_cast<unsigned>(r.key >> (56 - 8 * digit)) & 0xFF;
        if (digit == 8) return r.rest;
        return static_cast<unsigned>(r.row >> (24 - 8 * (digit - 9))) & 0xFF;
    };
    auto less = [](const NameChunkRow& a, const NameChunkRow& b) {
        return ChunkLess(a, b) || (!ChunkLess(b, a) && a.row < b.row);
    };
    RadixSort(begin, end, 0, 13, digitOf, less);
    for (NameChunkRow* run = begin; run != end;) {
        NameChunkRow* runEnd = run + 1;
        while (runEnd != end && !ChunkLess(*run, *runEnd)) ++runEnd;
        if (runEnd - run > 1 && run->rest > ChunkBytes)
            SortNameChunks(run, runEnd, table, depth + 1);
        run = runEnd;
    }
}

uint64_t NumberKey(const FileEntry& entry, SortKey key) {
    switch (key) {
        case SortKey::Size:
            return static_cast<uint64_t>(entry.SizeKilobytes());
        case SortKey::Created:
            return entry.Created;
        case SortKey::Modified:
            return entry.Modified;
        case SortKey::Name:
            break;
    }
    return 0;
}

}  // namespace

std::size_t SortOrders::BytesUsed() const {
    std::size_t bytes = 0;
    for (const SortOrder& order : byKey) bytes += order.capacity() * sizeof(uint32_t);
    return bytes;
}

// The rows of the table in the key's Up order: folders first, each kind in key order.
SortOrder BuildSortOrder(const FileTable& table, SortKey key) {
    SortOrder order(table.Size());
    std::size_t folderCount = 0;
    for (std::size_t i = 0; i < table.Size(); ++i) folderCount += table[i].isFolder ? 1 : 0;
    if (key == SortKey::Name) {
        std::vector<NameChunkRow> rows(table.Size());
        // Folders fill the front, files the back.
        std::size_t nextFolder = 0;
        std::size_t nextFile = folderCount;
        for (std::size_t i = 0; i < table.Size(); ++i)
            rows[table[i].isFolder ? nextFolder++ : nextFile++].row = static_cast<uint32_t>(i);
        SortNameChunks(rows.data(), rows.data() + folderCount, table, 0);
        SortNameChunks(rows.data() + folderCount, rows.data() + rows.size(), table, 0);
        for (std::size_t position = 0; position < rows.size(); ++position)
            order[position] = rows[position].row;
        return order;
    }
    // Sorted in place: a scratch copy of the same size would be the peak of the publish.
    std::vector<NumberedRow> rows(table.Size());
    std::size_t nextFolder = 0;
    std::size_t nextFile = folderCount;
    for (std::size_t i = 0; i < table.Size(); ++i) {
        rows[table[i].isFolder ? nextFolder++ : nextFile++] =
            NumberedRow{NumberKey(table[i], key), static_cast<uint32_t>(i)};
    }
    SortNumbers(rows.data(), rows.data() + folderCount);
    SortNumbers(rows.data() + folderCount, rows.data() + rows.size());
    for (std::size_t position = 0; position < rows.size(); ++position)
        order[position] = rows[position].row;
    return order;
}

void SortRowsByOrder(std::vector<uint32_t>& rows, const SortOrder& order) {
    // The rows are marked in a bit per row of the table, then picked out of the order: one pass
    // over the order, sequential, whatever the number of rows, and nothing compared.
    const std::size_t places = order.size();
    std::vector<uint64_t> marks((places + 63) / 64, 0);
    bool twice = false;
    for (const uint32_t row : rows) {
        uint64_t& word = marks[row / 64];
        const uint64_t bit = uint64_t{1} << (row % 64);
        twice |= (word & bit) != 0;
        word |= bit;
    }
    if (!twice && rows.size() == places) {
        // Every row of the table once: the order itself.
        std::copy(order.begin(), order.end(), rows.begin());
        return;
    }
    if (!twice) {
        std::size_t next = 0;
        for (std::size_t place = 0; place < places && next < rows.size(); ++place) {
            const uint32_t row = order[place];
            rows[next] = row;
            next += (marks[row / 64] >> (row % 64)) & 1;
        }
        return;
    }
    // A view that holds a row twice keeps both: the rows are sorted by their places instead.
    std::vector<uint32_t> placeOf(places);
    for (std::size_t place = 0; place < places; ++place)
        placeOf[order[place]] = static_cast<uint32_t>(place);
    std::stable_sort(rows.begin(), rows.end(),
                     [&](uint32_t a, uint32_t b) { return placeOf[a] < placeOf[b]; });
}
