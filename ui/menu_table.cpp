#include "ui/menu_table.h"

#include <array>

#include "ui/commands.h"

namespace {

constexpr MenuItem Separator{0, nullptr};

constexpr std::array FileItems{
    MenuItem{IDM_NEW_WINDOW, u"新建搜索窗口"}, Separator, MenuItem{IDM_EXPORT, u"导出"}, Separator,
    MenuItem{IDM_CLOSE_TO_TRAY, u"关闭"},      Separator, MenuItem{IDM_EXIT, u"退出"},
};

constexpr std::array ViewItems{
    MenuItem{IDM_CENTER_WINDOW, u"窗口居中"},
    Separator,
    MenuItem{IDM_SORT_NAME, u"名称 排序"},
    MenuItem{IDM_SORT_PATH, u"路径 排序"},
    MenuItem{IDM_SORT_SIZE, u"大小 排序"},
    MenuItem{IDM_SORT_CREATED, u"创建时间 排序"},
    MenuItem{IDM_SORT_MODIFIED, u"修改时间 排序"},
    Separator,
    MenuItem{IDM_ASCENDING, u"升序"},
    MenuItem{IDM_DESCENDING, u"降序"},
};

constexpr std::array SearchItems{
    MenuItem{IDM_CASE_INSENSITIVE, u"不区分大小写"},
    MenuItem{IDM_CASE_SENSITIVE, u"区分大小写", true},
    Separator,
    MenuItem{IDM_TYPE_ALL, u"所有"},
    MenuItem{IDM_TYPE_AUDIO, u"音频"},
    MenuItem{IDM_TYPE_COMPRESSED, u"压缩文件"},
    MenuItem{IDM_TYPE_DOCUMENT, u"文档"},
    MenuItem{IDM_TYPE_EXECUTABLE, u"可执行文件"},
    MenuItem{IDM_TYPE_FOLDER, u"文件夹"},
    MenuItem{IDM_TYPE_PICTURE, u"图片"},
    MenuItem{IDM_TYPE_VIDEO, u"视频"},
    MenuItem{IDM_TYPE_OTHER, u"其它"},
};

constexpr std::array HelpItems{
    MenuItem{IDM_HELP, u"帮助"},   Separator, MenuItem{IDM_WEBSITE, u"官方网站"},   Separator,
    MenuItem{IDM_DONATE, u"捐赠"}, Separator, MenuItem{IDM_ABOUT, u"关于 Skimlet"},
};

constexpr std::array Popups{
    MenuPopup{u"文件    ", FileItems},
    MenuPopup{u"视图    ", ViewItems},
    MenuPopup{u"搜索    ", SearchItems},
    MenuPopup{u"帮助    ", HelpItems},
};

constexpr std::array Groups{
    RadioGroup{ViewPopupIndex, IDM_SORT_NAME, IDM_SORT_MODIFIED, IDM_SORT_NAME},
    RadioGroup{ViewPopupIndex, IDM_ASCENDING, IDM_DESCENDING, IDM_ASCENDING},
    RadioGroup{SearchPopupIndex, IDM_CASE_INSENSITIVE, IDM_CASE_SENSITIVE, IDM_CASE_INSENSITIVE},
    RadioGroup{SearchPopupIndex, IDM_TYPE_ALL, IDM_TYPE_OTHER, IDM_TYPE_ALL},
};

constexpr std::array RowItems{
    MenuItem{IDM_OPEN_FILE, u"打开文件"},
    MenuItem{IDM_OPEN_PATH, u"打开路径"},
    MenuItem{IDM_COPY_PATH, u"复制全路径+文件名"},
    Separator,
    MenuItem{IDM_COPY_FILE, u"复制"},
};

}  // namespace

std::span<const MenuPopup> MenuBarPopups() {
    return Popups;
}
std::span<const RadioGroup> MenuRadioGroups() {
    return Groups;
}
std::span<const MenuItem> RowContextMenu() {
    return RowItems;
}

const RadioGroup* RadioGroupOf(uint16_t id) {
    for (const RadioGroup& group : Groups) {
        if (id >= group.first && id <= group.last) return &group;
    }
    return nullptr;
}
