// The menu bar as data: popups, their items in order, the grayed item and the radio groups. The
// Windows side builds the real menus from it.
#pragma once

#include <cstdint>
#include <span>

struct MenuItem {
    uint16_t id;  // 0 for a separator
    const char16_t* text;
    bool grayed = false;
};

struct MenuPopup {
    const char16_t* title;
    std::span<const MenuItem> items;
};

struct RadioGroup {
    int popup;  // index of the popup on the bar
    uint16_t first;
    uint16_t last;
    uint16_t markedAtStart;
};

// "文件    ", "视图    ", "搜索    ", "帮助    " in bar order.
std::span<const MenuPopup> MenuBarPopups();
std::span<const RadioGroup> MenuRadioGroups();
// The context menu of a result row.
std::span<const MenuItem> RowContextMenu();

// Index of the popups that the commands mark items on.
constexpr int ViewPopupIndex = 1;
constexpr int SearchPopupIndex = 2;

// The radio group an id belongs to, or nullptr.
const RadioGroup* RadioGroupOf(uint16_t id);
