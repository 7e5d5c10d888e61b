// Dropping repeats from a list while keeping the first of each in its place, in n log n
// comparisons: a record may carry tens of thousands of names through its extension records.
#pragma once

#include <algorithm>
#include <cstdint>
#include <numeric>
#include <vector>

// Removes every item that is equivalent under `less` to an earlier one; the rest keep their
// order. `less` is a strict weak ordering.
template <class Item, class Less>
void KeepFirstOfEach(std::vector<Item>& items, Less less) {
    if (items.size() < 2) return;
    std::vector<uint32_t> order(items.size());
    std::iota(order.begin(), order.end(), 0u);
    // Stable, so that among equivalent items the first comes first.
    std::stable_sort(order.begin(), order.end(),
                     [&](uint32_t a, uint32_t b) { return less(items[a], items[b]); });
    std::vector<uint8_t> keep(items.size(), 0);
    keep[order[0]] = 1;
    for (std::size_t i = 1; i < order.size(); ++i)
        if (less(items[order[i - 1]], items[order[i]])) keep[order[i]] = 1;
    std::size_t out = 0;
    for (std::size_t i = 0; i < items.size(); ++i)
        if (keep[i]) items[out++] = items[i];
    items.resize(out);
}
