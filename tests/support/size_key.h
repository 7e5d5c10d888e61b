// The number a size text shows, read by the C library itself: how test rows get their sizes.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

// The text's last three units (" KB") go, whatever they are, and so do its commas, wherever they
// stand; the rest is read as the C library's string-to-integer conversion reads it. Units beyond
// ASCII are neither digits, signs nor white space to it.
inline int64_t SizeKey(std::u16string_view sizeText) {
    std::string narrow;
    for (char16_t unit : sizeText.substr(0, sizeText.size() >= 3 ? sizeText.size() - 3 : 0))
        if (unit != u',') narrow.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    return std::strtoll(narrow.c_str(), nullptr, 10);
}
