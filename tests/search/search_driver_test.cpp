#include "search/search_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "index/utf8.h"
#include "search/query.h"
#include "search/reference_match.h"
#include "tests/search/test_rows.h"

namespace {

std::vector<std::string> Names(const ResultSet& rows) {
    std::vector<std::string> names;
    for (std::size_t i = 0; i < rows.Size(); ++i) names.push_back(ToUtf8(rows.Row(i).Name()));
    return names;
}

class RunSearchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Publish(maker_.MakeAll({
            {u"Report.pdf", u"D:\\docs", 0, u"12 KB", 3},
            {u"docs", u"D:", 1, u"", 5},
            {u"report draft.txt", u"C:\\Users\\me", 0, u"1 KB", 3},
            {u"photo.JPG", u"C:\\Users\\me", 0, u"2,048 KB", 6},
            {u"年度报告.docx", u"D:\\docs", 0, u"30 KB", 3},
            {u"abc", u"E:\\ab", 0, u"0 KB", 8},
            {u"Users", u"C:", 1, u"", 5},
            {u"report", u"D:\\docs\\report", 1, u"", 5},
        }));
    }
    // The table as the program publishes it, with a view on it.
    void Publish(std::vector<FileEntry> entries) {
        searchable_ = ::Publish(FileTable(std::move(entries), {}));
        results_.Attach(searchable_.table);
    }
    std::size_t Search(std::u16string_view query) {
        return RunSearch(searchable_, query, results_);
    }
    RowMaker maker_;
    SearchableTable searchable_;
    ResultSet results_;
};

TEST_F(RunSearchTest, RefillsInTableOrder) {
    struct Case {
        int32_t filter;
        std::u16string query;
        std::vector<std::string> names;
    } cases[] = {
        {0, u"report", {"Report.pdf", "report draft.txt", "report"}},
        {0, u"  REPORT  ", {"Report.pdf", "report draft.txt", "report"}},
        {0, u"d:  report", {"Report.pdf", "report"}},
        {0, u"d:", {"Report.pdf", "docs", "年度报告.docx", "report"}},
        {0, u"report !txt", {"Report.pdf", "report"}},
        {0, u"*.jpg", {"photo.JPG"}},
        {0, u"r*t", {"report draft.txt", "report"}},
        {0, u"报告", {"年度报告.docx"}},
        {0, u"!", {}},
        {0, u"zzz", {}},
        {0, u"s", {"docs", "Users"}},
        {0, u"ab", {"abc"}},  // the folder ‹E:\ab› does not count
        {0,
         u"",
         {"Report.pdf", "docs", "report draft.txt", "photo.JPG", "年度报告.docx", "abc", "Users",
          "report"}},
        {0,
         u"*",
         {"Report.pdf", "docs", "report draft.txt", "photo.JPG", "年度报告.docx", "abc", "Users",
          "report"}},
        {0, u"* *t", {"report draft.txt", "report"}},
        {5, u"", {"docs", "Users", "report"}},
        {5, u"report", {"report"}},
        {3, u"d:", {"Report.pdf", "年度报告.docx"}},
        {7, u"", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.query) + " filter " + std::to_string(c.filter));
        results_.SetTypeFilter(c.filter);
        EXPECT_EQ(Search(c.query), c.names.size());
        EXPECT_EQ(Names(results_), c.names);
    }
}

TEST_F(RunSearchTest, SearchReplacesASortedResult) {
    Search(u"");
    std::vector<uint32_t> reversed(results_.RowNumbers().rbegin(), results_.RowNumbers().rend());
    results_.ShowRows(reversed);
    ASSERT_EQ(Names(results_).front(), "report");
    Search(u"report");
    EXPECT_EQ(Names(results_),
              (std::vector<std::string>{"Report.pdf", "report draft.txt", "report"}));
}

TEST_F(RunSearchTest, RowsAreTheTableEntries) {
    Search(u"photo");
    ASSERT_EQ(results_.Size(), 1u);
    EXPECT_EQ(results_.RowNumber(0), 3u);
    EXPECT_EQ(&results_.Row(0), &searchable_.table[3]);
}

TEST_F(RunSearchTest, SeesANewTableOfTheSameSize) {
    EXPECT_EQ(Search(u"report"), 3u);
    // The same size, other entries: the search must not answer from the old table's columns.
    std::vector<FileEntry> other = maker_.MakeAll({
        {u"a", u"C:"},
        {u"b", u"C:"},
        {u"c", u"C:"},
        {u"d", u"C:"},
        {u"e", u"C:"},
        {u"report", u"F:"},
        {u"g", u"C:"},
        {u"h", u"C:"},
    });
    Publish(std::move(other));
    EXPECT_EQ(Search(u"report"), 1u);
    EXPECT_EQ(Names(results_), std::vector<std::string>{"report"});
    EXPECT_EQ(Search(u"f:"), 1u);
}

TEST_F(RunSearchTest, EmptyTable) {
    Publish({});
    for (const char16_t* query : {u"", u"a", u"d:", u"a*", u"!a"}) {
        EXPECT_EQ(Search(query), 0u);
        EXPECT_TRUE(results_.Empty());
    }
}

// The scan over folded columns must give exactly what testing each entry with MatchEntry gives.
TEST(RunSearchAgreement, MatchesEntryByEntryTesting) {
    std::mt19937 random(2024);
    RowMaker maker;
    const std::vector<std::u16string> pieces = {u"a", u"B", u"ab", u"報", u"报告", u" ", u".",
                                                u":", u"*", u"!",  u"x",  u"é",    u"É", u"\t"};
    auto randomText = [&](int most) {
        std::u16string text;
        int count = 1 + static_cast<int>(random() % most);
        for (int i = 0; i < count; ++i) text += pieces[random() % pieces.size()];
        return text;
    };
    std::vector<std::u16string> folders = {
        u"C:", u"D:", u"D:\\ab", u"c:\\x:y", u"E:\\报告\\A b", u"D:\\d：x"};
    std::vector<RowFields> fieldList;
    for (int i = 0; i < 3000; ++i) {
        RowFields fields{randomText(6), folders[random() % folders.size()]};
        fields.category = 1 + static_cast<int32_t>(random() % 8);
        fieldList.push_back(fields);
    }
    const SearchableTable searchable = Publish(FileTable(maker.MakeAll(fieldList), {}));
    ResultSet results(searchable.table);
    const std::vector<std::u16string> termPieces = {u"a",  u"b",   u"ab",  u"!a", u"!",    u"*",
                                                    u"a*", u"*b",  u"a*b", u"d:", u"c:",   u"d：",
                                                    u"报", u"!报", u"x.",  u"é",  u"d:\\a"};
    for (int round = 0; round < 400; ++round) {
        std::u16string query;
        int terms = static_cast<int>(random() % 4);
        for (int t = 0; t < terms; ++t) query += u"  " + termPieces[random() % termPieces.size()];
        const int32_t filter = static_cast<int32_t>(random() % 9);
        results.SetTypeFilter(filter);
        SCOPED_TRACE(ToUtf8(query) + " filter " + std::to_string(filter));
        const ParsedQuery parsed = ParseQuery(query);
        std::vector<std::string> expected;
        for (const FileEntry& entry : searchable.table) {
            if (MatchEntry(entry, parsed, filter)) expected.push_back(ToUtf8(entry.Name()));
        }
        ASSERT_EQ(RunSearch(searchable, query, results), expected.size());
        ASSERT_EQ(Names(results), expected);
    }
}

}  // namespace
