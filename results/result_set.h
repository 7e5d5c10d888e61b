// The rows the list shows: row numbers into the FileTable, in display order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "index/file_table.h"
#include "results/sort_ranks.h"

class ResultSet {
  public:
    ResultSet() = default;
    explicit ResultSet(const FileTable& table) : table_(&table) {}

    // Shows `table`, which must outlive this view, with no rows yet.
    void Attach(const FileTable& table) {
        table_ = &table;
        ranks_ = nullptr;
        rows_.clear();
    }
    const FileTable& Table() const { return *table_; }

    std::size_t Size() const { return rows_.size(); }
    bool Empty() const { return rows_.empty(); }
    // The entry shown at position `position`.
    const FileEntry& Row(std::size_t position) const { return (*table_)[rows_[position]]; }
    // Its row number in the table.
    uint32_t RowNumber(std::size_t position) const { return rows_[position]; }
    const std::vector<uint32_t>& RowNumbers() const { return rows_; }

    // Every row of the table, in table order.
    void ShowAll();
    // Hands out the row buffer, emptied, for a refill that keeps its capacity across searches.
    std::vector<uint32_t> TakeRowBuffer() {
        std::vector<uint32_t> rows = std::move(rows_);
        rows_ = {};
        rows.clear();
        return rows;
    }
    void ShowRows(std::vector<uint32_t> rows) { rows_ = std::move(rows); }

    // The TypeCategory chosen in the Search menu; 0 lets every type pass.
    int32_t TypeFilter() const { return typeFilter_; }
    void SetTypeFilter(int32_t category) { typeFilter_ = category; }

    // Hands out the rows as they stand, for a reorder that gives them back with ShowRows.
    std::vector<uint32_t> TakeRows() {
        std::vector<uint32_t> rows = std::move(rows_);
        rows_ = {};
        return rows;
    }

    // The sort ranks of the shown table, when it was published with them; sorts build what
    // they need otherwise. They must outlive this view or be replaced.
    const SortRanks* Ranks() const { return ranks_; }
    void SetRanks(const SortRanks* ranks) { ranks_ = ranks; }

    // The row buffers of the search's further slices, kept between searches.
    std::vector<std::vector<uint32_t>>& SliceScratch() { return sliceScratch_; }

  private:
    static const FileTable EmptyTable;
    const FileTable* table_ = &EmptyTable;
    std::vector<uint32_t> rows_;
    const SortRanks* ranks_ = nullptr;
    std::vector<std::vector<uint32_t>> sliceScratch_;
    int32_t typeFilter_ = 0;
};
