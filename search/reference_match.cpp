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

bool MatchEntry(const FileEntry& entry, const ParsedQuery& query, int32_t typeFilter) {
    if (typeFilter != 0 && entry.Category != typeFilter) return false;
    for (const QueryTerm& term : query) {
        if (!TermHolds(term, entry.Name(), entry.FolderPath())) return false;
    }
    return true;
}
