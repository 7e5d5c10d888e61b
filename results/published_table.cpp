#include "results/published_table.h"

#include <algorithm>
#include <system_error>

namespace {

// The name order, the longest to make, first: a sort by name is the likeliest first sort.
constexpr SortKey MakingOrder[SortKeyCount] = {SortKey::Name, SortKey::Size, SortKey::Modified,
                                               SortKey::Created};

int PlaceInMaking(SortKey key) {
    return static_cast<int>(std::find(MakingOrder, MakingOrder + SortKeyCount, key) - MakingOrder);
}

}  // namespace

PublishedTable::PublishedTable() : madeCount_(SortKeyCount) {}

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
    for (int place = 0; place < SortKeyCount; ++place) {
        const SortKey key = MakingOrder[place];
        // Made apart from the lock: the vector that takes it is not read until it is counted.
        SortOrder order = BuildSortOrder(table_, key);
        std::lock_guard<std::mutex> lock(mutex_);
        orders_.Of(key) = std::move(order);
        madeCount_ = place + 1;
        made_.notify_all();
    }
}

const SortOrder& PublishedTable::Order(SortKey key) const {
    const int place = PlaceInMaking(key);
    std::unique_lock<std::mutex> lock(mutex_);
    made_.wait(lock, [&] { return madeCount_ > place; });
    return orders_.Of(key);
}

const SortOrders& PublishedTable::Orders() const {
    std::unique_lock<std::mutex> lock(mutex_);
    made_.wait(lock, [this] { return madeCount_ == SortKeyCount; });
    return orders_;
}
