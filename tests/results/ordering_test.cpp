#include "results/ordering.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "index/utf8.h"
#include "results/sort_orders.h"
#include "tests/search/test_rows.h"

namespace {

struct NamedOrdering {
    const char* name;
    RowOrdering ordering;
};
const NamedOrdering Orderings[] = {
    {"NameUp", NameUp},         {"NameDown", NameDown},         {"SizeUp", SizeUp},
    {"SizeDown", SizeDown},     {"CreatedUp", CreatedUp},       {"CreatedDown", CreatedDown},
    {"ModifiedUp", ModifiedUp}, {"ModifiedDown", ModifiedDown},
};

const char* NameOf(RowOrdering ordering) {
    for (const NamedOrdering& o : Orderings) {
        if (o.ordering == ordering) return o.name;
    }
    return "none";
}

struct PairCase {
    RowOrdering ordering;
    RowFields a;
    RowFields b;
    bool before;
};

TEST(Orderings, Pairs) {
    const RowFields folderB{u"b", u"C:", 1, u"", 5, 10, 10};
    const RowFields fileA{u"a", u"C:", 0, u"1 KB", 8, 20, 20};
    const PairCase cases[] = {
        // folders before files in every Up ordering, whatever the key
        {NameUp, folderB, fileA, true},
        {NameUp, fileA, folderB, false},
        {SizeUp, folderB, fileA, true},
        {CreatedUp, folderB, fileA, true},
        {ModifiedUp, folderB, fileA, true},
        {NameDown, fileA, folderB, true},
        {NameDown, folderB, fileA, false},
        {SizeDown, fileA, folderB, true},
        {CreatedDown, fileA, folderB, true},
        {ModifiedDown, fileA, folderB, true},
        // names: unsigned code units, no folding, no collation, no numbers
        {NameUp, {u"Zebra"}, {u"apple"}, true},
        {NameUp, {u"file10"}, {u"file9"}, true},
        {NameUp, {u"B.txt"}, {u"a.txt"}, true},
        {NameUp, {u"ab"}, {u"abc"}, true},
        {NameUp, {u"abc"}, {u"ab"}, false},
        {NameUp, {u"ab"}, {u"ab"}, false},
        {NameUp, {u"报告"}, {u"报表"}, true},  // U+544A before U+8868
        {NameUp, {u"z"}, {u"é"}, true},
        {NameUp, {u"\xFFFF"}, {u"\xD83D\xDE00"}, false},  // unit order, not code point order
        {NameUp, {u"abcd1"}, {u"abcd"}, false},
        {NameUp, {u"abcdX"}, {u"abcdY"}, true},
        {NameUp, {u"a\x1"}, {u"a"}, false},
        {NameDown, {u"Zebra"}, {u"apple"}, false},
        {NameDown, {u"abc"}, {u"ab"}, true},
        // sizes as numbers
        {SizeUp, {u"x", u"C:", 0, u"999 KB"}, {u"x", u"C:", 0, u"1,000 KB"}, true},
        {SizeUp, {u"x", u"C:", 0, u"9 KB"}, {u"x", u"C:", 0, u"10 KB"}, true},
        {SizeUp,
         {u"x", u"C:", 0, u"3,000,000,000 KB"},
         {u"x", u"C:", 0, u"2,000,000,000 KB"},
         false},
        {SizeUp, {u"x", u"C:", 0, u"7 KB"}, {u"y", u"C:", 0, u"7 KB"}, false},
        {SizeDown, {u"x", u"C:", 0, u"10 KB"}, {u"x", u"C:", 0, u"9 KB"}, true},
        {SizeUp, {u"x", u"C:", 1, u""}, {u"y", u"C:", 1, u""}, false},
        // times as unsigned numbers
        {CreatedUp, {u"x", u"C:", 0, u"", 8, 5}, {u"y", u"C:", 0, u"", 8, 6}, true},
        {CreatedUp, {u"x", u"C:", 0, u"", 8, 1ull << 63}, {u"y", u"C:", 0, u"", 8, 1}, false},
        {CreatedDown, {u"x", u"C:", 0, u"", 8, 1ull << 63}, {u"y", u"C:", 0, u"", 8, 1}, true},
        {CreatedUp, {u"x", u"C:", 0, u"", 8, 5, 1}, {u"y", u"C:", 0, u"", 8, 5, 0}, false},
        {ModifiedUp, {u"x", u"C:", 0, u"", 8, 9, 5}, {u"y", u"C:", 0, u"", 8, 0, 6}, true},
        {ModifiedDown, {u"x", u"C:", 0, u"", 8, 0, 6}, {u"y", u"C:", 0, u"", 8, 9, 5}, true},
    };
    for (const PairCase& c : cases) {
        SCOPED_TRACE(std::string(NameOf(c.ordering)) + " " + ToUtf8(c.a.name) + " / " +
                     ToUtf8(c.b.name));
        const FileTable pair = TableOf({c.a, c.b});
        EXPECT_EQ(c.ordering(pair, 0, 1), c.before);
    }
}

std::vector<RowFields> RandomRows(std::mt19937& random, std::size_t count) {
    // Long shared prefixes and U+0000 units reach past the first key chunks of the name sort.
    const std::u16string pieces[] = {u"a",
                                     u"A",
                                     u"b",
                                     u"报",
                                     u"file",
                                     u"1",
                                     u"10",
                                     u"9",
                                     u".txt",
                                     std::u16string(1, u'\0'),
                                     u"IMG_2023_0512_",
                                     u"\xFFFF"};
    const std::size_t pieceCount = sizeof(pieces) / sizeof(pieces[0]);
    std::vector<RowFields> fieldList;
    for (std::size_t i = 0; i < count; ++i) {
        RowFields fields;
        int parts = static_cast<int>(random() % 8);
        for (int p = 0; p <= parts; ++p) fields.name += pieces[random() % pieceCount];
        fields.folder = u"C:";
        fields.isFolder = random() % 4 == 0;
        if (!fields.isFolder) {
            const uint64_t sizes[] = {0, 1, 999, 1000, 4883, 2147483648ull, 99999999999ull};
            std::string digits = std::to_string(sizes[random() % 7]);
            std::string grouped;
            for (std::size_t d = 0; d < digits.size(); ++d) {
                if (d > 0 && (digits.size() - d) % 3 == 0) grouped += ',';
                grouped += digits[d];
            }
            fields.sizeText = FromUtf8(grouped + " KB");
        }
        fields.created = random() % 6;
        fields.modified = random() % 2 ? random() % 6 : (1ull << 63) + random() % 3;
        fieldList.push_back(fields);
    }
    return fieldList;
}

TEST(Orderings, DownMirrorsUpAndEachIsAStrictOrder) {
    std::mt19937 random(7);
    const FileTable table = TableOf(RandomRows(random, 60));
    const std::pair<RowOrdering, RowOrdering> mirrors[] = {{NameUp, NameDown},
                                                           {SizeUp, SizeDown},
                                                           {CreatedUp, CreatedDown},
                                                           {ModifiedUp, ModifiedDown}};
    for (auto [up, down] : mirrors) {
        SCOPED_TRACE(NameOf(up));
        for (uint32_t a = 0; a < table.Size(); ++a) {
            EXPECT_FALSE(up(table, a, a));
            EXPECT_FALSE(down(table, a, a));
            for (uint32_t b = 0; b < table.Size(); ++b) {
                ASSERT_EQ(down(table, a, b), up(table, b, a));
                if (up(table, a, b)) {
                    ASSERT_FALSE(up(table, b, a));
                }
            }
        }
    }
}

TEST(OrderingFor, ColumnTable) {
    struct Case {
        int column;
        uint8_t flag;
        RowOrdering ordering;
        char16_t marker;
    } cases[] = {
        {0, 1, NameUp, u'▲'},      {0, 0, NameDown, u'▼'},  {1, 1, NameDown, u'▲'},
        {1, 0, NameUp, u'▼'},      {2, 1, SizeUp, u'▲'},    {2, 0, SizeDown, u'▼'},
        {3, 1, CreatedDown, u'▲'}, {3, 0, CreatedUp, u'▼'}, {4, 1, ModifiedDown, u'▲'},
        {4, 0, ModifiedUp, u'▼'},
    };
    for (const Case& c : cases) {
        ColumnOrdering chosen = OrderingFor(static_cast<Column>(c.column), c.flag);
        EXPECT_STREQ(NameOf(chosen.ordering), NameOf(c.ordering)) << c.column << " " << int(c.flag);
        EXPECT_EQ(chosen.marker, c.marker) << c.column << " " << int(c.flag);
    }
}

// Sorting the same rows with the predicate directly is the reference: the rows must come out
// as a permutation whose every neighbour pair the predicate accepts, with the same key sequence.
TEST(SortResults, SortsByEveryOrderingLikeThePredicate) {
    std::mt19937 random(99);
    for (std::size_t count : {0u, 1u, 2u, 17u, 500u, 5000u}) {
        const std::vector<RowFields> rows = RandomRows(random, count);
        for (const NamedOrdering& o : Orderings) {
            SCOPED_TRACE(std::string(o.name) + " " + std::to_string(count));
            ShownRows shown(rows);
            const FileTable& table = shown.view.Table();
            auto before = [&](uint32_t a, uint32_t b) { return o.ordering(table, a, b); };
            SortResults(shown.view, o.ordering);
            const std::vector<uint32_t> sorted = shown.view.RowNumbers();
            ASSERT_EQ(sorted.size(), rows.size());
            EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end(), before));
            std::vector<uint32_t> reference(rows.size());
            for (uint32_t i = 0; i < reference.size(); ++i) reference[i] = i;
            std::sort(reference.begin(), reference.end(), before);
            for (std::size_t i = 0; i < rows.size(); ++i) {
                // Equivalent rows may stand in any order; their neighbours' keys may not.
                ASSERT_FALSE(before(sorted[i], reference[i]) || before(reference[i], sorted[i]))
                    << i;
            }
            std::vector<uint32_t> permutation = sorted;
            std::sort(permutation.begin(), permutation.end());
            for (uint32_t i = 0; i < permutation.size(); ++i) ASSERT_EQ(permutation[i], i);
        }
    }
}

