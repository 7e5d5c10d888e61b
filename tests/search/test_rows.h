// Small tables of entries for the search and results tests.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "index/file_entry.h"
#include "index/file_table.h"
#include "results/ordering.h"
#include "results/result_set.h"
#include "tests/support/size_key.h"

struct RowFields {
    std::u16string name = {};
    std::u16string folder = {};
    uint8_t isFolder = 0;
    std::u16string sizeText = {};
    int32_t category = 8;
    uint64_t created = 0;
    uint64_t modified = 0;
    std::u16string createdText = {};  // "YYYY-MM-DD hh:mm" or empty
    std::u16string modifiedText = {};
};

// Owns the texts of the entries it makes; it must outlive them.
class RowMaker {
  public:
    FileEntry Make(const RowFields& fields) {
        FileEntry entry;
        // The stored size number is what the build would store for this text.
        entry.SetOwnTexts(arena_, fields.name, fields.isFolder ? u"ISDIR" : u"TXT", fields.sizeText,
                          SizeKey(fields.sizeText));
        entry.SetFolderPath(arena_.Store(fields.folder), fields.folder.size());
        entry.SetTimeTexts(Packed(fields.createdText), Packed(fields.modifiedText));
        entry.IsFolder = fields.isFolder;
        entry.Category = fields.category;
        entry.Created = fields.created;
        entry.Modified = fields.modified;
        return entry;
    }
    std::vector<FileEntry> MakeAll(const std::vector<RowFields>& fieldList) {
        std::vector<FileEntry> rows;
        for (const RowFields& fields : fieldList) rows.push_back(Make(fields));
        return rows;
    }

  private:
    static uint32_t Packed(std::u16string_view text) {
        if (text.empty()) return TimeText::Empty;
        auto number = [text](std::size_t at, std::size_t digits) {
            int value = 0;
            for (std::size_t i = at; i < at + digits; ++i) value = value * 10 + (text[i] - u'0');
            return value;
        };
        return TimeText::Pack(number(0, 4), number(5, 2), number(8, 2), number(11, 2),
                              number(14, 2));
    }
    TextArena arena_;
};

// Rows in the given order, as a view of a table holding exactly them; the texts stay with the
// RowMaker that made the entries.
struct ShownRows {
    explicit ShownRows(std::vector<FileEntry> entries) : table(std::move(entries), {}) {
        view.Attach(table);
        view.ShowAll();
    }
    ShownRows(const ShownRows&) = delete;
    ShownRows& operator=(const ShownRows&) = delete;
    std::vector<FileEntry> Entries() const {
        std::vector<FileEntry> rows;
        for (std::size_t i = 0; i < view.Size(); ++i) rows.push_back(view.Row(i));
        return rows;
    }
    FileTable table;
    ResultSet view;
};
