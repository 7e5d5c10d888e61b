// The program's texts are char16_t; the system's wide texts are the same 16-bit units.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t expected");

inline const wchar_t* Wide(const char16_t* text) {
    return reinterpret_cast<const wchar_t*>(text);
}
inline const wchar_t* Wide(const std::u16string& text) {
    return Wide(text.c_str());
}
inline std::u16string_view Utf16(const wchar_t* text, std::size_t length) {
    return {reinterpret_cast<const char16_t*>(text), length};
}

// The text in the system ANSI code page; characters it cannot hold become the default character.
std::string ToAnsi(std::u16string_view text);
