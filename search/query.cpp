#include "search/query.h"

namespace {

// A fixed table rather than the C library's classification, so a query trims the same way on
// every platform and under every locale.
bool IsTrimmedSpace(char16_t unit) {
    if (unit >= 0x0009 && unit <= 0x000D) return true;
    switch (unit) {
        case 0x0020:
        case 0x0085:
        case 0x00A0:
        case 0x1680:
        case 0x2028:
        case 0x2029:
        case 0x202F:
        case 0x205F:
        case 0x3000:
            return true;
        default:
            return unit >= 0x2000 && unit <= 0x200A;
    }
}

QueryTerm ClassifyTerm(std::u16string_view term) {
    QueryTerm out;
    if (term.front() == u'!' || term.front() == u'！') {
        out.kind = TermKind::Exclusion;
        out.text = FoldCase(term.substr(1));
        return out;
    }
    if (std::size_t star = term.find(u'*'); star != std::u16string_view::npos) {
        out.kind = TermKind::Wildcard;
        out.prefix = FoldCase(term.substr(0, star));
        out.suffix = FoldCase(term.substr(star + 1));
        return out;
    }
    // Only the first colon of each kind counts: ‹d:a:b› is a drive term, ‹ab:c:› is not.
    std::size_t colon = term.find(u':');
    bool drive = colon == 1;
    if (!drive) drive = term.find(u'：') == 1;
    out.kind = drive ? TermKind::Drive : TermKind::Plain;
    out.text = FoldCase(term);
    return out;
}

}  // namespace

std::u16string FoldCase(std::u16string_view text) {
    std::u16string folded(text);
    for (char16_t& unit : folded) {
        if (unit >= u'a' && unit <= u'z') unit = static_cast<char16_t>(unit - (u'a' - u'A'));
    }
    return folded;
}

ParsedQuery ParseQuery(std::u16string_view text) {
    while (!text.empty() && IsTrimmedSpace(text.back())) text.remove_suffix(1);
    while (!text.empty() && IsTrimmedSpace(text.front())) text.remove_prefix(1);

    ParsedQuery query;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] == u' ') {
            ++pos;
            continue;
        }
        std::size_t end = text.find(u' ', pos);
        if (end == std::u16string_view::npos) end = text.size();
        query.push_back(ClassifyTerm(text.substr(pos, end - pos)));
        pos = end;
    }
    return query;
}
