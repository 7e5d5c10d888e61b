// The query rules applied to one entry at a time: the reference the scan over the folded columns
// is checked against in the tests and benchmarks. The program itself searches with RunSearch.
#pragma once

#include <cstdint>

#include "index/file_table.h"
#include "search/query.h"

// Whether row `row` of `table` is a hit for `query` and the type filter (a TypeCategory; 0 lets
// every type pass).
bool MatchEntry(const FileTable& table, uint32_t row, const ParsedQuery& query, int32_t typeFilter);
