#include "search/folded_table.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "search/text_search.h"

namespace {

std::size_t FoldedLength(std::u16string_view text) {
    std::size_t length = 0;
    for (char16_t unit : text) length += unit < 0x80 ? 1 : unit < 0x800 ? 2 : 3;
    return length;
}

char* WriteFolded(char* out, std::u16string_view text) {
    for (char16_t unit : text) {
        const unsigned folded = FoldUnit(unit);
        if (folded < 0x80) {
            *out++ = static_cast<char>(folded);
        } else if (folded < 0x800) {
            *out++ = static_cast<char>(0xC0 | folded >> 6);
            *out++ = static_cast<char>(0x80 | (folded & 0x3F));
        } else {
            *out++ = static_cast<char>(0xE0 | folded >> 12);
            *out++ = static_cast<char>(0x80 | ((folded >> 6) & 0x3F));
            *out++ = static_cast<char>(0x80 | (folded & 0x3F));
        }
    }
    return out;
}

// Folder texts by address, open addressing: the build looks one up per entry, and a node-based
// map costs an allocation per folder and a cache miss per probe.
class FolderIndex {
  public:
    // The folder's index, and whether it was new.
    std::pair<uint32_t, bool> Find(const char16_t* text, std::size_t length, uint32_t next) {
        if ((used_ + 1) * 2 > slots_.size()) Grow();
        std::size_t at = SlotOf(text, length);
        while (slots_[at].folder != Empty) {
            if (slots_[at].text == text && slots_[at].length == length)
                return {slots_[at].folder, false};
            at = (at + 1) & (slots_.size() - 1);
        }
        slots_[at] = {text, static_cast<uint32_t>(length), next};
        ++used_;
        return {next, true};
    }

  private:
    static constexpr uint32_t Empty = UINT32_MAX;
    // Sixteen bytes, so that a probe, usually a cache miss, touches one line.
    struct Slot {
        const char16_t* text = nullptr;
        uint32_t length = 0;
        uint32_t folder = Empty;
    };
    std::size_t SlotOf(const char16_t* text, std::size_t length) const {
        const uint64_t key = reinterpret_cast<uintptr_t>(text) ^ (uint64_t{length} << 48);
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 20) & (slots_.size() - 1);
    }
    void Grow() {
        std::vector<Slot> old = std::move(slots_);
        slots_.assign(old.empty() ? 1024 : old.size() * 2, Slot());
        for (const Slot& slot : old) {
            if (slot.folder == Empty) continue;
            std::size_t at = SlotOf(slot.text, slot.length);
            while (slots_[at].folder != Empty) at = (at + 1) & (slots_.size() - 1);
            slots_[at] = slot;
        }
    }
    std::vector<Slot> slots_;
    std::size_t used_ = 0;
};

void Build(FoldedTable& out, const FileTable& table) {
    const std::size_t count = table.Size();
    std::size_t nameBytes = 1;
    for (const FileEntry& entry : table) nameBytes += FoldedLength(entry.Name()) + 1;
    out.names.resize(nameBytes);
    out.nameStart.resize(count + 1);
    out.category.resize(count);
    out.folderOf.resize(count);
    out.folders.clear();
    out.folderStart.clear();

    // Entries of one folder share their folder text, so the text's address identifies it. The
    // folders are folded once all are known, into a buffer of their exact size: a buffer grown
    // by doubling would hold up to twice the bytes at the build's peak.
    FolderIndex folderIndex;
    std::vector<std::u16string_view> distinctFolders;
    const char16_t* lastText = nullptr;
    std::size_t lastLength = 0;
    uint32_t lastFolder = 0;
    char* write = out.names.data();
    *write++ = ' ';
    for (std::size_t i = 0; i < count; ++i) {
        const FileEntry& entry = table[i];
        out.nameStart[i] = static_cast<uint32_t>(write - out.names.data());
        write = WriteFolded(write, entry.Name());
        *write++ = ' ';
        out.category[i] = entry.Category < FoldedTable::OtherCategory
                              ? static_cast<uint8_t>(entry.Category)
                              : FoldedTable::OtherCategory;

        const std::u16string_view folder = entry.FolderPath();
        if (i == 0 || folder.data() != lastText || folder.size() != lastLength) {
            auto [index, added] = folderIndex.Find(folder.data(), folder.size(),
                                                   static_cast<uint32_t>(distinctFolders.size()));
            if (added) distinctFolders.push_back(folder);
            lastText = folder.data();
            lastLength = folder.size();
            lastFolder = index;
        }
        out.folderOf[i] = lastFolder;
    }
    out.nameStart[count] = static_cast<uint32_t>(out.names.size());

    std::size_t folderBytes = 0;
    for (std::u16string_view folder : distinctFolders) folderBytes += FoldedLength(folder) + 1;
    out.folders.resize(folderBytes);
    out.folderStart.resize(distinctFolders.size() + 1);
    write = out.folders.data();
    for (std::size_t f = 0; f < distinctFolders.size(); ++f) {
        out.folderStart[f] = static_cast<uint32_t>(write - out.folders.data());
        write = WriteFolded(write, distinctFolders[f]);
        *write++ = ' ';
    }
    out.folderStart[distinctFolders.size()] = static_cast<uint32_t>(out.folders.size());
}

}  // namespace

namespace {

// The last index whose start is at or before `position`, looking from `from` on. Successive
// matches usually lie in the same or the next few names, so the search steps ahead a few times
// before it gallops and bisects.
std::size_t IndexAt(const std::vector<uint32_t>& starts, std::size_t position, std::size_t from) {
    constexpr std::size_t Steps = 8;
    for (std::size_t k = from + 1; k < starts.size() && k <= from + Steps; ++k) {
        if (starts[k] > position) return k - 1;
    }
    std::size_t low = from + Steps;
    std::size_t step = 1;
    std::size_t high = low + 1;
    while (high < starts.size() && starts[high] <= position) {
        low = high;
        step *= 2;
        high = low + step;
    }
    high = std::min(high, starts.size());
    auto it = std::upper_bound(starts.begin() + static_cast<std::ptrdiff_t>(low + 1),
                               starts.begin() + static_cast<std::ptrdiff_t>(high), position);
    return static_cast<std::size_t>(it - starts.begin()) - 1;
}

}  // namespace

std::string FoldToBytes(std::u16string_view text) {
    std::string out;
    AppendFoldedBytes(out, text);
    return out;
}

void AppendFoldedBytes(std::string& out, std::u16string_view text) {
    const std::size_t at = out.size();
    out.resize(at + FoldedLength(text));
    WriteFolded(out.data() + at, text);
}

std::size_t FoldedTable::BytesUsed() const {
    return names.capacity() + nameStart.capacity() * sizeof(uint32_t) + category.capacity() +
           folderOf.capacity() * sizeof(uint32_t) + folders.capacity() +
           folderStart.capacity() * sizeof(uint32_t);
}

std::size_t FoldedTable::EntryAt(std::size_t position, std::size_t from) const {
    return IndexAt(nameStart, position, from);
}

std::size_t FoldedTable::FolderAt(std::size_t position, std::size_t from) const {
    return IndexAt(folderStart, position, from);
}

FoldedTable FoldColumns(const FileTable& table) {
    FoldedTable columns;
    Build(columns, table);
    return columns;
}
