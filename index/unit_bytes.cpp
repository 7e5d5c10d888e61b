#include "index/unit_bytes.h"

char* WriteUnitBytes(char* out, std::u16string_view text) {
    for (char16_t unit : text) {
        const unsigned value = unit;
        if (value < 0x80) {
            *out++ = static_cast<char>(value);
        } else if (value < 0x800) {
            *out++ = static_cast<char>(0xC0 | value >> 6);
            *out++ = static_cast<char>(0x80 | (value & 0x3F));
        } else {
            *out++ = static_cast<char>(0xE0 | value >> 12);
            *out++ = static_cast<char>(0x80 | ((value >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (value & 0x3F));
        }
    }
    return out;
}

void AppendUnitBytes(std::string& out, std::u16string_view text) {
    const std::size_t at = out.size();
    out.resize(at + UnitBytesLength(text));
    WriteUnitBytes(out.data() + at, text);
}

void AppendUnits(std::u16string& out, std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        auto next = [&](std::size_t k) {
            return i + k < bytes.size() ? static_cast<unsigned char>(bytes[i + k]) & 0x3Fu : 0u;
        };
        if (lead < 0x80) {
            out.push_back(static_cast<char16_t>(lead));
            i += 1;
        } else if (lead < 0xE0) {
            out.push_back(static_cast<char16_t>((lead & 0x1Fu) << 6 | next(1)));
            i += 2;
        } else {
            out.push_back(static_cast<char16_t>((lead & 0x0Fu) << 12 | next(1) << 6 | next(2)));
            i += 3;
        }
    }
}

std::u16string UnitsOf(std::string_view bytes) {
    std::u16string out;
    out.reserve(bytes.size());
    AppendUnits(out, bytes);
    return out;
}
