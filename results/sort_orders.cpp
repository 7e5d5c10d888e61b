#include "results/sort_orders.h"

#include <algorithm>
#include <cstdint>
#include <memory>

#include "results/ordering.h"

namespace {

// Twelve bytes, packed: a number order, like the name order below, is made beside the whole table.
struct [[gnu::packed]] NumberedRow {
    uint64_t key;
    uint32_t row;
};
static_assert(sizeof(NumberedRow) == 12);

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

// Sorts by one chunk, then each run that agrees on it and goes on by the next chunk.
void SortNameChunks(NameChunkRow* begin, NameChunkRow* end, const FileTable& table,
                    std::size_t depth) {
    for (NameChunkRow* r = begin; r != end; ++r) LoadNameChunk(*r, table, depth);
    std::sort(begin, end, ChunkLess);
    for (NameChunkRow* run = begin; run != end;) {
        NameChunkRow* runEnd = run + 1;
        while (runEnd != end && !ChunkLess(*run, *runEnd)) ++runEnd;
        if (runEnd - run > 1 && run->rest > ChunkBytes) {
            SortNameChunks(run, runEnd, table, depth + 1);
        } else if (runEnd - run > 1) {
            // Equal names stand in table order, so an order is the same however it was made.
            std::sort(run, runEnd,
                      [](const NameChunkRow& a, const NameChunkRow& b) { return a.row < b.row; });
        }
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
    // Sorted in place: a radix sort's scratch of the same size would be the peak of the publish.
    std::vector<NumberedRow> rows(table.Size());
    std::size_t nextFolder = 0;
    std::size_t nextFile = folderCount;
    for (std::size_t i = 0; i < table.Size(); ++i) {
        rows[table[i].isFolder ? nextFolder++ : nextFile++] =
            NumberedRow{NumberKey(table[i], key), static_cast<uint32_t>(i)};
    }
    // Equal keys stand in table order, so an order is the same however it was made.
    auto byKey = [](const NumberedRow& a, const NumberedRow& b) {
        return a.key != b.key ? a.key < b.key : a.row < b.row;
    };
    std::sort(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(folderCount), byKey);
    std::sort(rows.begin() + static_cast<std::ptrdiff_t>(folderCount), rows.end(), byKey);
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
