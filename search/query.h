// The query language: a text becomes an ordered list of terms of four kinds.
#pragma once

#include <string>
#include <string_view>
#include <vector>

enum class TermKind { Plain, Exclusion, Wildcard, Drive };

struct QueryTerm {
    TermKind kind = TermKind::Plain;
    std::u16string text;    // Plain, Exclusion, Drive; already folded
    std::u16string prefix;  // Wildcard only; already folded
    std::u16string suffix;  // Wildcard only; already folded
};

using ParsedQuery = std::vector<QueryTerm>;

// Upper-cases a to z and leaves every other code unit alone.
std::u16string FoldCase(std::u16string_view text);

ParsedQuery ParseQuery(std::u16string_view text);
