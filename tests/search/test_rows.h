// Small tables of entries for the search and results tests.
#pragma once

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "index/file_table.h"
#include "results/ordering.h"
#include "results/result_set.h"
#include "search/search_driver.h"
#include "tests/support/size_key.h"

struct RowFields {
    std::u16string name = {};
    std::u16string folder = {};
    uint8_t isFolder = 0;
    std::u16string sizeText = {};
    int32_t category = 8;
    uint64_t created = 0;
    uint64_t modified = 0;
    std::u16string createdText = {};  // "YYYY-MM-DD hh:mm" in local time, or empty
    std::u16string modifiedText = {};
};

// The FILETIME of a local time text, through the C library, so that the table writes the text
// back in any time zone; `fallback` when there is no text.
inline uint64_t FiletimeOfLocalText(std::u16string_view text, uint64_t fallback) {
    if (text.size() < 16) return fallback;
    auto number = [text](std::size_t at, std::size_t digits) {
        int value = 0;
        for (std::size_t i = at; i < at + digits; ++i) value = value * 10 + (text[i] - u'0');
        return value;
    };
    std::tm parts{};
    parts.tm_year = number(0, 4) - 1900;
    parts.tm_mon = number(5, 2) - 1;
    parts.tm_mday = number(8, 2);
    parts.tm_hour = number(11, 2);
    parts.tm_min = number(14, 2);
    parts.tm_isdst = -1;
    const std::time_t seconds = std::mktime(&parts);
    return 116444736000000000ull + static_cast<uint64_t>(seconds) * 10000000ull;
}

// The table of exactly these rows, in this order, each folder text stored once.
inline FileTable TableOf(const std::vector<RowFields>& fieldList) {
    TableColumns columns;
    std::vector<std::u16string> folders;
    for (const RowFields& fields : fieldList) {
        uint32_t folder = 0;
        auto known = std::find(folders.begin(), folders.end(), fields.folder);
        if (known == folders.end()) {
            columns.AddFolder(fields.folder, folder);
            folders.push_back(fields.folder);
        } else {
            folder = static_cast<uint32_t>(known - folders.begin());
        }
        FileEntry entry;
        entry.isFolder = fields.isFolder != 0;
        entry.Size = entry.isFolder ? 0 : static_cast<uint64_t>(SizeKey(fields.sizeText)) * 1024;
        entry.Created = FiletimeOfLocalText(fields.createdText, fields.created);
        entry.Modified = FiletimeOfLocalText(fields.modifiedText, fields.modified);
        columns.AddRow(entry, fields.name, static_cast<uint8_t>(fields.category), folder);
    }
    return FileTable(std::move(columns), {});
}

inline std::shared_ptr<const PublishedTable> PublishedOf(const std::vector<RowFields>& fieldList) {
    return Publish(TableOf(fieldList));
}

// Rows in the given order, as a view of a published table holding exactly them.
struct ShownRows {
    explicit ShownRows(const std::vector<RowFields>& fieldList) : view(PublishedOf(fieldList)) {
        view.ShowAll();
    }
    // The names of the rows as the view shows them.
    std::vector<std::u16string> Names() const {
        std::vector<std::u16string> names;
        for (std::size_t i = 0; i < view.Size(); ++i)
            names.push_back(view.Table().Name(view.RowNumber(i)));
        return names;
    }
    ResultSet view;
};
