#include "results/sort_ranks.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <memory>

namespace {

// Twelve bytes, packed: a number rank, like the name rank below, is built beside the whole table.
struct [[gnu::packed]] NumberedRow {
    uint64_t key;
    uint32_t row;
};
static_assert(sizeof(NumberedRow) == 12);

// Four units of a name at a time in one word, big-endian, so that the words compare as the units
// do. A name that ends inside the chunk is padded with zeros, and `rest` (the units left, at most
// 5) tells such a name from a longer one that holds zeros there. The name itself is read through
// the table, which keeps an item at 16 bytes: the name rank of millions of rows is built beside
// the whole table, at the peak of the program's memory.
constexpr std::size_t ChunkUnits = 4;

struct NameChunkRow {
    uint64_t key;
    uint32_t row;
    uint32_t rest;
};

void LoadNameChunk(NameChunkRow& r, const FileTable& table, std::size_t depth) {
    const std::u16string_view name = table[r.row].Name();
    const std::size_t start = depth * ChunkUnits;
    uint64_t word = 0;
    for (std::size_t k = start; k < start + ChunkUnits; ++k)
        word = word << 16 | (k < name.size() ? name[k] : 0u);
    r.key = word;
    r.rest = static_cast<uint32_t>(
        name.size() > start ? std::min<std::size_t>(name.size() - start, ChunkUnits + 1) : 0);
}

bool SameChunk(const NameChunkRow& a, const NameChunkRow& b) {
    return a.key == b.key && a.rest == b.rest;
}

bool ChunkLess(const NameChunkRow& a, const NameChunkRow& b) {
    return a.key != b.key ? a.key < b.key : a.rest < b.rest;
}

// Sorts by one chunk, then each run that agrees on it and goes on by the next chunk.
void SortNameChunks(NameChunkRow* begin, NameChunkRow* end, const FileTable& table,
                    std::size_t depth) {
    for (NameChunkRow* r = begin; r != end; ++r) LoadNameChunk(*r, table, depth);
    std::sort(begin, end,
              [](const NameChunkRow& a, const NameChunkRow& b) { return ChunkLess(a, b); });
    for (NameChunkRow* run = begin; run != end;) {
        NameChunkRow* runEnd = run + 1;
        while (runEnd != end && SameChunk(*run, *runEnd)) ++runEnd;
        if (runEnd - run > 1 && run->rest > ChunkUnits)
            SortNameChunks(run, runEnd, table, depth + 1);
        run = runEnd;
    }
}

uint64_t NumberKey(const FileEntry& entry, SortKey key) {
    switch (key) {
        case SortKey::Size:
            // Flipping the sign bit makes unsigned order agree with signed order.
            return static_cast<uint64_t>(entry.SizeKilobytes()) ^ (uint64_t{1} << 63);
        case SortKey::Created:
            return entry.Created;
        case SortKey::Modified:
            return entry.Modified;
        case SortKey::Name:
            break;
    }
    return 0;
}

// Ranks the rows of the table in the key's Up order: folders first, each kind in key order.
// IsFolder is 0 or 1 (the walk writes nothing else), so it counts the folders.
void RankInUpOrder(const FileTable& table, SortKey key, SortRank& rank) {
    std::size_t folderCount = 0;
    for (const FileEntry& entry : table) folderCount += entry.IsFolder;
    if (key == SortKey::Name) {
        std::vector<NameChunkRow> rows(table.Size());
        // Folders fill the front, files the back.
        std::size_t nextFolder = 0;
        std::size_t nextFile = folderCount;
        for (std::size_t i = 0; i < table.Size(); ++i)
            rows[table[i].IsFolder ? nextFolder++ : nextFile++].row = static_cast<uint32_t>(i);
        SortNameChunks(rows.data(), rows.data() + folderCount, table, 0);
        SortNameChunks(rows.data() + folderCount, rows.data() + rows.size(), table, 0);
        for (std::size_t position = 0; position < rows.size(); ++position)
            rank[rows[position].row] = static_cast<uint32_t>(position);
        return;
    }
    // Sorted in place: a radix sort's scratch of the same size would be the peak of the publish.
    std::vector<NumberedRow> rows(table.Size());
    std::size_t nextFolder = 0;
    std::size_t nextFile = folderCount;
    for (std::size_t i = 0; i < table.Size(); ++i) {
        rows[table[i].IsFolder ? nextFolder++ : nextFile++] =
            NumberedRow{NumberKey(table[i], key), static_cast<uint32_t>(i)};
    }
    auto byKey = [](const NumberedRow& a, const NumberedRow& b) { return a.key < b.key; };
    std::sort(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(folderCount), byKey);
    std::sort(rows.begin() + static_cast<std::ptrdiff_t>(folderCount), rows.end(), byKey);
    for (std::size_t position = 0; position < rows.size(); ++position)
        rank[rows[position].row] = static_cast<uint32_t>(position);
}

}  // namespace

