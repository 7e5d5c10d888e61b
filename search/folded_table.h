// Search-side columns of the FileTable: every name and folder path folded once, laid end to end
// in bytes, so a keystroke streams through contiguous memory instead of reading whole entries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "index/file_table.h"

// Folded texts are kept one byte per unit where the unit is ASCII, as most names are. Any
// other unit takes two or three bytes: the UTF-8 form of the unit's value, surrogates included.
// Lead bytes and continuation bytes never look alike, so a folded needle matches a folded text
// at a byte exactly where the needle's units match the text's units at a unit; substring, prefix
// and suffix tests keep their meaning over bytes.
std::string FoldToBytes(std::u16string_view text);
void AppendFoldedBytes(std::string& out, std::u16string_view text);

struct FoldedTable {
    // Folded names, each preceded and followed by a space. A term never holds a space, so a
    // match of a term found in this buffer lies inside one name, and a space and a text find
    // the names that begin with that text.
    std::string names;
    std::vector<uint32_t> nameStart;  // one per entry, plus the end of the buffer
    // Each entry's Category where it fits in a byte below OtherCategory; entries marked
    // OtherCategory are looked up in the table.
    std::vector<uint8_t> category;
    std::vector<uint32_t> folderOf;  // folder index of each entry
    // Folded folder paths, each once, in the same layout as the names.
    std::string folders;
    std::vector<uint32_t> folderStart;

    static constexpr uint8_t OtherCategory = 255;

    std::size_t EntryCount() const { return category.size(); }
    std::size_t FolderCount() const { return folderStart.empty() ? 0 : folderStart.size() - 1; }
    std::string_view Name(std::size_t entry) const {
        return {names.data() + nameStart[entry], nameStart[entry + 1] - nameStart[entry] - 1};
    }
    std::string_view Folder(std::size_t folder) const {
        return {folders.data() + folderStart[folder],
                folderStart[folder + 1] - folderStart[folder] - 1};
    }
    // The entry whose name holds buffer position `position`, searching from entry `from` on.
    std::size_t EntryAt(std::size_t position, std::size_t from) const;
    std::size_t FolderAt(std::size_t position, std::size_t from) const;
    // The bytes the columns hold.
    std::size_t BytesUsed() const;
};

// The columns of `table`; built once, when the table is published.
FoldedTable FoldColumns(const FileTable& table);
