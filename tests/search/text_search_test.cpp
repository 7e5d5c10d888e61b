#include "search/text_search.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(FoldedTests, FoldTheTextOnly) {
    struct Case {
        std::u16string text;
        std::u16string folded;
        bool contains, starts, ends;
    } cases[] = {
        {u"Report.txt", u"REPORT", true, true, false},
        {u"Report.txt", u".TXT", true, false, true},
        {u"Report.txt", u"report", false, false, false},  // a needle is folded beforehand
        {u"ab", u"", true, true, true},
        {u"", u"", true, true, true},
        {u"ab", u"ABC", false, false, false},
        {u"aé", u"AÉ", false, false, false},
        {u"xÉy", u"É", true, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ContainsFolded(c.text, c.folded), c.contains);
        EXPECT_EQ(StartsWithFolded(c.text, c.folded), c.starts);
        EXPECT_EQ(EndsWithFolded(c.text, c.folded), c.ends);
    }
}

}  // namespace
