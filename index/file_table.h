// The table of every indexed entry: built once by BuildIndex and never changed afterwards.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "index/file_entry.h"

class TimeTextFormatter;

// The columns of a table or of one volume while it is built. Texts are kept in the byte form of
// unit_bytes.h, each name and each folder path once, every one followed by a space and the first
// preceded by one: a term never holds a space, so a match found in a store lies inside one text,
// and a space and a text find the texts that begin with it. Rows refer to their texts by 32-bit
// offsets.
struct TableColumns {
    std::vector<FileEntry> entries;
    std::string names = " ";
    std::vector<uint32_t> nameStart;  // one per entry
    std::vector<uint8_t> category;    // a TypeCategory per entry
    std::vector<uint32_t> folderOf;   // folder of each entry, an index into folderStart
    std::string folders = " ";
    std::vector<uint32_t> folderStart;  // one per folder

    // A store may hold this many bytes, so that each offset and each end fits 32 bits.
    static constexpr std::size_t MaxTextBytes = UINT32_MAX;

    std::size_t Rows() const { return entries.size(); }
    // The name of row `row`, as it reads back.
    std::u16string Name(std::size_t row) const;
    // Each false, with nothing added, when the store would pass `maxBytes`.
    bool AddRow(const FileEntry& entry, std::u16string_view name, uint8_t category, uint32_t folder,
                std::size_t maxBytes = MaxTextBytes);
    // AddRow of a name already in the store's byte form.
    bool AddRowBytes(const FileEntry& entry, std::string_view name, uint8_t category,
                     uint32_t folder, std::size_t maxBytes = MaxTextBytes);
    bool AddFolder(std::u16string_view path, uint32_t& index, std::size_t maxBytes = MaxTextBytes);
    // AddFolder of a path already in the store's byte form.
    bool AddFolderBytes(std::string_view path, uint32_t& index,
                        std::size_t maxBytes = MaxTextBytes);
    // Appends the rows and folders of `more` after these, its folder indices moved past these
    // folders; false, with nothing appended, when a store would pass `maxBytes`.
    bool Append(TableColumns&& more, std::size_t maxBytes = MaxTextBytes);
};

// One volume's block of rows and of folders, and the icon list index of each icon key: every
// volume read appends its own set of icons.
struct VolumeBlock {
    char16_t drive = u'C';
    uint32_t firstRow = 0;
    uint32_t rows = 0;
    uint32_t firstFolder = 0;
    uint32_t folders = 0;
    std::array<int32_t, IconKeyCount> icons = {};
};

// The entries of every volume, in volume order, with their columns. Row numbers are 32-bit, so
// it holds fewer than 2^32 entries.
class FileTable {
  public:
    FileTable();
    // `volumes` cover the rows and folders of `columns` one after the other.
    FileTable(TableColumns columns, std::vector<VolumeBlock> volumes);
    FileTable(FileTable&&) noexcept;
    FileTable& operator=(FileTable&&) noexcept;
    ~FileTable();

    std::size_t Size() const { return columns_.entries.size(); }
    bool Empty() const { return columns_.entries.empty(); }
    const FileEntry& operator[](std::size_t row) const { return columns_.entries[row]; }
    const std::vector<VolumeBlock>& Volumes() const { return volumes_; }
    const VolumeBlock& VolumeOf(std::size_t row) const;

    // The texts of a row, as the list shows them.
    std::string_view NameBytes(std::size_t row) const {
        return {columns_.names.data() + columns_.nameStart[row],
                columns_.nameStart[row + 1] - columns_.nameStart[row] - 1};
    }
    std::u16string Name(std::size_t row) const;
    std::u16string FolderPath(std::size_t row) const;
    std::u16string FullPath(std::size_t row) const;
    std::u16string Extension(std::size_t row) const;
    std::u16string SizeText(std::size_t row) const;
    TimeText CreatedText(std::size_t row) const;
    TimeText ModifiedText(std::size_t row) const;
    uint8_t Category(std::size_t row) const { return columns_.category[row]; }
    int32_t IconIndex(std::size_t row) const;

    // The columns a keystroke scans. The starts end with the store's size, so text i ends one
    // byte (its space) before start i + 1.
    const std::string& Names() const { return columns_.names; }
    const std::vector<uint32_t>& NameStarts() const { return columns_.nameStart; }
    const std::vector<uint8_t>& Categories() const { return columns_.category; }
    const std::vector<uint32_t>& FolderOf() const { return columns_.folderOf; }
    const std::string& Folders() const { return columns_.folders; }
    const std::vector<uint32_t>& FolderStarts() const { return columns_.folderStart; }
    std::size_t FolderCount() const { return columns_.folderStart.size() - 1; }
    std::string_view FolderBytes(std::size_t folder) const {
        return {columns_.folders.data() + columns_.folderStart[folder],
                columns_.folderStart[folder + 1] - columns_.folderStart[folder] - 1};
    }
    // The text whose bytes hold store position `position`, searching from text `from` on.
    std::size_t RowAt(std::size_t position, std::size_t from) const;
    std::size_t FolderAt(std::size_t position, std::size_t from) const;

    std::size_t BytesUsed() const;

  private:
    TableColumns columns_;
    std::vector<VolumeBlock> volumes_;
    // The time texts are written on request, through offsets cached per local day; the list
    // and the export ask from one thread at a time, but nothing stops two.
    struct Times;
    std::unique_ptr<Times> times_;
};