TEST(HeaderTexts, NeutralAndMarked) {
    struct Case {
        int column;
        std::u16string word;
        std::size_t blanks;
    } cases[] = {{0, u"名称", 47},
                 {1, u"路径", 58},
                 {2, u"大小", 4},
                 {3, u"创建时间", 4},
                 {4, u"修改时间", 4}};
    for (const Case& c : cases) {
        const std::u16string blanks(c.blanks, u' ');
        const Column column = static_cast<Column>(c.column);
        EXPECT_EQ(ToUtf8(NeutralHeaderText(column)), ToUtf8(c.word + blanks + u"↑↓"));
        EXPECT_EQ(ToUtf8(MarkedHeaderText(column, u'▲')), ToUtf8(c.word + blanks + u"▲"));
        EXPECT_EQ(ToUtf8(MarkedHeaderText(column, u'▼')), ToUtf8(c.word + blanks + u"▼"));
    }
    EXPECT_EQ(ToUtf8(NeutralHeaderText(Column::Size)), "大小    ↑↓");
    EXPECT_EQ(ToUtf8(MarkedHeaderText(Column::Modified, u'▼')), "修改时间    ▼");
    EXPECT_EQ(NeutralHeaderText(Column::Name).size(), 51u);
    EXPECT_EQ(NeutralHeaderText(Column::Path).size(), 62u);
}

