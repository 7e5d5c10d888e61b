// The byte form in which the table stores its texts: each UTF-16 unit as the UTF-8 form of its
// value, surrogates included, so every name (even one with a lone surrogate) comes back exactly.
// Lead bytes and continuation bytes never look alike, so a text matches another at a byte
// exactly where it matches at a unit, and byte order is unit order: searches and name sorts work
// on the bytes as they are.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

inline std::size_t UnitBytesLength(std::u16string_view text) {
    std::size_t length = 0;
    for (char16_t unit : text) length += unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
    return length;
}
// Writes the bytes of `text` at `out` and returns the end.
char* WriteUnitBytes(char* out, std::u16string_view text);
void AppendUnitBytes(std::string& out, std::u16string_view text);
// The units back; `bytes` must be a whole text made by the functions above.
std::u16string UnitsOf(std::string_view bytes);
void AppendUnits(std::u16string& out, std::string_view bytes);
