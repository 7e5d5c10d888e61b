#include "ui/menu_table.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "index/classify.h"
#include "index/file_entry.h"
#include "index/utf8.h"
#include "ui/commands.h"

namespace {

// A popup as a user reads it: items joined by " | ", separators as "—", grayed items in [].
std::string Render(std::span<const MenuItem> items) {
    std::string text;
    for (const MenuItem& item : items) {
        if (!text.empty()) text += " | ";
        if (item.id == 0) {
            text += "—";
        } else {
            const std::string label = ToUtf8(item.text);
            text += item.grayed ? "[" + label + "]" : label;
        }
    }
    return text;
}

}  // namespace

TEST(MenuTable, PopupsReadAsTheUserSeesThem) {
    struct Case {
        std::string title;
        std::string items;
    } expected[] = {
        {"文件    ", "新建搜索窗口 | — | 导出 | — | 关闭 | — | 退出"},
        {"视图    ",
         "窗口居中 | — | 名称 排序 | 路径 排序 | 大小 排序 | 创建时间 排序 | 修改时间 排序 | — | "
         "升序 | 降序"},
        {"搜索    ",
         "不区分大小写 | [区分大小写] | — | 所有 | 音频 | 压缩文件 | 文档 | 可执行文件 | 文件夹 | "
         "图片 | 视频 | 其它"},
        {"帮助    ", "帮助 | — | 官方网站 | — | 捐赠 | — | 关于 Skimlet"},
    };
    const auto popups = MenuBarPopups();
    ASSERT_EQ(popups.size(), std::size(expected));
    for (std::size_t i = 0; i < popups.size(); ++i) {
        EXPECT_EQ(ToUtf8(popups[i].title), expected[i].title) << i;
        EXPECT_EQ(Render(popups[i].items), expected[i].items) << i;
    }
    EXPECT_EQ(Render(RowContextMenu()), "打开文件 | 打开路径 | 复制全路径+文件名 | — | 复制");
}

TEST(MenuTable, EveryCommandIdOnceInTreeOrder) {
    std::vector<uint16_t> ids;
    for (const MenuPopup& popup : MenuBarPopups()) {
        for (const MenuItem& item : popup.items) {
            if (item.id != 0) ids.push_back(item.id);
        }
    }
    for (const MenuItem& item : RowContextMenu()) {
        if (item.id != 0) ids.push_back(item.id);
    }
    std::vector<uint16_t> expected;
    for (unsigned id = 40001; id <= 40031; ++id) expected.push_back(static_cast<uint16_t>(id));
    EXPECT_EQ(ids, expected);
}

TEST(MenuTable, RadioGroupsSitTogetherInTheirPopup) {
    const auto popups = MenuBarPopups();
    for (const RadioGroup& group : MenuRadioGroups()) {
        ASSERT_GE(group.popup, 0);
        ASSERT_LT(group.popup, static_cast<int>(popups.size()));
        const auto items = popups[group.popup].items;
        std::vector<uint16_t> run;
        for (const MenuItem& item : items) {
            const bool inGroup = item.id >= group.first && item.id <= group.last;
            if (inGroup) run.push_back(item.id);
        }
        ASSERT_EQ(run.size(), static_cast<std::size_t>(group.last - group.first + 1))
            << group.first;
        EXPECT_GE(group.markedAtStart, group.first);
        EXPECT_LE(group.markedAtStart, group.last);
    }
}

TEST(MenuTable, RadioGroupOfAnId) {
    struct Case {
        uint16_t id;
        int popup;  // -1: in no group
        uint16_t first, last, markedAtStart;
    } cases[] = {
        {IDM_NEW_WINDOW, -1, 0, 0, 0},
        {IDM_CENTER_WINDOW, -1, 0, 0, 0},
        {IDM_SORT_NAME, ViewPopupIndex, 40006, 40010, 40006},
        {IDM_SORT_MODIFIED, ViewPopupIndex, 40006, 40010, 40006},
        {IDM_ASCENDING, ViewPopupIndex, 40011, 40012, 40011},
        {IDM_DESCENDING, ViewPopupIndex, 40011, 40012, 40011},
        {IDM_CASE_SENSITIVE, SearchPopupIndex, 40013, 40014, 40013},
        {IDM_TYPE_ALL, SearchPopupIndex, 40015, 40023, 40015},
        {IDM_TYPE_OTHER, SearchPopupIndex, 40015, 40023, 40015},
        {IDM_HELP, -1, 0, 0, 0},
        {IDM_OPEN_FILE, -1, 0, 0, 0},
        {0, -1, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const RadioGroup* group = RadioGroupOf(c.id);
        if (c.popup < 0) {
            EXPECT_EQ(group, nullptr) << c.id;
            continue;
        }
        ASSERT_NE(group, nullptr) << c.id;
        EXPECT_EQ(group->popup, c.popup) << c.id;
        EXPECT_EQ(group->first, c.first) << c.id;
        EXPECT_EQ(group->last, c.last) << c.id;
        EXPECT_EQ(group->markedAtStart, c.markedAtStart) << c.id;
    }
}

TEST(Commands, SortColumnsAndTypeFilters) {
    struct Case {
        unsigned id;
        int sortColumn;
        int typeFilter;
    } cases[] = {
        {IDM_CENTER_WINDOW, -1, -1},
        {IDM_SORT_NAME, 0, -1},
        {IDM_SORT_PATH, 1, -1},
        {IDM_SORT_SIZE, 2, -1},
        {IDM_SORT_CREATED, 3, -1},
        {IDM_SORT_MODIFIED, 4, -1},
        {IDM_ASCENDING, -1, -1},
        {IDM_CASE_SENSITIVE, -1, -1},
        {IDM_TYPE_ALL, -1, AllTypes},
        {IDM_TYPE_AUDIO, -1, Audio},
        {IDM_TYPE_COMPRESSED, -1, Compressed},
        {IDM_TYPE_DOCUMENT, -1, Document},
        {IDM_TYPE_EXECUTABLE, -1, Executable},
        {IDM_TYPE_FOLDER, -1, Folder},
        {IDM_TYPE_PICTURE, -1, Picture},
        {IDM_TYPE_VIDEO, -1, Video},
        {IDM_TYPE_OTHER, -1, Other},
        {IDM_HELP, -1, -1},
        {0, -1, -1},
        {65535, -1, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SortColumnOf(c.id), c.sortColumn) << c.id;
        EXPECT_EQ(TypeFilterOf(c.id), c.typeFilter) << c.id;
    }
    struct Range {
        unsigned id;
        bool isCommand;
    } ranges[] = {{40000, false}, {40001, true}, {40031, true}, {40032, false}, {1000, false}};
    for (const Range& r : ranges) EXPECT_EQ(IsCommandId(r.id), r.isCommand) << r.id;
}
