#include "index/file_table.h"

#include <algorithm>

#include "index/derived_texts.h"
#include "index/time_texts.h"
#include "index/unit_bytes.h"

namespace {

// Appends `text` and its closing space to `store`, and its start to `starts`.
bool AddText(std::string& store, std::vector<uint32_t>& starts, std::u16string_view text,
             std::size_t maxBytes) {
    const std::size_t length = UnitBytesLength(text);
    if (store.size() + length + 1 > maxBytes) return false;
    starts.push_back(static_cast<uint32_t>(store.size()));
    const std::size_t at = store.size();
    store.resize(at + length + 1);
    char* end = WriteUnitBytes(store.data() + at, text);
    *end = ' ';
    return true;
}

// The last index whose start is at or before `position`, looking from `from` on. Successive
// matches usually lie in the same or the next few texts, so the search steps ahead a few times
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

bool TableColumns::AddRow(const FileEntry& entry, std::u16string_view name, uint8_t rowCategory,
                          uint32_t folder, std::size_t maxBytes) {
    if (!AddText(names, nameStart, name, maxBytes)) return false;
    entries.push_back(entry);
    category.push_back(rowCategory);
    folderOf.push_back(folder);
    return true;
}

bool TableColumns::AddRowBytes(const FileEntry& entry, std::string_view name, uint8_t rowCategory,
                               uint32_t folder, std::size_t maxBytes) {
    if (names.size() + name.size() + 1 > maxBytes) return false;
    nameStart.push_back(static_cast<uint32_t>(names.size()));
    names.append(name);
    names.push_back(' ');
    entries.push_back(entry);
    category.push_back(rowCategory);
    folderOf.push_back(folder);
    return true;
}

std::u16string TableColumns::Name(std::size_t row) const {
    const std::size_t end = row + 1 < nameStart.size() ? nameStart[row + 1] : names.size();
    return UnitsOf(std::string_view(names).substr(nameStart[row], end - nameStart[row] - 1));
}

bool TableColumns::AddFolder(std::u16string_view path, uint32_t& index, std::size_t maxBytes) {
    index = static_cast<uint32_t>(folderStart.size());
    return AddText(folders, folderStart, path, maxBytes);
}

bool TableColumns::AddFolderBytes(std::string_view path, uint32_t& index, std::size_t maxBytes) {
    if (folders.size() + path.size() + 1 > maxBytes) return false;
    index = static_cast<uint32_t>(folderStart.size());
    folderStart.push_back(static_cast<uint32_t>(folders.size()));
    folders.append(path);
    folders.push_back(' ');
    return true;
}

bool TableColumns::Append(TableColumns&& more, std::size_t maxBytes) {
    // Each store's first byte is its opening space, which the joined store already has.
    if (names.size() + more.names.size() - 1 > maxBytes ||
        folders.size() + more.folders.size() - 1 > maxBytes)
        return false;
    if (entries.empty() && folderStart.empty()) {
        *this = std::move(more);
        return true;
    }
    const auto nameShift = static_cast<uint32_t>(names.size() - 1);
    const auto folderShift = static_cast<uint32_t>(folders.size() - 1);
    const auto folderBase = static_cast<uint32_t>(folderStart.size());
    names.append(more.names, 1);
    folders.append(more.folders, 1);
    entries.insert(entries.end(), more.entries.begin(), more.entries.end());
    category.insert(category.end(), more.category.begin(), more.category.end());
    for (uint32_t start : more.nameStart) nameStart.push_back(start + nameShift);
    for (uint32_t start : more.folderStart) folderStart.push_back(start + folderShift);
    for (uint32_t folder : more.folderOf) folderOf.push_back(folder + folderBase);
    more = TableColumns();
    return true;
}

struct FileTable::Times {
    std::mutex mutex;
    TimeTextFormatter formatter;
};

FileTable::FileTable() : FileTable(TableColumns(), {}) {}

FileTable::FileTable(TableColumns columns, std::vector<VolumeBlock> volumes)
    : columns_(std::move(columns)), volumes_(std::move(volumes)), times_(new Times) {
    if (volumes_.empty() && (!columns_.entries.empty() || !columns_.folderStart.empty())) {
        VolumeBlock all;
        all.rows = static_cast<uint32_t>(columns_.entries.size());
        all.folders = static_cast<uint32_t>(columns_.folderStart.size());
        for (int key = 0; key < IconKeyCount; ++key) all.icons[key] = key;
        volumes_.push_back(all);
    }
    // The starts end with the stores' sizes, so that every text's end is the next start.
    columns_.nameStart.push_back(static_cast<uint32_t>(columns_.names.size()));
    columns_.folderStart.push_back(static_cast<uint32_t>(columns_.folders.size()));
}

FileTable::FileTable(FileTable&&) noexcept = default;
FileTable& FileTable::operator=(FileTable&&) noexcept = default;
FileTable::~FileTable() = default;

const VolumeBlock& FileTable::VolumeOf(std::size_t row) const {
    auto after = std::upper_bound(
        volumes_.begin(), volumes_.end(), row,
        [](std::size_t value, const VolumeBlock& block) { return value < block.firstRow; });
    return *(after - 1);
}

std::u16string FileTable::Name(std::size_t row) const {
    return UnitsOf(NameBytes(row));
}

std::u16string FileTable::FolderPath(std::size_t row) const {
    return UnitsOf(FolderBytes(columns_.folderOf[row]));
}

std::u16string FileTable::FullPath(std::size_t row) const {
    std::u16string path = FolderPath(row);
    path.push_back(u'\\');
    AppendUnits(path, NameBytes(row));
    return path;
}

std::u16string FileTable::Extension(std::size_t row) const {
    return ExtensionFor(Name(row), columns_.entries[row].isFolder);
}

std::u16string FileTable::SizeText(std::size_t row) const {
    const FileEntry& entry = columns_.entries[row];
    return entry.isFolder ? std::u16string() : SizeTextFor(entry.Size);
}

TimeText FileTable::CreatedText(std::size_t row) const {
    std::lock_guard<std::mutex> lock(times_->mutex);
    return TimeText(times_->formatter.Text(columns_.entries[row].Created));
}

TimeText FileTable::ModifiedText(std::size_t row) const {
    std::lock_guard<std::mutex> lock(times_->mutex);
    return TimeText(times_->formatter.Text(columns_.entries[row].Modified));
}

int32_t FileTable::IconIndex(std::size_t row) const {
    return VolumeOf(row).icons[columns_.entries[row].iconKey];
}

std::size_t FileTable::RowAt(std::size_t position, std::size_t from) const {
    return IndexAt(columns_.nameStart, position, from);
}

std::size_t FileTable::FolderAt(std::size_t position, std::size_t from) const {
    return IndexAt(columns_.folderStart, position, from);
}

std::size_t FileTable::BytesUsed() const {
    const TableColumns& c = columns_;
    return c.entries.capacity() * sizeof(FileEntry) + c.names.capacity() +
           c.nameStart.capacity() * sizeof(uint32_t) + c.category.capacity() +
           c.folderOf.capacity() * sizeof(uint32_t) + c.folders.capacity() +
           c.folderStart.capacity() * sizeof(uint32_t);
}
