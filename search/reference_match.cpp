#include "search/reference_match.h"

#include "search/text_search.h"

namespace {

bool TermHolds(const QueryTerm& term, std::u16string_view name, std::u16string_view folder) {
    switch (term.kind) {
        case TermKind::Plain:
            return ContainsFolded(name, term.text);
        case TermKind::Exclusion:
            return !ContainsFolded(name, term.text);
        case TermKind::Wildcard:
            return StartsWithFolded(name, term.prefix) && EndsWithFolded(name, term.suffix);
        case TermKind::Drive:
            return ContainsFolded(folder, term.text);
    }
    return false;
}

}  // namespace

bool MatchEntry(const FileTable& table, uint32_t row, const ParsedQuery& query,
                int32_t typeFilter) {
    if (typeFilter != 0 && table.Category(row) != typeFilter) return false;
    const std::u16string name = table.Name(row);
    const std::u16string folder = table.FolderPath(row);
    for (const QueryTerm& term : query) {
        if (!TermHolds(term, name, folder)) return false;
    }
    return true;
}
