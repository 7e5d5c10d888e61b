// Substring tests over UTF-16 names with the search's ASCII-only case folding.
#pragma once

#include <cstddef>
#include <string_view>

inline char16_t FoldUnit(char16_t unit) {
    return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - (u'a' - u'A')) : unit;
}

// Position of the first occurrence of `needle` in `text` at or after `from`, or npos. Both are
// compared unit by unit as they are; the empty needle is found at `from`.
std::size_t FindUnits(std::u16string_view text, std::u16string_view needle, std::size_t from = 0);

// These fold `text` on the fly; `foldedNeedle` must already be folded.
bool ContainsFolded(std::u16string_view text, std::u16string_view foldedNeedle);
bool StartsWithFolded(std::u16string_view text, std::u16string_view foldedPrefix);
bool EndsWithFolded(std::u16string_view text, std::u16string_view foldedSuffix);
