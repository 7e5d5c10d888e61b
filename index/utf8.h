// Conversions between the core's UTF-16 texts and UTF-8.
#pragma once

#include <string>
#include <string_view>

// UTF-16 <-> UTF-8 helpers for the native tools and tests; invalid units become U+FFFD.
std::string ToUtf8(std::u16string_view text);
void AppendUtf8(std::string& out, std::u16string_view text);
std::u16string FromUtf8(std::string_view text);
