// The query rules applied to one entry at a time: the reference the scan over the folded columns
// is checked against in the tests and benchmarks. The program itself searches with RunSearch.
#pragma once

#include <cstdint>

#include "index/file_entry.h"
#include "search/query.h"

// Whether `entry` is a hit for `query` and the type filter (a TypeCategory; 0 lets every type
// pass).
bool MatchEntry(const FileEntry& entry, const ParsedQuery& query, int32_t typeFilter);
