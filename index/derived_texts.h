// Display texts derived from the raw values of a record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Kilobytes rounded up.
int64_t KilobytesFor(uint64_t bytes);
// KilobytesFor, grouped by FormatCount, then " KB". Counts beyond 32 bits stay exact.
std::u16string SizeTextFor(uint64_t bytes);

// "ISDIR" for a folder; else the ASCII-upper-cased text after the last dot when it is shorter
// than 5 units, "NOEXT" when there is no dot or the text is longer.
std::u16string ExtensionFor(std::u16string_view name, bool isFolder);
