#include "search/text_search.h"

namespace {

bool SameFolded(const char16_t* text, const char16_t* folded, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (FoldUnit(text[i]) != folded[i]) return false;
    }
    return true;
}

}  // namespace

bool ContainsFolded(std::u16string_view text, std::u16string_view foldedNeedle) {
    const std::size_t length = foldedNeedle.size();
    if (length == 0) return true;
    if (length > text.size()) return false;
    for (std::size_t i = 0; i + length <= text.size(); ++i) {
        if (FoldUnit(text[i]) == foldedNeedle[0] &&
            SameFolded(text.data() + i, foldedNeedle.data(), length)) {
            return true;
        }
    }
    return false;
}

bool StartsWithFolded(std::u16string_view text, std::u16string_view foldedPrefix) {
    return foldedPrefix.size() <= text.size() &&
           SameFolded(text.data(), foldedPrefix.data(), foldedPrefix.size());
}

bool EndsWithFolded(std::u16string_view text, std::u16string_view foldedSuffix) {
    return foldedSuffix.size() <= text.size() &&
           SameFolded(text.data() + text.size() - foldedSuffix.size(), foldedSuffix.data(),
                      foldedSuffix.size());
}
