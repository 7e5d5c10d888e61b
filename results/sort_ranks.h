// The place of every entry in each sort order of the whole table, so that a sort of any rows
// orders small integers instead of comparing texts or wide keys.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "index/file_table.h"

// The keys the orderings sort by.
enum class SortKey { Name, Size, Created, Modified };
constexpr int SortKeyCount = 4;

// For one key: rank[row] is the row's position in the whole table sorted by the key's Up
// ordering (rows the ordering finds equivalent take consecutive positions in any order). Rows
// sorted by rank are in Up order; read backwards, in Down order, its mirror.
using SortRank = std::vector<uint32_t>;

struct SortRanks {
    SortRank byKey[SortKeyCount];

    const SortRank& Of(SortKey key) const { return byKey[static_cast<int>(key)]; }
    SortRank& Of(SortKey key) { return byKey[static_cast<int>(key)]; }
    std::size_t BytesUsed() const;
};

SortRank BuildSortRank(const FileTable& table, SortKey key);

// Sorts `rows` (row numbers of the table `rank` was built for) by rank, ascending.
void SortRowsByRank(std::vector<uint32_t>& rows, const SortRank& rank);
