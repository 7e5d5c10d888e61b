#include "search/text_search.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace {

struct FindCase {
    std::u16string text;
    std::u16string needle;
    std::size_t from;
    std::size_t expected;
};

constexpr std::size_t None = std::u16string_view::npos;

TEST(FindUnits, Examples) {
    const FindCase cases[] = {
        {u"", u"", 0, 0},
        {u"abc", u"", 2, 2},
        {u"abc", u"", 3, 3},
        {u"abc", u"", 4, None},
        {u"abc", u"abcd", 0, None},
        {u"abc", u"c", 0, 2},
        {u"abc", u"c", 3, None},
        {u"abcabc", u"bc", 2, 4},
        {u"0123456789abcdefXY", u"XY", 0, 16},  // across the eight-unit blocks
        {u"0123456789abcdefghX", u"X", 0, 18},
        {u"aaaaaaaaaaaaaaaaaaab", u"aab", 0, 17},
        {u"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxab", u"ab", 0, 29},
        {u"报告报告报告报告报告报告", u"告报", 5, 5},
        {u"\xFFFF\x0001\xFFFF", u"\x0001\xFFFF", 0, 1},
        {u"Abc", u"abc", 0, None},  // no folding here
    };
    for (const FindCase& c : cases) {
        EXPECT_EQ(FindUnits(c.text, c.needle, c.from), c.expected);
    }
}

// Random texts over a tiny alphabet hit every branch of the block search: matches at every
// offset, first-and-last-unit matches that fail inside, and needles longer than the blocks.
TEST(FindUnits, AgreesWithTheStandardFindOnRandomTexts) {
    std::mt19937 random(12345);
    const char16_t alphabet[] = {u'a', u'b', u'A', 0x62A5, 0xFFFF};
    auto randomText = [&](std::size_t length) {
        std::u16string text;
        for (std::size_t i = 0; i < length; ++i) text.push_back(alphabet[random() % 5]);
        return text;
    };
    for (int round = 0; round < 20000; ++round) {
        std::u16string text = randomText(random() % 60);
        std::u16string needle = randomText(1 + random() % 12);
        std::size_t from = random() % (text.size() + 2);
        std::u16string_view view(text);
        ASSERT_EQ(FindUnits(text, needle, from), view.find(needle, from)) << "round " << round;
    }
}

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
