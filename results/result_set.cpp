#include "results/result_set.h"

#include <numeric>

const FileTable ResultSet::EmptyTable;

void ResultSet::ShowAll() {
    rows_.resize(table_->Size());
    std::iota(rows_.begin(), rows_.end(), uint32_t{0});
}
