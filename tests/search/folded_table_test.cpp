#include "search/folded_table.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "index/utf8.h"
#include "search/query.h"
#include "search/text_search.h"
#include "tests/search/test_rows.h"

namespace {

TEST(FoldToBytes, OneByteForASCIIAndTheUnitsValueOtherwise) {
    struct Case {
        std::u16string text;
        std::string bytes;
    } cases[] = {
        {u"", ""},
        {u"abz", "ABZ"},
        {u"A1_ .", "A1_ ."},
        {u"`{", "`{"},  // the neighbours of a and z stay
        {u"é", "\xC3\xA9"},
        {u"É", "\xC3\x89"},  // only a to z fold
        {u"报告", "\xE6\x8A\xA5\xE5\x91\x8A"},
        {u"\x7F\x80", "\x7F\xC2\x80"},
        {u"\x07FF\x0800", "\xDF\xBF\xE0\xA0\x80"},
        {u"\xD83D\xDE00", "\xED\xA0\xBD\xED\xB8\x80"},  // each surrogate on its own
        {u"\xFFFF", "\xEF\xBF\xBF"},
        {std::u16string(1, u'\0'), std::string(1, '\0')},
    };
    for (const Case& c : cases) EXPECT_EQ(FoldToBytes(c.text), c.bytes) << ToUtf8(c.text);
}

// The byte form keeps what the search asks of units: a folded needle lies in, begins or ends a
// folded text as bytes exactly when it does as units.
TEST(FoldToBytes, MatchesAsTheUnitsDo) {
    std::mt19937 random(31);
    const char16_t alphabet[] = {u'a',  u'A',   u'b',   0x7F,   0x80,   0xE9, 0xC9, 0x7FF,
                                 0x800, 0x62A5, 0xD83D, 0xDE00, 0xFFFF, 0xBF, 0xA0, u'\0'};
    auto randomText = [&](std::size_t most) {
        std::u16string text;
        const std::size_t length = random() % (most + 1);
        for (std::size_t i = 0; i < length; ++i) text.push_back(alphabet[random() % 16]);
        return text;
    };
    for (int round = 0; round < 30000; ++round) {
        const std::u16string text = randomText(12);
        const std::u16string needle = FoldCase(randomText(3));
        const std::string textBytes = FoldToBytes(text);
        const std::string needleBytes = FoldToBytes(needle);
        SCOPED_TRACE(round);
        ASSERT_EQ(textBytes.find(needleBytes) != std::string::npos, ContainsFolded(text, needle));
        ASSERT_EQ(textBytes.starts_with(needleBytes), StartsWithFolded(text, needle));
        ASSERT_EQ(textBytes.ends_with(needleBytes), EndsWithFolded(text, needle));
    }
}

TEST(FoldColumns, NamesFoldersAndCategoriesPerEntry) {
    RowMaker maker;
    const FileTable table(maker.MakeAll({
                              {u"Report.pdf", u"D:\\docs", 0, u"", 3},
                              {u"报告", u"D:\\docs", 0, u"", 3},
                              {u"docs", u"D:", 1, u"", 5},
                              {u"", u"C:\\x", 0, u"", 255},
                          }),
                          {});
    const FoldedTable columns = FoldColumns(table);
    ASSERT_EQ(columns.EntryCount(), 4u);
    EXPECT_EQ(columns.Name(0), "REPORT.PDF");
    EXPECT_EQ(columns.Name(1), FoldToBytes(u"报告"));
    EXPECT_EQ(columns.Name(3), "");
    EXPECT_EQ(columns.names, " REPORT.PDF " + FoldToBytes(u"报告") + " DOCS  ");
    EXPECT_EQ(columns.category, (std::vector<uint8_t>{3, 3, 5, FoldedTable::OtherCategory}));
    EXPECT_EQ(columns.Folder(columns.folderOf[0]), "D:\\DOCS");
    EXPECT_EQ(columns.Folder(columns.folderOf[1]), "D:\\DOCS");
    EXPECT_EQ(columns.Folder(columns.folderOf[2]), "D:");
    EXPECT_EQ(columns.Folder(columns.folderOf[3]), "C:\\X");
    for (std::size_t entry = 0; entry < 4; ++entry) {
        for (std::size_t at = columns.nameStart[entry]; at < columns.nameStart[entry + 1]; ++at)
            EXPECT_EQ(columns.EntryAt(at, 0), entry) << at;
    }
}

}  // namespace
