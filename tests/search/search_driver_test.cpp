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
    for (std::size_t i = 0; i < rows.Size(); ++i)
        names.push_back(ToUtf8(rows.Table().Name(rows.RowNumber(i))));
    return names;
}

class RunSearchTest : public ::testing::Test {
  protected:
    void SetUp() override {
        Publish({
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
    // The table as the program publishes it, with a view on it.
    void Publish(const std::vector<RowFields>& rows) { results_.Attach(PublishedOf(rows)); }
    std::size_t Search(std::u16string_view query) { return RunSearch(results_, query); }
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
    EXPECT_EQ(results_.Table().Name(3), u"photo.JPG");
}

TEST_F(RunSearchTest, SeesANewTableOfTheSameSize) {
    EXPECT_EQ(Search(u"report"), 3u);
    // The same size, other entries: the search must not answer from the old table's columns.
    const std::vector<RowFields> other = {
        {u"a", u"C:"}, {u"b", u"C:"},      {u"c", u"C:"}, {u"d", u"C:"},
        {u"e", u"C:"}, {u"report", u"F:"}, {u"g", u"C:"}, {u"h", u"C:"},
    };
    Publish(other);
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
    ResultSet results(PublishedOf(fieldList));
    const FileTable& table = results.Table();
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
        for (uint32_t row = 0; row < table.Size(); ++row) {
            if (MatchEntry(table, row, parsed, filter)) expected.push_back(ToUtf8(table.Name(row)));
        }
        ASSERT_EQ(RunSearch(results, query), expected.size());
        ASSERT_EQ(Names(results), expected);
    }
}

}  // namespace

namespace {

// Names from a few pieces, with one rare piece, so that some needles match in most names and
// others in a few; folders on several drives.
std::vector<RowFields> PieceTable(std::size_t count, uint32_t seed) {
    std::mt19937 random(seed);
    const std::vector<std::u16string> pieces = {u"a", u"B", u"ab",     u"报告", u" ",  u".",
                                                u"x", u"é", u"\xD83D", u"Z",    u"\t", u"*"};
    const std::vector<std::u16string> folders = {u"C:", u"D:", u"D:\\ab", u"E:\\报告\\A b"};
    std::vector<RowFields> fieldList;
    for (std::size_t i = 0; i < count; ++i) {
        RowFields fields;
        const int parts = 1 + static_cast<int>(random() % 5);
        for (int p = 0; p < parts; ++p) {
            fields.name += random() % 40 == 0 ? u"rare" : pieces[random() % pieces.size()];
        }
        fields.folder = folders[random() % folders.size()];
        fields.isFolder = random() % 7 == 0;
        fields.category = fields.isFolder ? 5 : 1 + static_cast<int32_t>(random() % 8);
        fieldList.push_back(fields);
    }
    return fieldList;
}

std::vector<uint32_t> ReferenceRows(const FileTable& table, const ParsedQuery& query,
                                    int32_t filter) {
    std::vector<uint32_t> rows;
    for (std::size_t row = 0; row < table.Size(); ++row) {
        if (MatchEntry(table, static_cast<uint32_t>(row), query, filter))
            rows.push_back(static_cast<uint32_t>(row));
    }
    return rows;
}

// Queries whose needles match densely, sparsely, never, by exclusion, by a name's first or
// last bytes, or not at all.
const std::u16string SliceQueries[] = {
    u"",         u"a",      u"A",   u"ab", u"rare",          u"RARE  b",  u"报告",  u"报",
    u"é",        u"\xD83D", u"zzz", u"!a", u"!rare",         u"!报告  a", u"a*",    u"*a",
    u"rare*",    u"*rare",  u"a*b", u"*",  u"* !b",          u"d:",       u"d:  a", u"e:  !rare",
    u"c:  rare", u"!",      u"\t",  u"x.", u"ab  !rare  b*",
};

// The scan cut into any number of slices must give exactly the one-slice rows, which must be
// exactly the rows the per-entry reference matcher accepts, in table order. The table sizes
// lie around the slice boundaries and the scan's chunks of 4096 entries.
TEST(CollectHitsInSlices, SameRowsForEverySliceCount) {
    for (std::size_t size : {0u, 1u, 2u, 3u, 5u, 7u, 8u, 9u, 63u, 4095u, 4096u, 4097u, 9001u}) {
        const FileTable table = TableOf(PieceTable(size, static_cast<uint32_t>(size) + 1));
        for (const std::u16string& text : SliceQueries) {
            const ParsedQuery query = ParseQuery(text);
            const ScanPlan plan = PlanScan(query);
            for (int32_t filter : {0, 5, 3}) {
                const std::vector<uint32_t> expected = ReferenceRows(table, query, filter);
                for (std::size_t slices : {1u, 2u, 3u, 4u, 7u}) {
                    SCOPED_TRACE(ToUtf8(text) + " filter " + std::to_string(filter) + " size " +
                                 std::to_string(size) + " slices " + std::to_string(slices));
                    std::vector<uint32_t> hits;
                    std::vector<std::vector<uint32_t>> sliceHits;
                    CollectHits(table, query, plan, filter, slices, hits, sliceHits);
                    ASSERT_EQ(hits, expected);
                    // The slice buffers are reused by the next call without leaking into it.
                    hits.clear();
                    CollectHits(table, query, plan, filter, slices, hits, sliceHits);
                    ASSERT_EQ(hits, expected);
                }
            }
        }
    }
}

// The orders are made on a thread of their own once the table is published: the table can be
// searched before they are there, a sort waits for them, and they are those of the table itself.
TEST(Publish, OrdersAreMadeBesideTheTable) {
    for (int round = 0; round < 3; ++round) {
        const std::vector<RowFields> rows = PieceTable(20000, 10 + round);
        const FileTable reference = TableOf(rows);
        ResultSet view(PublishedOf(rows));
        EXPECT_EQ(RunSearch(view, u""), rows.size());
        for (SortKey key : {SortKey::Name, SortKey::Size, SortKey::Created, SortKey::Modified})
            EXPECT_EQ(view.Orders().Of(key), BuildSortOrder(reference, key));
        // A table let go at once waits for its orders' thread before it goes.
        { const std::shared_ptr<const PublishedTable> dropped = PublishedOf(rows); }
    }
}

// A view shares the table it shows: replacing the table elsewhere, or dropping every other
// owner, leaves the view's rows readable.
TEST(ResultSet, AViewOutlivesAReplacedTable) {
    std::shared_ptr<const PublishedTable> shown = PublishedOf(PieceTable(5000, 3));
    ResultSet view(shown);
    RunSearch(view, u"rare");
    const std::vector<std::string> before = Names(view);
    ASSERT_FALSE(before.empty());
    shown = PublishedOf(PieceTable(10, 4));  // the program publishes a new table
    EXPECT_EQ(Names(view), before);
    for (const SortOrder& order : view.Orders().byKey) EXPECT_EQ(order.size(), 5000u);
    SortByColumn(view, Column::Name, 1);
    EXPECT_EQ(view.Size(), before.size());
    view.Attach(shown);
    EXPECT_EQ(RunSearch(view, u""), 10u);
}

}  // namespace
