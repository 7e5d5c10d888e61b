#include "results/published_table.h"

#include <system_error>

PublishedTable::PublishedTable() : ready_(true) {}

PublishedTable::PublishedTable(FileTable table) : table_(std::move(table)) {
    try {
        maker_ = std::thread([this] { MakeOrders(); });
    } catch (const std::system_error&) {
        // No thread to spare: the orders are made before the table is handed out.
        MakeOrders();
    }
}

PublishedTable::~PublishedTable() {
    if (maker_.joinable()) maker_.join();
}

void PublishedTable::MakeOrders() {
    SortOrders orders;
    // The name order, the longest to make, first: a sort by name is the likeliest first sort.
    for (SortKey key : {SortKey::Name, SortKey::Size, SortKey::Modified, SortKey::Created})
        orders.Of(key) = BuildSortOrder(table_, key);
    std::lock_guard<std::mutex> lock(mutex_);
    orders_ = std::move(orders);
    ready_ = true;
    made_.notify_all();
}

const SortOrders& PublishedTable::Orders() const {
    std::unique_lock<std::mutex> lock(mutex_);
    made_.wait(lock, [this] { return ready_; });
    return orders_;
}
