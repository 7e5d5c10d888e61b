#include "index/format_count.h"

std::u16string FormatCount(uint64_t value) {
    char16_t digits[32];
    int length = 0;
    do {
        digits[length++] = static_cast<char16_t>(u'0' + value % 10);
        value /= 10;
    } while (value != 0);
    std::u16string text;
    text.reserve(length + length / 3);
    for (int i = length - 1; i >= 0; --i) {
        text.push_back(digits[i]);
        if (i > 0 && i % 3 == 0) text.push_back(u',');
    }
    return text;
}

std::u16string FormatCount(int64_t value) {
    if (value >= 0) return FormatCount(static_cast<uint64_t>(value));
    // Negative counts never occur in the program; keep the sign in front of the groups.
    std::u16string text = FormatCount(0 - static_cast<uint64_t>(value));
    text.insert(text.begin(), u'-');
    return text;
}
