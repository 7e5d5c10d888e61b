// The table of every indexed entry: built once by BuildIndex and never changed afterwards.
#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "index/file_entry.h"

// The entries of every volume, in volume order, with the arenas that hold their texts. Row
// numbers into it are 32-bit, so it holds fewer than 2^32 entries.
class FileTable {
  public:
    FileTable() = default;
    // `texts` may be empty when the caller keeps the entries' texts alive for the table's life.
    FileTable(std::vector<FileEntry> entries, std::vector<std::unique_ptr<TextArena>> texts)
        : entries_(std::move(entries)), texts_(std::move(texts)) {}
    FileTable(FileTable&&) = default;
    FileTable& operator=(FileTable&&) = default;
    FileTable(const FileTable&) = delete;
    FileTable& operator=(const FileTable&) = delete;

    std::size_t Size() const { return entries_.size(); }
    bool Empty() const { return entries_.empty(); }
    const FileEntry& operator[](std::size_t row) const { return entries_[row]; }
    const std::vector<FileEntry>& Entries() const { return entries_; }
    std::vector<FileEntry>::const_iterator begin() const { return entries_.begin(); }
    std::vector<FileEntry>::const_iterator end() const { return entries_.end(); }
    const std::vector<std::unique_ptr<TextArena>>& Texts() const { return texts_; }

  private:
    std::vector<FileEntry> entries_;
    std::vector<std::unique_ptr<TextArena>> texts_;
};
