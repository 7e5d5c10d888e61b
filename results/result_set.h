// The rows the list shows: row numbers into a published table, in display order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "index/file_table.h"
#include "results/published_table.h"

// A view of a published table. It shares the table it shows, so no table can be freed or
// replaced under it.
class ResultSet {
  public:
    ResultSet();
    explicit ResultSet(std::shared_ptr<const PublishedTable> table) { Attach(std::move(table)); }

    // Shows `table`, with no rows yet.
    void Attach(std::shared_ptr<const PublishedTable> table);
    const FileTable& Table() const { return published_->Table(); }
    const SortOrder& Order(SortKey key) const { return published_->Order(key); }
    const SortOrders& Orders() const { return published_->Orders(); }
    const std::shared_ptr<const PublishedTable>& Published() const { return published_; }

    std::size_t Size() const { return rows_.size(); }
    bool Empty() const { return rows_.empty(); }
    // The table's row number shown at position `position`.
    uint32_t RowNumber(std::size_t position) const { return rows_[position]; }
    const std::vector<uint32_t>& RowNumbers() const { return rows_; }

    // Every row of the table, in table order.
    void ShowAll();
    // Hands out the rows as they stand, for a refill or a reorder that gives them back with
    // ShowRows; the buffer's capacity carries over from one search to the next.
    std::vector<uint32_t> TakeRows() { return std::move(rows_); }
    void ShowRows(std::vector<uint32_t> rows) { rows_ = std::move(rows); }

    // The TypeCategory chosen in the Search menu; 0 lets every type pass.
    int32_t TypeFilter() const { return typeFilter_; }
    void SetTypeFilter(int32_t category) { typeFilter_ = category; }

    // The row buffers of the search's further slices, kept between searches.
    std::vector<std::vector<uint32_t>>& SliceScratch() { return sliceScratch_; }

  private:
    std::shared_ptr<const PublishedTable> published_;
    std::vector<uint32_t> rows_;
    std::vector<std::vector<uint32_t>> sliceScratch_;
    int32_t typeFilter_ = 0;
};
