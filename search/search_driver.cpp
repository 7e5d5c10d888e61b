#include "search/search_driver.h"

#include "search/text_search.h"

namespace {

// The terms left to test on one entry once the scan has found it; drive terms are settled per
// folder beforehand.
struct EntryTest {
    const FoldedTable& columns;
    const ParsedQuery& query;
    const QueryTerm* scanned;  // already known to hold
    const std::vector<uint8_t>* folderPasses;
    int32_t typeFilter;

    bool Holds(std::size_t entry) const {
        if (typeFilter != 0 && columns.category[entry] != typeFilter) return false;
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

SearchableTable Publish(FileTable table) {
    FoldedTable columns = FoldColumns(table);
    return {std::move(table), std::move(columns)};
}

ScanPlan PlanScan(const ParsedQuery& query) {
    ScanPlan plan;
    // A plain term drives the scan as it is; a wildcard's prefix behind the space before each
    // name, or its suffix before the space after.
    for (const QueryTerm& term : query) {
        if (term.kind == TermKind::Exclusion && term.text.empty()) plan.impossible = true;
        if (term.kind == TermKind::Drive) plan.anyDrive = true;
        if (term.kind == TermKind::Plain && term.text.size() > plan.needle.size()) {
            plan.scanned = &term;
            plan.needle = term.text;
        }
        if (term.kind == TermKind::Wildcard) {
            if (!term.prefix.empty() && term.prefix.size() + 1 > plan.needle.size()) {
                plan.scanned = nullptr;
                plan.needle = u' ' + term.prefix;
            }
            // Suffixes are mostly extensions, shared by many names; a prefix is the better guide.
            if (term.prefix.empty() && !term.suffix.empty() &&
                term.suffix.size() + 1 > plan.needle.size()) {
                plan.scanned = nullptr;
                plan.needle = term.suffix + u' ';
            }
        }
    }
    return plan;
}

void CollectHits(const FoldedTable& columns, const ParsedQuery& query, const ScanPlan& plan,
                 int32_t typeFilter, std::vector<uint32_t>& hits) {
    if (plan.impossible) return;
    std::vector<uint8_t> folderPasses;
    if (plan.anyDrive) MarkFolders(columns, query, folderPasses);
    const EntryTest test{columns, query, plan.scanned, plan.anyDrive ? &folderPasses : nullptr,
                         typeFilter};
    const std::u16string& needle = plan.needle;
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
        const std::size_t count = columns.EntryCount();
        for (std::size_t entry = 0; entry < count; ++entry) {
            if (test.Holds(entry)) hits.push_back(static_cast<uint32_t>(entry));
        }
    }
}

std::size_t RunSearch(const SearchableTable& searchable, std::u16string_view queryText,
                      ResultSet& results) {
    const ParsedQuery query = ParseQuery(queryText);
    if (query.empty() && results.TypeFilter() == 0) {
        results.ShowAll();
        return results.Size();
    }
    // The view's buffer is reused, so its capacity carries over from one keystroke to the next.
    std::vector<uint32_t> hits = results.TakeRowBuffer();
    CollectHits(searchable.columns, query, PlanScan(query), results.TypeFilter(), hits);
    results.ShowRows(std::move(hits));
    return results.Size();
}
