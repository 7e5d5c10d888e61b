#include "search/query.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "index/file_entry.h"
#include "index/utf8.h"

namespace {

struct ExpectedTerm {
    TermKind kind;
    std::u16string text = {};
    std::u16string prefix = {};
    std::u16string suffix = {};
};

struct ParseCase {
    const char* label;
    std::u16string query = {};
    std::vector<ExpectedTerm> terms;
};

void ExpectParse(const ParseCase& c) {
    SCOPED_TRACE(c.label);
    ParsedQuery parsed = ParseQuery(c.query);
    ASSERT_EQ(parsed.size(), c.terms.size());
    for (std::size_t i = 0; i < parsed.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(parsed[i].kind, c.terms[i].kind);
        EXPECT_EQ(ToUtf8(parsed[i].text), ToUtf8(c.terms[i].text));
        EXPECT_EQ(ToUtf8(parsed[i].prefix), ToUtf8(c.terms[i].prefix));
        EXPECT_EQ(ToUtf8(parsed[i].suffix), ToUtf8(c.terms[i].suffix));
    }
}

constexpr TermKind P = TermKind::Plain;
constexpr TermKind X = TermKind::Exclusion;
constexpr TermKind W = TermKind::Wildcard;
constexpr TermKind D = TermKind::Drive;

TEST(FoldCase, UpperCasesAsciiLettersOnly) {
    struct Case {
        std::u16string in, out;
    } cases[] = {
        {u"", u""},
        {u"abcxyz", u"ABCXYZ"},
        {u"ABC", u"ABC"},
        {u"a1_b-`{@[", u"A1_B-`{@["},  // neighbours of the letter ranges stay
        {u"é", u"é"},
        {u"ß", u"ß"},
        {u"ａｂ", u"ａｂ"},  // fullwidth letters
        {u"αβ", u"αβ"},
        {u"报告abc", u"报告ABC"},
        {u"\xD83D\xDE00x", u"\xD83D\xDE00X"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.in));
        std::u16string folded = FoldCase(c.in);
        EXPECT_EQ(folded.size(), c.in.size());
        EXPECT_TRUE(folded == c.out);
    }
}

TEST(ParseQuery, TrimAndSplit) {
    const ParseCase cases[] = {
        {"empty", u"", {}},
        {"spaces only", u"     ", {}},
        {"white space of every trimmed kind only",
         u"\t\n\v\f\r \x85\xA0\x1680\x2000\x2005\x200A\x2028\x2029\x202F\x205F\x3000",
         {}},
        {"spaces around and between", u"  ab   cd  ", {{P, u"AB"}, {P, u"CD"}}},
        {"tab inside stays", u"ab\tcd", {{P, u"AB\tCD"}}},
        {"ideographic space inside stays",
         u"ab\x3000"
         u"cd",
         {{P,
           u"AB\x3000"
           u"CD"}}},
        {"no-break space inside stays",
         u"ab\xA0"
         u"cd",
         {{P,
           u"AB\xA0"
           u"CD"}}},
        {"leading and trailing tab trimmed", u"\tab\t", {{P, u"AB"}}},
        {"leading and trailing U+3000 trimmed",
         u"\x3000"
         u"ab\x3000",
         {{P, u"AB"}}},
        {"mixed run at each end",
         u"\x3000 \t\x2003"
         u"ab \xA0\x85",
         {{P, u"AB"}}},
        {"trim stops at the first other unit",
         u"\x3000"
         u"a\x3000 b\x3000",
         {{P, u"A\x3000"}, {P, u"B"}}},
        {"U+200B is not white space",
         u"\x200B"
         u"ab\x200B",
         {{P,
           u"\x200B"
           u"AB\x200B"}}},
        {"U+FEFF is not white space",
         u"\xFEFF"
         u"ab",
         {{P,
           u"\xFEFF"
           u"AB"}}},
        {"U+180E is not white space",
         u"\x180E"
         u"ab",
         {{P,
           u"\x180E"
           u"AB"}}},
        {"U+00B7 is not white space",
         u"\xB7"
         u"ab",
         {{P,
           u"\xB7"
           u"AB"}}},
        {"U+001C is not white space",
         u"\x1C"
         u"ab",
         {{P,
           u"\x1C"
           u"AB"}}},
        {"three terms", u"ab  cd !ef", {{P, u"AB"}, {P, u"CD"}, {X, u"EF"}}},
        {"terms keep their order", u"zz aa", {{P, u"ZZ"}, {P, u"AA"}}},
        {"duplicate terms stay", u"ab ab", {{P, u"AB"}, {P, u"AB"}}},
    };
    for (const ParseCase& c : cases) ExpectParse(c);
}

TEST(ParseQuery, TermKinds) {
    const ParseCase cases[] = {
        {"plain", u"report", {{P, u"REPORT"}}},
        {"case folded", u"Ab", {{P, u"AB"}}},
        {"case folded other way", u"aB", {{P, u"AB"}}},
        {"accented letter unchanged", u"é", {{P, u"é"}}},
        {"chinese", u"报告", {{P, u"报告"}}},
        {"exclusion", u"!ab", {{X, u"AB"}}},
        {"fullwidth exclusion", u"！ab", {{X, u"AB"}}},
        {"exclusion mark inside is plain", u"a!b", {{P, u"A!B"}}},
        {"lone exclusion mark", u"!", {{X, u""}}},
        {"lone fullwidth exclusion mark", u"！", {{X, u""}}},
        {"double exclusion keeps the second mark", u"!!a", {{X, u"!A"}}},
        {"exclusion wins over wildcard", u"!ab*", {{X, u"AB*"}}},
        {"exclusion wins over drive", u"!d:", {{X, u"D:"}}},
        {"lone star", u"*", {{W, u"", u"", u""}}},
        {"prefix wildcard", u"ab*", {{W, u"", u"AB", u""}}},
        {"suffix wildcard", u"*cd", {{W, u"", u"", u"CD"}}},
        {"both halves", u"ab*cd", {{W, u"", u"AB", u"CD"}}},
        {"further stars belong to the suffix", u"a*b*c", {{W, u"", u"A", u"B*C"}}},
        {"dot suffix", u"*.txt", {{W, u"", u"", u".TXT"}}},
        {"fullwidth star is ordinary", u"ab＊", {{P, u"AB＊"}}},
        {"wildcard wins over drive", u"d:*", {{W, u"", u"D:", u""}}},
        {"drive", u"d:", {{D, u"D:"}}},
        {"drive with text behind", u"d:ab", {{D, u"D:AB"}}},
        {"drive with fullwidth colon keeps it", u"d：", {{D, u"D："}}},
        {"fullwidth colon drive with text", u"d：ab", {{D, u"D：AB"}}},
        {"colon third is plain", u"abc:", {{P, u"ABC:"}}},
        {"colon first is plain", u":d", {{P, u":D"}}},
        {"first colon decides", u"ab:c:", {{P, u"AB:C:"}}},
        {"second colon after the drive colon", u"d:a:b", {{D, u"D:A:B"}}},
        {"fullwidth colon second, ascii colon later", u"d：a:", {{D, u"D：A:"}}},
        {"fullwidth colon first, ascii second", u"：:", {{D, u"：:"}}},
        {"chinese drive letter", u"报:", {{D, u"报:"}}},
        {"drive and plain", u"d:  report", {{D, u"D:"}, {P, u"REPORT"}}},
    };
    for (const ParseCase& c : cases) ExpectParse(c);
}

}  // namespace
