#include "results/result_set.h"

#include <numeric>

ResultSet::ResultSet() : published_(std::make_shared<const PublishedTable>()) {}

void ResultSet::Attach(std::shared_ptr<const PublishedTable> table) {
    published_ = table ? std::move(table) : std::make_shared<const PublishedTable>();
    rows_.clear();
}

void ResultSet::ShowAll() {
    rows_.resize(Table().Size());
    std::iota(rows_.begin(), rows_.end(), uint32_t{0});
}
