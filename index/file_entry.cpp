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