TEST(CellText, ColumnsShowTheStoredTexts) {
    RowFields fields{u"notes.txt",        u"C:\\docs",        0, u"1,234 KB", 3, 1, 2,
                     u"2024-05-01 09:30", u"2024-05-02 10:00"};
    const FileTable table = TableOf({fields, {u"docs", u"C:", 1, u""}});
    const char* expected[] = {"notes.txt", "C:\\docs", "1,234 KB", "2024-05-01 09:30",
                              "2024-05-02 10:00"};
    for (int column = 0; column < ColumnCount; ++column) {
        EXPECT_EQ(ToUtf8(CellText(table, 0, static_cast<Column>(column))), expected[column])
            << column;
    }
    EXPECT_TRUE(CellText(table, 1, Column::Size).empty());
    EXPECT_TRUE(CellText(table, 1, Column::Created).empty());
}

TEST(ColumnAt, OnlyTheFivePositions) {
    for (int position = -2; position < ColumnCount + 2; ++position) {
        const std::optional<Column> column = ColumnAt(position);
        ASSERT_EQ(column.has_value(), position >= 0 && position < ColumnCount) << position;
        if (column) {
            EXPECT_EQ(static_cast<int>(*column), position);
        }
    }
    EXPECT_EQ(ColumnAt(1), Column::Path);
    EXPECT_EQ(ColumnAt(4), Column::Modified);
}

}  // namespace

