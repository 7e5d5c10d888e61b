// Every row of the table in each sort order, made once, so that a sort of any rows picks them out
// of that order instead of comparing texts or wide keys.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "index/file_table.h"

// The keys the orderings sort by.
enum class SortKey { Name, Size, Created, Modified };
constexpr int SortKeyCount = 4;

// For one key: the table's rows in the key's Up ordering (rows the ordering finds equivalent in
// table order). Read backwards, it is the Down ordering, its mirror.
using SortOrder = std::vector<uint32_t>;

struct SortOrders {
    SortOrder byKey[SortKeyCount];

    const SortOrder& Of(SortKey key) const { return byKey[static_cast<int>(key)]; }
    SortOrder& Of(SortKey key) { return byKey[static_cast<int>(key)]; }
    std::size_t BytesUsed() const;
};

SortOrder BuildSortOrder(const FileTable& table, SortKey key);

// Sorts `rows` (row numbers of the table `order` was made for) as they stand in `order`.
void SortRowsByOrder(std::vector<uint32_t>& rows, const SortOrder& order);
