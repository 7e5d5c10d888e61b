#include "search/search_driver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "search/match.h"
#include "search/query.h"
#include "tests/search/test_rows.h"

namespace {

std::vector<std::string> Names(const std::vector<FileEntry>& rows) {
    std::vector<std::string> names;
    for (const FileEntry& row : rows) names.push_back(ToUtf8(row.Name()));
    return names;
}

class RunSearchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        TypeFilter = 0;
        FileTable = maker_.MakeAll({
            {u"Report.pdf", u"D:\\docs", 0, u"12 KB", 3},
            {u"docs", u"D:", 1, u"", 5},
            {u"report draft.txt", u"C:\\Users\\me", 0, u"1 KB", 3},
            {u"photo.JPG", u"C:\\Users\\me", 0, u"2,048 KB", 6},
            {u"年度报告.docx", u"D:\\docs", 0, u"30 KB", 3},
            {u"abc", u"E:\\ab", 0, u"0 KB", 8},
            {u"Users", u"C:", 1, u"", 5},
            {u"report", u"D:\\docs\\report", 1, u"", 5},
        });
    }
    void TearDown() override {
        TypeFilter = 0;
        FileTable.clear();
        ResultSet.clear();
    }
    RowMaker maker_;
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
        TypeFilter = c.filter;
        EXPECT_EQ(RunSearch(c.query), c.names.size());
        EXPECT_EQ(Names(ResultSet), c.names);
    }
}

TEST_F(RunSearchTest, SearchReplacesASortedResult) {
    RunSearch(u"");
    std::reverse(ResultSet.begin(), ResultSet.end());
    RunSearch(u"report");
    EXPECT_EQ(Names(ResultSet),
              (std::vector<std::string>{"Report.pdf", "report draft.txt", "report"}));
}

TEST_F(RunSearchTest, CopiesShareTheTableTexts) {
    RunSearch(u"photo");
    ASSERT_EQ(ResultSet.size(), 1u);
    EXPECT_EQ(ResultSet[0].Name().data(), FileTable[3].Name().data());
    EXPECT_EQ(ResultSet[0].FolderPath().data(), FileTable[3].FolderPath().data());
}

TEST_F(RunSearchTest, SeesANewTableOfTheSameSize) {
    EXPECT_EQ(RunSearch(u"report"), 3u);
    // The same vector, the same size, other entries: the search must not answer from what it
    // knew about the old table.
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
    std::copy(other.begin(), other.end(), FileTable.begin());
    EXPECT_EQ(RunSearch(u"report"), 1u);
    EXPECT_EQ(Names(ResultSet), std::vector<std::string>{"report"});
    EXPECT_EQ(RunSearch(u"f:"), 1u);
}

TEST_F(RunSearchTest, EmptyTable) {
    FileTable.clear();
    for (const char16_t* query : {u"", u"a", u"d:", u"a*", u"!a"}) {
        EXPECT_EQ(RunSearch(query), 0u);
        EXPECT_TRUE(ResultSet.empty());
        EXPECT_EQ(ToUtf8(StatusText), "0 个对象");
    }
}

TEST_F(RunSearchTest, ShowsTheCount) {
    RunSearch(u"d:");
    EXPECT_EQ(ToUtf8(StatusText), "4 个对象");
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
    FileTable = maker.MakeAll(fieldList);
    const std::vector<std::u16string> termPieces = {u"a",  u"b",   u"ab",  u"!a", u"!",    u"*",
                                                    u"a*", u"*b",  u"a*b", u"d:", u"c:",   u"d：",
                                                    u"报", u"!报", u"x.",  u"é",  u"d:\\a"};
    for (int round = 0; round < 400; ++round) {
        std::u16string query;
        int terms = static_cast<int>(random() % 4);
        for (int t = 0; t < terms; ++t) query += u"  " + termPieces[random() % termPieces.size()];
        TypeFilter = static_cast<int32_t>(random() % 9);
        SCOPED_TRACE(ToUtf8(query) + " filter " + std::to_string(TypeFilter));
        const ParsedQuery parsed = ParseQuery(query);
        std::vector<std::string> expected;
        for (const FileEntry& entry : FileTable) {
            if (MatchEntry(entry, parsed)) expected.push_back(ToUtf8(entry.Name()));
        }
        ASSERT_EQ(RunSearch(query), expected.size());
        ASSERT_EQ(Names(ResultSet), expected);
    }
    TypeFilter = 0;
    FileTable.clear();
    ResultSet.clear();
}

TEST(StatusTexts, CountAndLoadSummary) {
    struct CountCase {
        std::size_t count;
        const char* text;
    } counts[] = {{0, "0 个对象"},           {42, "42 个对象"},      {999, "999 个对象"},
                  {1000, "1,000 个对象"},    {1234, "1,234 个对象"}, {1234567, "1,234,567 个对象"},
                  {100000, "100,000 个对象"}};
    for (const CountCase& c : counts) {
        EXPECT_EQ(ToUtf8(ShowResultCount(c.count)), c.text);
        EXPECT_EQ(ToUtf8(StatusText), c.text);
    }
    struct LoadCase {
        std::size_t count;
        double seconds;
        const char* text;
    } loads[] = {
        {1234567, 3.25, "1,234,567 个对象   耗时: 3.250000秒"},
        {0, 0.0105, "0 个对象   耗时: 0.010500秒"},
        {12, 0.0000004, "12 个对象   耗时: 0.000000秒"},
        {1000, 61.5, "1,000 个对象   耗时: 61.500000秒"},
    };
    for (const LoadCase& c : loads) {
        EXPECT_EQ(ToUtf8(LoadSummary(c.count, c.seconds)), c.text);
        EXPECT_EQ(ToUtf8(StatusText), c.text);
    }
    EXPECT_EQ(ToUtf8(LoadWaitText), "正在整理数据，请稍等片刻.........");
}

}  // namespace
