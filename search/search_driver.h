// Searching the published table: a query text becomes the rows of a ResultSet.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "index/file_table.h"
#include "results/result_set.h"
#include "search/folded_table.h"
#include "search/query.h"

// A table as the search sees it: the table and its folded columns, built together when the table
// is published and never changed afterwards.
struct SearchableTable {
    FileTable table;
    FoldedTable columns;
};

// Publishes a freshly built table: its search columns are folded here, once, so that no
// keystroke pays for them.
SearchableTable Publish(FileTable table);

// How a parsed query is run over the folded columns.
struct ScanPlan {
    bool impossible = false;  // an empty exclusion holds for no entry
    bool anyDrive = false;
    // The longest text is likely the rarest, so its occurrences drive the scan; empty when every
    // entry must be tested.
    std::u16string needle;
    const QueryTerm* scanned = nullptr;  // the term the needle settles, if it settles one
};
ScanPlan PlanScan(const ParsedQuery& query);

// Appends to `hits`, in table order, the row number of every entry that holds for the query and
// the type filter (a TypeCategory; 0 lets every type pass).
void CollectHits(const FoldedTable& columns, const ParsedQuery& query, const ScanPlan& plan,
                 int32_t typeFilter, std::vector<uint32_t>& hits);

// Refills `results` (which shows `searchable.table`), in table order, with every entry that
// matches the query text and the view's type filter; returns the number of hits.
std::size_t RunSearch(const SearchableTable& searchable, std::u16string_view queryText,
                      ResultSet& results);
