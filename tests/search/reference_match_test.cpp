#include "search/reference_match.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "index/utf8.h"
#include "search/query.h"
#include "tests/search/test_rows.h"

namespace {

struct MatchCase {
    std::u16string query;
    std::u16string name;
    std::u16string folder;
    bool hit;
};

class MatchEntryTest : public ::testing::Test {
  protected:
    void Check(const std::vector<MatchCase>& cases) {
        for (const MatchCase& c : cases) {
            SCOPED_TRACE(ToUtf8(u"‹" + c.query + u"› on ‹" + c.folder + u"\\" + c.name + u"›"));
            ResultSet view(PublishedOf({{c.name, c.folder}}));
            EXPECT_EQ(MatchEntry(view.Table(), 0, ParseQuery(c.query), 0), c.hit);
            // The scan over the stores agrees with the reference, case by case.
            EXPECT_EQ(RunSearch(view, c.query), c.hit ? 1u : 0u);
            // Matching must not depend on, or change, the stored case.
            EXPECT_EQ(ToUtf8(view.Table().Name(0)), ToUtf8(c.name));
        }
    }
};

TEST_F(MatchEntryTest, PlainTerms) {
    Check({
        {u"ab", u"AB", u"C:", true},
        {u"ab", u"Ab", u"C:", true},
        {u"ab", u"aB", u"C:", true},
        {u"AB", u"xaby.txt", u"C:", true},
        {u"ab", u"a b", u"C:", false},
        {u"report", u"Annual Report.pdf", u"C:\\docs", true},
        {u"report", u"repor", u"C:\\report", false},  // the folder is not searched
        {u"é", u"É", u"C:", false},
        {u"é", u"café", u"C:", true},
        {u"报告", u"年度报告.docx", u"D:\\文档", true},
        {u"报告", u"报 告", u"D:", false},
        {u"txt", u"notes.txt", u"C:", true},
        {u"ａ", u"a", u"C:", false},  // fullwidth letters are not folded
        {u"abcdef", u"abcde", u"C:", false},
    });
}

TEST_F(MatchEntryTest, ExclusionTerms) {
    Check({
        {u"!ab", u"xyz", u"C:", true},
        {u"!ab", u"xaBz", u"C:", false},
        {u"！ab", u"xABz", u"C:", false},
        {u"!", u"anything", u"C:", false},
        {u"ab !", u"ab", u"C:", false},
        {u"!ab*", u"abc", u"C:", true},
        {u"!ab*", u"xab*", u"C:", false},
        {u"!d:", u"x", u"D:\\d:", true},  // exclusions look at the name only
    });
}

TEST_F(MatchEntryTest, WildcardTerms) {
    Check({
        {u"*", u"anything", u"C:", true},
        {u"ab*", u"Abc.txt", u"C:", true},
        {u"ab*", u"AB", u"C:", true},
        {u"ab*", u"xab", u"C:", false},
        {u"ab*", u"a", u"C:", false},
        {u"*.txt", u"notes.TXT", u"C:", true},
        {u"*.txt", u"notes.txt.bak", u"C:", false},
        {u"*cd", u"c", u"C:", false},
        {u"ab*cd", u"abXYcd", u"C:", true},
        {u"ab*cd", u"abXYc", u"C:", false},
        {u"ab*bc", u"abc", u"C:", true},  // the halves may overlap
        {u"a*b*c", u"axb*c", u"C:", true},
        {u"a*b*c", u"abc", u"C:", false},
        {u"d:*", u"D:x", u"C:", true},
        {u"d:*", u"x", u"D:", false},
        {u"报*", u"报告", u"C:", true},
    });
}

TEST_F(MatchEntryTest, DriveTerms) {
    Check({
        {u"d:", u"x", u"D:", true},
        {u"d:", u"x", u"D:\\sub", true},
        {u"D:", u"x", u"d:\\sub", true},
        {u"d:", u"x", u"C:\\d", false},
        {u"d:", u"d:", u"C:", false},      // the name is not searched
        {u"c:", u"x", u"D:\\abc:", true},  // containment, not a prefix test
        {u"d:ab", u"ab", u"D:\\ab", false},
        {u"d:\\ab", u"x", u"D:\\Ab\\c", true},
        {u"d：", u"x", u"D:", false},
        {u"d：", u"x", u"C:\\d：x", true},
    });
}

TEST_F(MatchEntryTest, Conjunction) {
    Check({
        {u"", u"x", u"C:", true},
        {u"   ", u"x", u"C:", true},
        {u"ab cd", u"abcd", u"C:", true},
        {u"ab cd", u"cdab", u"C:", true},
        {u"ab cd", u"ab", u"C:", false},
        {u"ab  cd !ef", u"ab cd", u"C:", true},
        {u"ab  cd !ef", u"ab cd ef", u"C:", false},
        {u"d:  ab", u"ab", u"D:\\x", true},
        {u"d:  ab", u"ab", u"C:\\x", false},
        {u"d:  ab", u"cd", u"D:\\x", false},
        {u"ab* *cd", u"abcd", u"C:", true},
        {u"ab* *cd", u"abc", u"C:", false},
        {u"!ab !cd", u"x", u"C:", true},
        {u"!ab !cd", u"xcd", u"C:", false},
    });
}

TEST_F(MatchEntryTest, TypeFilterComesFirst) {
    struct Case {
        int32_t filter;
        int32_t category;
        std::u16string query;
        bool hit;
    } cases[] = {
        {0, 5, u"", true},   {0, 8, u"", true},    {5, 5, u"", true},    {5, 8, u"", false},
        {3, 3, u"ab", true}, {3, 4, u"ab", false}, {3, 3, u"zz", false}, {8, 8, u"!", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.filter << " " << c.category << " " << ToUtf8(c.query));
        RowFields fields{u"ab.txt", u"C:"};
        fields.category = c.category;
        const FileTable table = TableOf({fields});
        EXPECT_EQ(MatchEntry(table, 0, ParseQuery(c.query), c.filter), c.hit);
    }
}

}  // namespace
