#include "search/folded_table.h"

#include <algorithm>
#include <unordered_map>

#include "search/text_search.h"

namespace {

struct SampledEntry {
    const char16_t* name;
    const char16_t* folder;
    std::size_t folderLength;
    int32_t category;
    bool operator==(const SampledEntry&) const = default;
};

struct TableIdentity {
    const FileEntry* data = nullptr;
    std::size_t size = 0;
    std::vector<SampledEntry> samples;
    bool operator==(const TableIdentity&) const = default;
};

constexpr std::size_t SampleCount = 256;

TableIdentity IdentityOf(const std::vector<FileEntry>& table) {
    TableIdentity identity{table.data(), table.size(), {}};
    const std::size_t count = std::min(SampleCount, table.size());
    identity.samples.reserve(count);
    for (std::size_t k = 0; k < count; ++k) {
        const FileEntry& entry =
            table[count == table.size() ? k : k * (table.size() - 1) / (count - 1)];
        identity.samples.push_back({entry.Name().data(), entry.FolderPath().data(),
                                    entry.FolderPath().size(), entry.Category});
    }
    return identity;
}

void AppendFolded(std::vector<char16_t>& buffer, std::u16string_view text) {
    for (char16_t unit : text) buffer.push_back(FoldUnit(unit));
    buffer.push_back(u' ');
}

struct FolderKey {
    const char16_t* text;
    std::size_t length;
    bool operator==(const FolderKey&) const = default;
};

struct FolderKeyHash {
    std::size_t operator()(const FolderKey& key) const {
        return std::hash<const void*>()(key.text) ^ (key.length * 0x9E3779B97F4A7C15ull);
    }
};

void Build(FoldedTable& out, const std::vector<FileEntry>& table) {
    out = FoldedTable();
    std::size_t nameUnits = 0;
    for (const FileEntry& entry : table) nameUnits += entry.Name().size() + 1;
    out.names.reserve(nameUnits);
    out.nameStart.reserve(table.size() + 1);
    out.category.reserve(table.size());
    out.folderOf.reserve(table.size());

    // Entries of one folder share their folder text, so the text's address identifies it.
    std::unordered_map<FolderKey, uint32_t, FolderKeyHash> folderIndex;
    FolderKey lastKey{nullptr, 0};
    uint32_t lastFolder = 0;
    for (const FileEntry& entry : table) {
        out.nameStart.push_back(static_cast<uint32_t>(out.names.size()));
        AppendFolded(out.names, entry.Name());
        out.category.push_back(entry.Category);

        const std::u16string_view folder = entry.FolderPath();
        const FolderKey key{folder.data(), folder.size()};
        if (out.folderOf.empty() || !(key == lastKey)) {
            auto [it, added] =
                folderIndex.try_emplace(key, static_cast<uint32_t>(out.folderStart.size()));
            if (added) {
                out.folderStart.push_back(static_cast<uint32_t>(out.folders.size()));
                AppendFolded(out.folders, folder);
            }
            lastKey = key;
            lastFolder = it->second;
        }
        out.folderOf.push_back(lastFolder);
    }
    out.nameStart.push_back(static_cast<uint32_t>(out.names.size()));
    out.folderStart.push_back(static_cast<uint32_t>(out.folders.size()));
}

}  // namespace

namespace {

// The last index whose start is at or before `position`, looking from `from` on. Successive
// matches usually lie close together, so the search gallops from `from` before it bisects.
std::size_t IndexAt(const std::vector<uint32_t>& starts, std::size_t position, std::size_t from) {
    std::size_t low = from;
    std::size_t step = 1;
    std::size_t high = from + 1;
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

std::size_t FoldedTable::EntryAt(std::size_t position, std::size_t from) const {
    return IndexAt(nameStart, position, from);
}

std::size_t FoldedTable::FolderAt(std::size_t position, std::size_t from) const {
    return IndexAt(folderStart, position, from);
}

const FoldedTable& FoldedColumns(const std::vector<FileEntry>& table) {
    static FoldedTable columns;
    static TableIdentity builtFor;
    static bool built = false;
    TableIdentity identity = IdentityOf(table);
    if (!built || !(identity == builtFor)) {
        Build(columns, table);
        builtFor = std::move(identity);
        built = true;
    }
    return columns;
}
