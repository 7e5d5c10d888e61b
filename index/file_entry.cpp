#include "index/file_entry.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr std::size_t ArenaChunkUnits = 1 << 20;
}

char16_t* TextArena::Reserve(std::size_t units) {
    if (units > left_) {
        std::size_t size = std::max(units, ArenaChunkUnits);
        chunks_.push_back(std::make_unique<char16_t[]>(size));
        next_ = chunks_.back().get();
        left_ = size;
        bytesUsed_ += size * sizeof(char16_t);
    }
    char16_t* out = next_;
    next_ += units;
    left_ -= units;
    return out;
}

const char16_t* TextArena::Store(std::u16string_view text) {
    return Store(text, {}, {});
}

const char16_t* TextArena::Store(std::u16string_view first, std::u16string_view second,
                                 std::u16string_view third) {
    std::size_t total = first.size() + second.size() + third.size();
    if (total == 0) return u"";
    char16_t* out = Reserve(total);
    std::copy(first.begin(), first.end(), out);
    std::copy(second.begin(), second.end(), out + first.size());
    std::copy(third.begin(), third.end(), out + first.size() + second.size());
    return out;
}

void FileEntry::SetOwnTexts(TextArena& arena, std::u16string_view name,
                            std::u16string_view extension, std::u16string_view sizeText) {
    // NTFS names hold at most 255 units, extensions at most 5, size texts at most 29.
    name = name.substr(0, 255);
    extension = extension.substr(0, 255);
    sizeText = sizeText.substr(0, 255);
    ownText_ = arena.Store(name, extension, sizeText);
    nameLength_ = static_cast<uint8_t>(name.size());
    extensionLength_ = static_cast<uint8_t>(extension.size());
    sizeLength_ = static_cast<uint8_t>(sizeText.size());
}

std::u16string FileEntry::FullPath() const {
    std::u16string path;
    path.reserve(folderLength_ + 1 + nameLength_);
    path.append(FolderPath());
    path.push_back(u'\\');
    path.append(Name());
    return path;
}

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

void AppendUtf8(std::string& out, std::u16string_view text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
}

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    AppendUtf8(out, text);
    return out;
}

std::u16string FromUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        unsigned char b = static_cast<unsigned char>(text[i]);
        uint32_t c = 0xFFFD;
        std::size_t extra = b < 0x80         ? 0
                            : (b >> 5) == 6  ? 1
                            : (b >> 4) == 14 ? 2
                            : (b >> 3) == 30 ? 3
                                             : 9;
        if (extra == 0) {
            c = b;
        } else if (extra <= 3 && i + extra < text.size()) {
            c = b & (0x3F >> extra);
            bool valid = true;
            for (std::size_t k = 1; k <= extra; ++k) {
                unsigned char t = static_cast<unsigned char>(text[i + k]);
                if ((t & 0xC0) != 0x80) {
                    valid = false;
                    break;
                }
                c = (c << 6) | (t & 0x3F);
            }
            if (!valid) {
                c = 0xFFFD;
                extra = 0;
            }
        } else {
            extra = 0;
        }
        i += extra + 1;
        if (c >= 0x10000 && c <= 0x10FFFF) {
            c -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c > 0x10FFFF ? 0xFFFD : c));
        }
    }
    return out;
}
