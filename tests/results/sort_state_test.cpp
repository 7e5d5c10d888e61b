#include "results/sort_state.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "index/utf8.h"
#include "tests/search/test_rows.h"

namespace {

// Rows whose five orders all differ, so the applied ordering can be read off the result.
class SortSequence : public ::testing::Test {
  protected:
    void SetUp() override {
        rows_ = {
            {u"b", u"C:", 0, u"3 KB", 8, 30, 10}, {u"d", u"C:", 1, u"", 5, 10, 40},
            {u"a", u"C:", 0, u"1 KB", 8, 20, 30}, {u"c", u"C:", 0, u"2 KB", 8, 10, 20},
            {u"e", u"C:", 1, u"", 5, 20, 50},
        };
        Reset();
    }
    // The view shows rows_ again, in their order.
    void Reset() { shown_ = std::make_unique<ShownRows>(rows_); }
    ResultSet& View() { return shown_->view; }
    std::string Order() const {
        std::string out;
        for (const std::u16string& name : shown_->Names()) out += ToUtf8(name);
        return out;
    }
    // The header texts written out by hand: the words, their blanks and the arrows.
    static std::vector<std::string> Headers(int markedColumn, const char* marker) {
        const char* words[] = {"名称", "路径", "大小", "创建时间", "修改时间"};
        const std::size_t blanks[] = {47, 58, 4, 4, 4};
        std::vector<std::string> headers;
        for (int column = 0; column < 5; ++column) {
            headers.push_back(std::string(words[column]) + std::string(blanks[column], ' ') +
                              (column == markedColumn ? marker : "↑↓"));
        }
        return headers;
    }
    std::vector<std::string> HeadersShown() const {
        std::vector<std::string> headers;
        for (const std::u16string& text : state_.HeaderTexts()) headers.push_back(ToUtf8(text));
        return headers;
    }
    std::vector<RowFields> rows_;
    std::unique_ptr<ShownRows> shown_;
    SortState state_;
};

TEST_F(SortSequence, OrderingsOnFixedRows) {
    struct Case {
        RowOrdering ordering;
        const char* order;
    } cases[] = {
        {NameUp, "deabc"},      {NameDown, "cbaed"},   {CreatedUp, "decab"},
        {CreatedDown, "baced"}, {ModifiedUp, "debca"}, {ModifiedDown, "acbed"},
    };
    for (const Case& c : cases) {
        Reset();
        SortResults(View(), c.ordering);
        EXPECT_EQ(Order(), c.order);
    }
    // Every folder has the size key 0, so only the files' order is fixed.
    Reset();
    SortResults(View(), SizeUp);
    EXPECT_EQ(Order().substr(2), "acb");
    EXPECT_TRUE(View().Table()[View().RowNumber(0)].isFolder);
    EXPECT_TRUE(View().Table()[View().RowNumber(1)].isFolder);
    SortResults(View(), SizeDown);
    EXPECT_EQ(Order().substr(0, 3), "bca");
}

TEST_F(SortSequence, CommandsAndClicks) {
    enum Step { Command, Click, Ascending, Descending };
    struct Action {
        Step step;
        int column;
        const char* order;  // after the action; nullptr when the rows are left alone
        int marked;         // the marked column after the action, -1 for none
        const char* marker;
        bool ascendingAfter;
    };
    struct Case {
        const char* label;
        std::vector<Action> actions;
    } cases[] = {
        {"three clicks on size",
         {{Click, 2, "..acb", 2, "▲", false},
          {Click, 2, "bca..", 2, "▼", true},
          {Click, 2, "..acb", 2, "▲", false}}},
        {"name click then size click",
         {{Click, 0, "deabc", 0, "▲", false}, {Click, 2, "bca..", 2, "▼", true}}},
        {"two clicks on name",
         {{Click, 0, "deabc", 0, "▲", false}, {Click, 0, "cbaed", 0, "▼", true}}},
        {"descending then name command twice",
         {{Descending, 0, nullptr, -1, "", false},
          {Command, 0, "cbaed", 0, "▼", false},
          {Command, 0, "cbaed", 0, "▼", false}}},
        {"path command at 1 is the reverse of name", {{Command, 1, "cbaed", 1, "▲", true}}},
        {"modified command at 1: files newest first", {{Command, 4, "acbed", 4, "▲", true}}},
        {"created command at 1", {{Command, 3, "baced", 3, "▲", true}}},
        {"descending then click",
         {{Descending, 0, nullptr, -1, "", false}, {Click, 3, "decab", 3, "▼", true}}},
        {"direction commands leave the rows and the mark",
         {{Command, 0, "deabc", 0, "▲", true},
          {Descending, 0, nullptr, 0, "▲", false},
          {Ascending, 0, nullptr, 0, "▲", true}}},
        {"a click after a command on another column moves the mark",
         {{Command, 4, "acbed", 4, "▲", true}, {Click, 1, "cbaed", 1, "▲", false}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        state_ = SortState();
        Reset();
        EXPECT_EQ(HeadersShown(), Headers(-1, ""));
        std::string before = Order();
        for (const Action& a : c.actions) {
            switch (a.step) {
                case Command:
                    state_.Sort(View(), static_cast<Column>(a.column));
                    break;
                case Click:
                    state_.Click(View(), static_cast<Column>(a.column));
                    break;
                case Ascending:
                    state_.SetAscending(true);
                    break;
                case Descending:
                    state_.SetAscending(false);
                    break;
            }
            if (a.order) {
                std::string order = Order();
                for (std::size_t i = 0; i < order.size(); ++i) {
                    if (a.order[i] != '.') {
                        EXPECT_EQ(order[i], a.order[i]) << order;
                    }
                }
                before = order;
            } else {
                EXPECT_EQ(Order(), before);
            }
            EXPECT_EQ(state_.Marked().has_value(), a.marked >= 0);
            if (a.marked >= 0 && state_.Marked()) {
                EXPECT_EQ(static_cast<int>(*state_.Marked()), a.marked);
            }
            EXPECT_EQ(HeadersShown(), Headers(a.marked, a.marker));
            EXPECT_EQ(state_.Ascending(), a.ascendingAfter);
        }
    }
}

TEST_F(SortSequence, EmptyResultSetStillFlips) {
    shown_ = std::make_unique<ShownRows>(std::vector<RowFields>{});
    state_.Click(View(), Column::Size);
    EXPECT_EQ(HeadersShown(), Headers(2, "▲"));
    EXPECT_FALSE(state_.Ascending());
    EXPECT_TRUE(View().Empty());
    state_.Click(View(), Column::Name);
    EXPECT_EQ(HeadersShown(), Headers(0, "▼"));
    EXPECT_TRUE(state_.Ascending());
}

}  // namespace
