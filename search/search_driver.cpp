#include "search/search_driver.h"

#include <cstdint>
#include <cstdio>
#include <vector>

#include "index/file_entry.h"
#include "search/folded_table.h"
#include "search/match.h"
#include "search/query.h"
#include "search/text_search.h"

std::u16string StatusText;

const char16_t* const LoadWaitText = u"正在整理数据，请稍等片刻.........";

namespace {

// The terms left to test on one entry once the scan has found it; drive terms are settled per
// folder beforehand.
struct EntryTest {
    const FoldedTable& columns;
    const ParsedQuery& query;
    const QueryTerm* scanned;  // already known to hold
    const std::vector<uint8_t>* folderPasses;

    bool Holds(std::size_t entry) const {
        if (TypeFilter != 0 && columns.category[entry] != TypeFilter) return false;
        if (folderPasses && !(*folderPasses)[columns.folderOf[entry]]) return false;
        const std::u16string_view name = columns.Name(entry);
        for (const QueryTerm& term : query) {
            if (&term == scanned) continue;
            switch (term.kind) {
                case TermKind::Plain:
                    if (FindUnits(name, term.text) == std::u16string_view::npos) return false;
                    break;
                case TermKind::Exclusion:
                    if (FindUnits(name, term.text) != std::u16string_view::npos) return false;
                    break;
                case TermKind::Wildcard:
                    if (term.prefix.size() > name.size() || term.suffix.size() > name.size() ||
                        name.substr(0, term.prefix.size()) != term.prefix ||
                        name.substr(name.size() - term.suffix.size()) != term.suffix) {
                        return false;
                    }
                    break;
                case TermKind::Drive:
                    break;
            }
        }
        return true;
    }
};

// Marks the folders whose folded path contains every drive term.
void MarkFolders(const FoldedTable& columns, const ParsedQuery& query,
                 std::vector<uint8_t>& passes) {
    passes.assign(columns.FolderCount(), 0);
    const QueryTerm* first = nullptr;
    for (const QueryTerm& term : query) {
        if (term.kind == TermKind::Drive) {
            first = &term;
            break;
        }
    }
    const std::u16string_view all(columns.folders.data(), columns.folders.size());
    std::size_t folder = 0;
    for (std::size_t pos = FindUnits(all, first->text); pos != std::u16string_view::npos;
         pos = FindUnits(all, first->text, columns.folderStart[folder + 1])) {
        folder = columns.FolderAt(pos, folder);
        bool every = true;
        for (const QueryTerm& term : query) {
            if (term.kind == TermKind::Drive && &term != first &&
                FindUnits(columns.Folder(folder), term.text) == std::u16string_view::npos) {
                every = false;
                break;
            }
        }
        passes[folder] = every ? 1 : 0;
    }
}

}  // namespace

void PrepareSearch() {
    FoldedColumns(FileTable);
}

std::size_t RunSearch(std::u16string_view queryText) {
    const ParsedQuery query = ParseQuery(queryText);
    ResultSet.clear();
    // Keeping the capacity across keystrokes spares a reallocation and page faults per search.
    if (ResultSet.capacity() < FileTable.size()) ResultSet.reserve(FileTable.size());

    bool impossible = false;
    bool anyDrive = false;
    // The longest text is likely the rarest, so its occurrences drive the scan: a plain term, or
    // a wildcard's prefix behind the space before each name or its suffix before the space after.
    const QueryTerm* scanned = nullptr;
    std::u16string needle;
    for (const QueryTerm& term : query) {
        if (term.kind == TermKind::Exclusion && term.text.empty()) impossible = true;
        if (term.kind == TermKind::Drive) anyDrive = true;
        if (term.kind == TermKind::Plain && term.text.size() > needle.size()) {
            scanned = &term;
            needle = term.text;
        }
        if (term.kind == TermKind::Wildcard) {
            if (!term.prefix.empty() && term.prefix.size() + 1 > needle.size()) {
                scanned = nullptr;
                needle = u' ' + term.prefix;
            }
            // Suffixes are mostly extensions, shared by many names; a prefix is the better guide.
            if (term.prefix.empty() && !term.suffix.empty() &&
                term.suffix.size() + 1 > needle.size()) {
                scanned = nullptr;
                needle = term.suffix + u' ';
            }
        }
    }

    if (impossible) {
        // An empty exclusion holds for no entry.
    } else if (query.empty() && TypeFilter == 0) {
        ResultSet.assign(FileTable.begin(), FileTable.end());
    } else {
        const FoldedTable& columns = FoldedColumns(FileTable);
        static std::vector<uint8_t> folderPasses;
        static std::vector<uint32_t> hits;
        hits.clear();
        if (anyDrive) MarkFolders(columns, query, folderPasses);
        const EntryTest test{columns, query, scanned, anyDrive ? &folderPasses : nullptr};
        const std::size_t count = columns.EntryCount();
        if (!needle.empty()) {
            // A match may begin at the space before a name; the name is the one after it. A
            // wildcard found this way is tested again in full, as a space may stand inside a name.
            const std::u16string_view all(columns.names.data(), columns.names.size());
            const std::size_t inName = needle.front() == u' ' ? 1 : 0;
            std::size_t entry = 0;
            for (std::size_t pos = FindUnits(all, needle); pos != std::u16string_view::npos;
                 pos = FindUnits(all, needle, columns.nameStart[entry + 1] - 1)) {
                entry = columns.EntryAt(pos + inName, entry);
                if (test.Holds(entry)) hits.push_back(static_cast<uint32_t>(entry));
            }
        } else {
            for (std::size_t entry = 0; entry < count; ++entry) {
                if (test.Holds(entry)) hits.push_back(static_cast<uint32_t>(entry));
            }
        }
        // Hits are far apart in an 80-byte-per-entry table, so each copy would wait for its own
        // cache and TLB miss; fetching a few hits ahead lets those misses overlap.
        constexpr std::size_t Ahead = 16;
        for (std::size_t k = 0; k < hits.size(); ++k) {
            if (k + Ahead < hits.size()) __builtin_prefetch(&FileTable[hits[k + Ahead]]);
            ResultSet.push_back(FileTable[hits[k]]);
        }
    }
    ShowResultCount(ResultSet.size());
    return ResultSet.size();
}

const std::u16string& ShowResultCount(std::size_t count) {
    StatusText = FormatCount(static_cast<uint64_t>(count));
    StatusText += u" 个对象";
    return StatusText;
}

const std::u16string& LoadSummary(std::size_t count, double seconds) {
    char digits[512];  // "%f" of the largest double has 316 characters
    std::snprintf(digits, sizeof digits, "%f", seconds);
    StatusText = FormatCount(static_cast<uint64_t>(count));
    StatusText += u" 个对象   耗时: ";
    for (const char* c = digits; *c; ++c) StatusText.push_back(static_cast<char16_t>(*c));
    StatusText += u"秒";
    return StatusText;
}
