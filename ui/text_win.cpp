#include "ui/text_win.h"

#include <climits>

std::string ToAnsi(std::u16string_view text) {
    if (text.empty() || text.size() > INT_MAX) return {};
    const int length = static_cast<int>(text.size());
    const int bytes =
        WideCharToMultiByte(CP_ACP, 0, Wide(text.data()), length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return {};
    std::string narrow(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, Wide(text.data()), length, narrow.data(), bytes, nullptr,
                        nullptr);
    return narrow;
}
