// Substring tests over UTF-16 names with the search's ASCII-only case folding.
#pragma once

#include <cstddef>
#include <string_view>

inline char16_t FoldUnit(char16_t unit) {
    return unit >= u'a' && unit <= u'z' ? static_cast<char16_t>(unit - (u'a' - u'A')) : unit;
}

// These fold `text` on the fly; `foldedNeedle` must already be folded.
bool ContainsFolded(std::u16string_view text, std::u16string_view foldedNeedle);
bool StartsWithFolded(std::u16string_view text, std::u16string_view foldedPrefix);
bool EndsWithFolded(std::u16string_view text, std::u16string_view foldedSuffix);
