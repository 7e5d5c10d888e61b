// Counts as the program shows them.
#pragma once

#include <cstdint>
#include <string>

// Decimal text with a comma before every group of three digits counted from the right.
std::u16string FormatCount(int64_t value);
std::u16string FormatCount(uint64_t value);
inline std::u16string FormatCount(int value) {
    return FormatCount(static_cast<int64_t>(value));
}