std::size_t SortRanks::BytesUsed() const {
    std::size_t bytes = 0;
    for (const SortRank& rank : byKey) bytes += rank.capacity() * sizeof(uint32_t);
    return bytes;
}

SortRank BuildSortRank(const FileTable& table, SortKey key) {
    SortRank rank(table.Size());
    RankInUpOrder(table, key, rank);
    return rank;
}

namespace {

// Many rows of the table: each is put at its place in an array of the table's size, which is
// then read in order. Returns false, leaving `rows` as they were, when two rows claim one place
// (a view that holds a row twice).
bool PlaceRows(std::vector<uint32_t>& rows, const SortRank& rank) {
    // Row numbers are below the table's size, which is below 2^32, so this marks an empty place.
    constexpr uint32_t Empty = UINT32_MAX;
    const std::size_t places = rank.size();
    std::unique_ptr<uint32_t[]> placed(new uint32_t[places]);
    std::fill(placed.get(), placed.get() + places, Empty);
    bool clash = false;
    for (const uint32_t row : rows) {
        uint32_t& place = placed[rank[row]];
        clash |= place != Empty;
        place = row;
    }
    if (clash) return false;
    std::size_t next = 0;
    for (std::size_t place = 0; place < places; ++place) {
        if (placed[place] != Empty) rows[next++] = placed[place];
    }
    return true;
}

}  // namespace

void SortRowsByRank(std::vector<uint32_t>& rows, const SortRank& rank) {
    if (rows.size() * 4 >= rank.size() && PlaceRows(rows, rank)) return;
    // Rank and row in one word, the rank above: sorting the words by the rank bits alone sorts
    // the rows, and each radix pass moves eight bytes an item. The buffers are not kept: a sort
    // is rare next to the memory they would hold.
    const std::size_t count = rows.size();
    std::unique_ptr<uint64_t[]> items(new uint64_t[count]);
    std::unique_ptr<uint64_t[]> scratch(new uint64_t[count]);
    uint32_t highest = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const uint32_t place = rank[rows[i]];
        highest = std::max(highest, place);
        items[i] = uint64_t{place} << 32 | rows[i];
    }
    constexpr int DigitBits = 12;
    constexpr uint64_t DigitMask = (uint64_t{1} << DigitBits) - 1;
    std::vector<std::size_t> starts(DigitMask + 1);
    const int rankBits = std::bit_width(highest);
    for (int shift = 32; shift < 32 + rankBits; shift += DigitBits) {
        std::fill(starts.begin(), starts.end(), 0);
        for (std::size_t i = 0; i < count; ++i) ++starts[(items[i] >> shift) & DigitMask];
        std::size_t total = 0;
        for (std::size_t& start : starts) {
            const std::size_t digitCount = start;
            start = total;
            total += digitCount;
        }
        for (std::size_t i = 0; i < count; ++i)
            scratch[starts[(items[i] >> shift) & DigitMask]++] = items[i];
        items.swap(scratch);
    }
    for (std::size_t i = 0; i < count; ++i) rows[i] = static_cast<uint32_t>(items[i]);
}
