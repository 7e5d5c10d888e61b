#include "results/published_table.h"

#include <system_error>

PublishedTable::PublishedTable() : ready_(true) {}

PublishedTable::PublishedTable(FileTable table) : table_(std::move(table)) {
    try {
        maker_ = std::thread([this] { MakeRanks(); });
    } catch (const std::system_error&) {
        // No thread to spare: the ranks are made before the table is handed out.
        MakeRanks();
    }
}

PublishedTable::~PublishedTable() {
    if (maker_.joinable()) maker_.join();
}

void PublishedTable::MakeRanks() {
    SortRanks ranks;
    // The name rank, the longest, first: a sort by name is the likeliest first sort.
    for (SortKey key : {SortKey::Name, SortKey::Size, SortKey::Modified, SortKey::Created})
        ranks.Of(key) = BuildSortRank(table_, key);
    std::lock_guard<std::mutex> lock(mutex_);
    ranks_ = std::move(ranks);
    ready_ = true;
    made_.notify_all();
}

const SortRanks& PublishedTable::Ranks() const {
    std::unique_lock<std::mutex> lock(mutex_);
    made_.wait(lock, [this] { return ready_; });
    return ranks_;
}
