// The rows the list shows: row numbers into the FileTable, in display order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "index/file_table.h"

class ResultSet {
  public:
    ResultSet() = default;
    explicit ResultSet(const FileTable& table) : table_(&table) {}

    // Shows `table`, which must outlive this view, with no rows yet.
    void Attach(const FileTable& table) {
        table_ = &table;
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

    // Reorders the rows to `order`, a permutation of positions: position i takes the row at
    // order[i]. `order` receives the previous row buffer, so the next sort reuses its memory.
    void Reorder(std::vector<uint32_t>& order);
    // The buffer a sort builds its order in, kept between sorts.
    std::vector<uint32_t>& SortScratch() { return sortScratch_; }

  private:
    static const FileTable EmptyTable;
    const FileTable* table_ = &EmptyTable;
    std::vector<uint32_t> rows_;
    std::vector<uint32_t> sortScratch_;
    int32_t typeFilter_ = 0;
};