namespace {

// Each key and the ordering its order follows.
const std::pair<SortKey, RowOrdering> KeyOrderings[] = {{SortKey::Name, NameUp},
                                                        {SortKey::Size, SizeUp},
                                                        {SortKey::Created, CreatedUp},
                                                        {SortKey::Modified, ModifiedUp}};

// An order holds every row of the table once, in the key's Up ordering, rows the ordering finds
// equivalent in table order.
TEST(SortOrders, EachOrderIsAPermutationInUpOrder) {
    std::mt19937 random(5);
    for (std::size_t count : {0u, 1u, 2u, 40u, 300u}) {
        const FileTable table = TableOf(RandomRows(random, count));
        for (auto [key, up] : KeyOrderings) {
            SCOPED_TRACE(std::string(NameOf(up)) + " " + std::to_string(count));
            const SortOrder order = BuildSortOrder(table, key);
            ASSERT_EQ(order.size(), count);
            std::vector<uint32_t> placeOf(count, UINT32_MAX);
            for (std::size_t place = 0; place < count; ++place) {
                ASSERT_LT(order[place], count);
                ASSERT_EQ(placeOf[order[place]], UINT32_MAX) << "row twice";
                placeOf[order[place]] = static_cast<uint32_t>(place);
            }
            for (uint32_t a = 0; a < count; ++a) {
                for (uint32_t b = 0; b < count; ++b) {
                    const bool equivalent = !up(table, a, b) && !up(table, b, a);
                    if (up(table, a, b) || (equivalent && a < b)) {
                        ASSERT_LT(placeOf[a], placeOf[b]) << a << " " << b;
                    }
                }
            }
        }
    }
}

// Larger tables, past the sizes that are sorted by comparisons alone and past 65,536 rows, where
// the row number's third byte tells ties apart: the same as a stable sort by the ordering.
TEST(SortOrders, MatchStableSortsOfTheOrderings) {
    std::mt19937 random(9);
    for (std::size_t count : {3000u, 70000u}) {
        std::vector<RowFields> rows = RandomRows(random, count);
        // Every byte of a time told apart in some rows, beside the many ties.
        for (std::size_t i = 0; i < rows.size(); i += 3) rows[i].created = random() * 0x9E3779B9ull;
        const FileTable table = TableOf(rows);
        for (auto [key, up] : KeyOrderings) {
            SCOPED_TRACE(std::string(NameOf(up)) + " " + std::to_string(count));
            SortOrder expected(count);
            for (uint32_t row = 0; row < count; ++row) expected[row] = row;
            std::stable_sort(expected.begin(), expected.end(),
                             [&, up = up](uint32_t a, uint32_t b) { return up(table, a, b); });
            EXPECT_EQ(BuildSortOrder(table, key), expected);
        }
    }
}

TEST(SortRowsByOrder, OrdersRowsByTheirPlace) {
    // Row 1 first, then 3, 4, 2 and 0.
    const SortOrder order = {1, 3, 4, 2, 0};
    struct Case {
        std::vector<uint32_t> rows;
        std::vector<uint32_t> sorted;
    } cases[] = {
        {{}, {}},
        {{2}, {2}},
        {{0, 1, 2, 3, 4}, {1, 3, 4, 2, 0}},
        {{4, 0}, {4, 0}},
        {{0, 2, 4}, {4, 2, 0}},
        {{3, 3, 1}, {1, 3, 3}},
        // Most of the table, with and without a row twice.
        {{2, 0, 4, 1}, {1, 4, 2, 0}},
        {{2, 0, 2, 1}, {1, 2, 2, 0}},
        {{3, 1, 0, 2, 4}, {1, 3, 4, 2, 0}},
        {{0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0}},
    };
    for (Case& c : cases) {
        SortRowsByOrder(c.rows, order);
        EXPECT_EQ(c.rows, c.sorted);
    }
}

// Views of all or part of a table, in any order, sorted by the table's orders: the same
// check as the predicate sort above, rows of both kinds with ties in every key.
TEST(SortResults, WithRanksOnPartsOfTheTable) {
    std::mt19937 random(11);
    for (std::size_t count : {1u, 2u, 17u, 700u, 5000u}) {
        const std::shared_ptr<const PublishedTable> published =
            PublishedOf(RandomRows(random, count));
        const FileTable& table = published->Table();
        for (const NamedOrdering& o : Orderings) {
            // Every row, about half of them (sorted by places) and a tenth (by radix passes).
            for (uint32_t share : {1u, 2u, 10u}) {
                SCOPED_TRACE(std::string(o.name) + " " + std::to_string(count) + " 1/" +
                             std::to_string(share));
                std::vector<uint32_t> rows;
                for (uint32_t row = 0; row < count; ++row) {
                    if (random() % share == 0) rows.push_back(row);
                }
                std::shuffle(rows.begin(), rows.end(), random);
                ResultSet view(published);
                view.ShowRows(rows);
                SortResults(view, o.ordering);
                ASSERT_EQ(view.Size(), rows.size());
                std::vector<uint32_t> sortedRows = view.RowNumbers();
                for (std::size_t i = 1; i < view.Size(); ++i) {
                    ASSERT_FALSE(o.ordering(table, view.RowNumber(i), view.RowNumber(i - 1))) << i;
                }
                std::sort(sortedRows.begin(), sortedRows.end());
                std::sort(rows.begin(), rows.end());
                ASSERT_EQ(sortedRows, rows);
            }
        }
    }
}

}  // namespace
