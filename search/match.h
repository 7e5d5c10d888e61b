// Whether one entry is a hit for a parsed query and the type filter.
#pragma once

#include <cstdint>

#include "index/file_entry.h"
#include "search/query.h"

// The TypeCategory chosen in the Search menu; 0 lets every type pass.
extern int32_t TypeFilter;

bool MatchEntry(const FileEntry& entry, const ParsedQuery& query);
