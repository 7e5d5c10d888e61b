#include "ui/menu_win.h"

#include <shellapi.h>

#include "results/ordering.h"
#include "ui/commands.h"
#include "ui/export_win.h"
#include "ui/item_actions_win.h"
#include "ui/load_and_search_win.h"
#include "ui/menu_table.h"
#include "ui/result_list_win.h"
#include "ui/search_window_win.h"
#include "ui/secondary_windows_win.h"
#include "ui/text_win.h"
#include "ui/tray_win.h"
#include "ui/window_placement_win.h"

#if __has_include("resources/maker_texts.h")
#include "resources/maker_texts.h"
#define SKIMLET_HAVE_MAKER_TEXTS 1
#endif

namespace {

void MarkRadioItem(HWND mainWindow, uint16_t id) {
    const RadioGroup* group = RadioGroupOf(id);
    if (group == nullptr) return;
    HMENU popup = GetSubMenu(GetMenu(mainWindow), group->popup);
    CheckMenuRadioItem(popup, group->first, group->last, id, MF_BYCOMMAND);
}

void OpenWebSite() {
#ifdef SKIMLET_HAVE_MAKER_TEXTS
    const wchar_t* address = ProductWebAddress;
#else
    const wchar_t* address = L"";
#endif
    HINSTANCE result = ShellExecuteW(nullptr, L"open", address, nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(result) <= 32) {
        MessageBoxW(nullptr, L"无法打开网站", L"错误", MB_ICONERROR);
    }
}

void RunMenuCommand(HWND mainWindow, uint16_t id) {
    // Every command acts on the rows of the text in the box.
    RunPendingSearch();
    if (const std::optional<Column> column = ColumnAt(SortColumnOf(id))) {
        MarkRadioItem(mainWindow, id);
        ApplyOrdering(*column, OrderingTrigger::SortCommand);
        return;
    }
    if (const int type = TypeFilterOf(id); type >= 0) {
        Results.SetTypeFilter(type);
        MarkRadioItem(mainWindow, id);
        RunSearchFromQueryBox();
        return;
    }
    switch (id) {
        case IDM_NEW_WINDOW:
            OpenNewSearchWindow(mainWindow);
            break;
        case IDM_EXPORT:
            ExportCommand(mainWindow);
            break;
        case IDM_CLOSE_TO_TRAY:
            // As the minimise button: the minimised window goes behind its tray icon, or stays
            // in the task bar when the icon cannot be shown.
            ShowWindow(mainWindow, SW_MINIMIZE);
            break;
        case IDM_EXIT:
            RemoveTrayIcon(mainWindow);
            PostQuitMessage(0);
            break;
        case IDM_CENTER_WINDOW:
            CenterWindow(mainWindow);
            break;
        case IDM_ASCENDING:
            MarkRadioItem(mainWindow, id);
            ListSort.SetAscending(true);
            break;
        case IDM_DESCENDING:
            MarkRadioItem(mainWindow, id);
            ListSort.SetAscending(false);
            break;
        case IDM_CASE_INSENSITIVE:
        case IDM_CASE_SENSITIVE:
            MarkRadioItem(mainWindow, id);
            break;
        case IDM_HELP:
            OpenHelpWindow(mainWindow);
            break;
        case IDM_WEBSITE:
            OpenWebSite();
            break;
        case IDM_DONATE:
            OpenDonationWindow(mainWindow);
            break;
        case IDM_ABOUT:
            OpenAboutWindow(mainWindow);
            break;
        case IDM_OPEN_FILE:
            OpenSelectedFile(OpenTrigger::ContextMenu);
            break;
        case IDM_OPEN_PATH:
            OpenSelectedFolder();
            break;
        case IDM_COPY_PATH:
            CopySelectedPath(mainWindow);
            break;
        case IDM_COPY_FILE:
            CopySelectedFile(mainWindow);
            break;
        default:
            break;
    }
}

}  // namespace

void BuildMenuBar(HWND mainWindow) {
    HMENU bar = CreateMenu();
    const auto popups = MenuBarPopups();
    for (std::size_t index = 0; index < popups.size(); ++index) {
        HMENU popup = CreatePopupMenu();
        for (const MenuItem& item : popups[index].items) {
            if (item.id == 0) {
                AppendMenuW(popup, MF_SEPARATOR, 0, nullptr);
                continue;
            }
            AppendMenuW(popup, MF_STRING, item.id, Wide(item.text));
            if (item.grayed) EnableMenuItem(popup, item.id, MF_BYCOMMAND | MF_GRAYED);
        }
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(popup), Wide(popups[index].title));
        for (const RadioGroup& group : MenuRadioGroups()) {
            if (group.popup != static_cast<int>(index)) continue;
            CheckMenuRadioItem(bar, group.first, group.last, group.markedAtStart, MF_BYCOMMAND);
        }
    }
    SetMenu(mainWindow, bar);
}

void HandleCommand(HWND mainWindow, WPARAM wParam) {
    const unsigned id = LOWORD(wParam);
    if (HIWORD(wParam) == EN_CHANGE && id == QueryEditId) SearchForChangedQuery();
    if (IsCommandId(id)) RunMenuCommand(mainWindow, static_cast<uint16_t>(id));
}
