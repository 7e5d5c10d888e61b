// A table as the searches and the sorts see it: the table, and its sort orders made beside it.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

#include "index/file_table.h"
#include "results/sort_orders.h"

// Never changed once made. The table can be searched at once; its sort orders are made on a
// thread of their own, so that the first keystroke does not wait for them, and a sort that comes
// before its order is made waits for that order alone.
class PublishedTable {
  public:
    PublishedTable();
    explicit PublishedTable(FileTable table);
    ~PublishedTable();
    PublishedTable(const PublishedTable&) = delete;
    PublishedTable& operator=(const PublishedTable&) = delete;

    const FileTable& Table() const { return table_; }
    // Waits until the key's order is made.
    const SortOrder& Order(SortKey key) const;
    // Waits until every order is made.
    const SortOrders& Orders() const;

  private:
    void MakeOrders();

    FileTable table_;
    SortOrders orders_;
    mutable std::mutex mutex_;
    mutable std::condition_variable made_;
    int madeCount_ = 0;  // the first this many of MakingOrder are made
    std::thread maker_;
};
