// Search-side columns of the FileTable: every name and folder path folded once, laid end to end,
// so a keystroke streams through contiguous memory instead of folding 80-byte entries.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "index/file_table.h"

struct FoldedTable {
    // Folded names, each preceded and followed by a space. A term never holds a space, so a
    // match of a term found in this buffer lies inside one name, and a space and a text find
    // the names that begin with that text.
    std::vector<char16_t> names;
    std::vector<uint32_t> nameStart;  // one per entry, plus the end of the buffer
    std::vector<int32_t> category;
    std::vector<uint32_t> folderOf;  // folder index of each entry
    // Folded folder paths, each once, in the same layout as the names.
    std::vector<char16_t> folders;
    std::vector<uint32_t> folderStart;

    std::size_t EntryCount() const { return category.size(); }
    std::size_t FolderCount() const { return folderStart.empty() ? 0 : folderStart.size() - 1; }
    std::u16string_view Name(std::size_t entry) const {
        return {names.data() + nameStart[entry], nameStart[entry + 1] - nameStart[entry] - 1};
    }
    std::u16string_view Folder(std::size_t folder) const {
        return {folders.data() + folderStart[folder],
                folderStart[folder + 1] - folderStart[folder] - 1};
    }
    // The entry whose name holds buffer position `position`, searching from entry `from` on.
    std::size_t EntryAt(std::size_t position, std::size_t from) const;
    std::size_t FolderAt(std::size_t position, std::size_t from) const;
};

// The columns of `table`; built once, when the table is published.
FoldedTable FoldColumns(const FileTable& table);
