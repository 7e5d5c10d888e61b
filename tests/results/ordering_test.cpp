#include "results/ordering.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "index/utf8.h"
#include "results/sort_ranks.h"
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

TEST(SizeKey, ReadsTheTextLikeTheCLibrary) {
    struct Case {
        std::u16string text;
        int64_t key;
    } cases[] = {
        {u"", 0},
        {u"0 KB", 0},
        {u"1 KB", 1},
        {u"1,234 KB", 1234},
        {u"4,883 KB", 4883},
        {u"1,234,567 KB", 1234567},
        {u"2,147,483,647 KB", 2147483647},
        {u"2,147,483,648 KB", 2147483648},  // no longer clamped at 32 bits
        {u"17,179,869,184 KB", 17179869184},
        {u"9,223,372,036,854,775,807 KB", std::numeric_limits<int64_t>::max()},
        {u"99,999,999,999,999,999,999 KB", std::numeric_limits<int64_t>::max()},
        {u"-9,223,372,036,854,775,808 KB", std::numeric_limits<int64_t>::min()},
        {u"-99,999,999,999,999,999,999 KB", std::numeric_limits<int64_t>::min()},
        {u"-5 KB", -5},
        {u"+5 KB", 5},
        {u"  \t12 KB", 12},
        {u"1,2,3 KB", 123},
        {u",-,5 KB", -5},
        {u"12x3 KB", 12},
        {u"x12 KB", 0},
        {u"- 5 KB", 0},
        {u"KB", 0},
        {u"12", 0},
        {u"123", 0},
        {u"1234", 1},
        {u"12 KBX", 12},  // the last three units go whatever they are
        {u"１２ KB", 0},  // fullwidth digits are no digits
    };
    RowMaker maker;
    for (const Case& c : cases) {
        EXPECT_EQ(SizeKey(maker.Make({u"f", u"C:", 0, c.text})), c.key) << ToUtf8(c.text);
    }
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
    RowMaker maker;
    for (const PairCase& c : cases) {
        SCOPED_TRACE(std::string(NameOf(c.ordering)) + " " + ToUtf8(c.a.name) + " / " +
                     ToUtf8(c.b.name));
        EXPECT_EQ(c.ordering(maker.Make(c.a), maker.Make(c.b)), c.before);
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
    RowMaker maker;
    std::vector<FileEntry> rows = maker.MakeAll(RandomRows(random, 60));
    const std::pair<RowOrdering, RowOrdering> mirrors[] = {{NameUp, NameDown},
                                                           {SizeUp, SizeDown},
                                                           {CreatedUp, CreatedDown},
                                                           {ModifiedUp, ModifiedDown}};
    for (auto [up, down] : mirrors) {
        SCOPED_TRACE(NameOf(up));
        for (const FileEntry& a : rows) {
            EXPECT_FALSE(up(a, a));
            EXPECT_FALSE(down(a, a));
            for (const FileEntry& b : rows) {
                ASSERT_EQ(down(a, b), up(b, a));
                if (up(a, b)) {
                    ASSERT_FALSE(up(b, a));
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
    RowMaker maker;
    for (std::size_t count : {0u, 1u, 2u, 17u, 500u, 5000u}) {
        std::vector<FileEntry> rows = maker.MakeAll(RandomRows(random, count));
        for (const NamedOrdering& o : Orderings) {
            SCOPED_TRACE(std::string(o.name) + " " + std::to_string(count));
            ShownRows shown(rows);
            SortResults(shown.view, o.ordering);
            const std::vector<FileEntry> sorted = shown.Entries();
            ASSERT_EQ(sorted.size(), rows.size());
            EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end(), o.ordering));
            std::vector<FileEntry> reference = rows;
            std::sort(reference.begin(), reference.end(), o.ordering);
            for (std::size_t i = 0; i < rows.size(); ++i) {
                // Equivalent rows may stand in any order; their neighbours' keys may not.
                ASSERT_FALSE(o.ordering(sorted[i], reference[i]) ||
                             o.ordering(reference[i], sorted[i]))
                    << i;
            }
            auto byRecord = [](const FileEntry& a, const FileEntry& b) {
                return a.Name().data() < b.Name().data();
            };
            std::vector<FileEntry> sortedOut = sorted;
            std::vector<FileEntry> sortedIn = rows;
            std::sort(sortedOut.begin(), sortedOut.end(), byRecord);
            std::sort(sortedIn.begin(), sortedIn.end(), byRecord);
            for (std::size_t i = 0; i < rows.size(); ++i) {
                ASSERT_EQ(sortedOut[i].Name().data(), sortedIn[i].Name().data());
            }
        }
    }
}

// IsFolder is compared as a byte, so a stray value above 1 still orders above a folder.
TEST(SortResults, KindByteAboveOne) {
    RowMaker maker;
    const std::vector<FileEntry> rows = maker.MakeAll({{u"c", u"C:", 0, u"1 KB"},
                                                       {u"b", u"C:", 2, u"2 KB"},
                                                       {u"a", u"C:", 1, u""},
                                                       {u"d", u"C:", 2, u"3 KB"}});
    struct Case {
        RowOrdering ordering;
        const char* order;
    } cases[] = {{NameUp, "bdac"}, {NameDown, "cadb"}, {SizeUp, "bdac"}, {SizeDown, "cadb"}};
    for (const Case& c : cases) {
        ShownRows shown(rows);
        SortResults(shown.view, c.ordering);
        std::string order;
        for (const FileEntry& row : shown.Entries()) order += ToUtf8(row.Name());
        EXPECT_EQ(order, c.order) << NameOf(c.ordering);
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
    RowMaker maker;
    RowFields fields{u"notes.txt",        u"C:\\docs",        0, u"1,234 KB", 3, 1, 2,
                     u"2024-05-01 09:30", u"2024-05-02 10:00"};
    FileEntry row = maker.Make(fields);
    const char* expected[] = {"notes.txt", "C:\\docs", "1,234 KB", "2024-05-01 09:30",
                              "2024-05-02 10:00"};
    for (int column = 0; column < ColumnCount; ++column) {
        EXPECT_EQ(ToUtf8(CellText(row, static_cast<Column>(column))), expected[column]) << column;
    }
    FileEntry folder = maker.Make({u"docs", u"C:", 1, u""});
    EXPECT_TRUE(CellText(folder, Column::Size).empty());
    EXPECT_TRUE(CellText(folder, Column::Created).empty());
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

// A rank puts every row of the table at its own place, in the key's Up order.
TEST(SortRanks, EachRankIsAPermutationInUpOrder) {
    std::mt19937 random(5);
    RowMaker maker;
    const std::pair<SortKey, RowOrdering> keys[] = {{SortKey::Name, NameUp},
                                                    {SortKey::Size, SizeUp},
                                                    {SortKey::Created, CreatedUp},
                                                    {SortKey::Modified, ModifiedUp}};
    for (std::size_t count : {0u, 1u, 2u, 40u, 300u}) {
        std::vector<RowFields> fieldList = RandomRows(random, count);
        // A stray kind byte above one in the larger tables.
        if (count >= 40) fieldList[7].isFolder = 2;
        const FileTable table(maker.MakeAll(fieldList), {});
        const SortRanks ranks = BuildSortRanks(table);
        for (auto [key, up] : keys) {
            SCOPED_TRACE(std::string(NameOf(up)) + " " + std::to_string(count));
            const SortRank& rank = ranks.Of(key);
            ASSERT_EQ(rank.size(), count);
            std::vector<uint32_t> sorted(rank);
            std::sort(sorted.begin(), sorted.end());
            for (std::size_t i = 0; i < count; ++i) ASSERT_EQ(sorted[i], i);
            for (std::size_t a = 0; a < count; ++a) {
                for (std::size_t b = 0; b < count; ++b) {
                    if (up(table[a], table[b])) {
                        ASSERT_LT(rank[a], rank[b]) << a << " " << b;
                    }
                }
            }
        }
    }
}

TEST(SortRowsByRank, OrdersRowsByTheirPlace) {
    const SortRank rank = {4, 0, 3, 1, 2};
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
        SortRowsByRank(c.rows, rank);
        EXPECT_EQ(c.rows, c.sorted);
    }
}

// Views of all or part of a table, in any order, sorted with the table's ranks attached: the same
// check as the predicate sort above, rows of both kinds with ties in every key.
TEST(SortResults, WithRanksOnPartsOfTheTable) {
    std::mt19937 random(11);
    RowMaker maker;
    for (std::size_t count : {1u, 2u, 17u, 700u, 5000u}) {
        const FileTable table(maker.MakeAll(RandomRows(random, count)), {});
        const SortRanks ranks = BuildSortRanks(table);
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
                ResultSet view(table);
                view.SetRanks(&ranks);
                view.ShowRows(rows);
                SortResults(view, o.ordering);
                ASSERT_EQ(view.Size(), rows.size());
                std::vector<uint32_t> sortedRows = view.RowNumbers();
                for (std::size_t i = 1; i < view.Size(); ++i) {
                    ASSERT_FALSE(o.ordering(view.Row(i), view.Row(i - 1))) << i;
                }
                std::sort(sortedRows.begin(), sortedRows.end());
                std::sort(rows.begin(), rows.end());
                ASSERT_EQ(sortedRows, rows);
            }
        }
    }
}

// Ranks made for another table (here: of another size) are not used.
TEST(SortResults, RanksOfAnotherTableAreIgnored) {
    RowMaker maker;
    const FileTable table(
        maker.MakeAll(
            {{u"b", u"C:", 0, u"2 KB"}, {u"a", u"C:", 0, u"1 KB"}, {u"c", u"C:", 1, u""}}),
        {});
    const FileTable other(maker.MakeAll({{u"x", u"C:"}, {u"y", u"C:"}}), {});
    const SortRanks otherRanks = BuildSortRanks(other);
    ResultSet view(table);
    view.ShowAll();
    view.SetRanks(&otherRanks);
    SortResults(view, NameUp);
    EXPECT_EQ(view.RowNumbers(), (std::vector<uint32_t>{2, 1, 0}));
}

}  // namespace
