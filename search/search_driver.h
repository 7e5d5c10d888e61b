// Searching the published table: a query text becomes the rows of a ResultSet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "index/file_table.h"
#include "results/result_set.h"
#include "results/sort_orders.h"
#include "search/query.h"

// A published table: shared by every view of it, so it outlives them all.
using SearchableTable = PublishedTable;

// Publishes a freshly built table: its sort ranks are made once, beside it, so that no sort
// pays for them.
std::shared_ptr<const PublishedTable> Publish(FileTable table);

// How a parsed query is run over the folded columns.
struct ScanPlan {
    bool impossible = false;  // an empty exclusion holds for no entry
    bool anyDrive = false;
    // The longest text is likely the rarest, so its occurrences drive the scan; empty when no
    // text can drive it.
    std::string needle;
    // Whether the needle finds the entries to keep (a plain or wildcard text) or the entries to
    // drop (an exclusion's text, when no other text can drive the scan).
    bool needleExcludes = false;
    const QueryTerm* scanned = nullptr;  // the term the needle settles, if it settles one
};
ScanPlan PlanScan(const ParsedQuery& query);

// Appends to `hits`, in table order, the row number of every entry that holds for the query and
// the type filter (a TypeCategory; 0 lets every type pass). The table is cut into `sliceCount`
// slices scanned at once on the shared ScanPool; `sliceHits` keeps the other slices' buffers
// from one call to the next. The rows are the same for every slice count.
void CollectHits(const FileTable& table, const ParsedQuery& query, const ScanPlan& plan,
                 int32_t typeFilter, std::size_t sliceCount, std::vector<uint32_t>& hits,
                 std::vector<std::vector<uint32_t>>& sliceHits);

// The slice count a keystroke uses on a table of `entries` entries: one per thread of the
// ScanPool and the caller, or one when the table is too small to gain from more.
std::size_t SliceCountFor(std::size_t entries);

// Refills `results`, in table order, with every entry of the table it shows that matches the
// query text and the view's type filter; returns the number of hits.
std::size_t RunSearch(ResultSet& results, std::u16string_view queryText);
