#include "results/result_set.h"

#include <numeric>

const FileTable ResultSet::EmptyTable;

void ResultSet::ShowAll() {
    rows_.resize(table_->Size());
    std::iota(rows_.begin(), rows_.end(), uint32_t{0});
}

void ResultSet::Reorder(std::vector<uint32_t>& order) {
    for (uint32_t& position : order) position = rows_[position];
    rows_.swap(order);
}
