// Small tables of entries for the search and results tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "index/file_entry.h"

struct RowSpec {
    std::u16string name = {};
    std::u16string folder = {};
    uint8_t isFolder = 0;
    std::u16string sizeText = {};
    int32_t category = 8;
    uint64_t created = 0;
    uint64_t modified = 0;
    std::u16string createdText = {};
    std::u16string modifiedText = {};
};

// Owns the texts of the entries it makes; it must outlive them.
class RowMaker {
  public:
    FileEntry Make(const RowSpec& spec) {
        FileEntry entry;
        entry.SetOwnTexts(arena_, spec.name, spec.isFolder ? u"ISDIR" : u"TXT", spec.sizeText);
        entry.SetFolderPath(arena_.Store(spec.folder), spec.folder.size());
        entry.SetTimeTexts(TimeText(spec.createdText), TimeText(spec.modifiedText));
        entry.IsFolder = spec.isFolder;
        entry.Category = spec.category;
        entry.Created = spec.created;
        entry.Modified = spec.modified;
        return entry;
    }
    std::vector<FileEntry> MakeAll(const std::vector<RowSpec>& specs) {
        std::vector<FileEntry> rows;
        for (const RowSpec& spec : specs) rows.push_back(Make(spec));
        return rows;
    }

  private:
    const char16_t* TimeText(const std::u16string& text) {
        if (text.empty()) return nullptr;
        std::u16string fixed = text;
        fixed.resize(FileEntry::TimeTextLength, u' ');
        return arena_.Store(fixed);
    }
    TextArena arena_;
};
