#include "ui/result_list_win.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "index/file_entry.h"
#include "results/ordering.h"
#include "ui/commands.h"
#include "ui/dpi_win.h"
#include "ui/item_actions_win.h"
#include "ui/item_texts.h"
#include "ui/layout.h"
#include "ui/load_and_search_win.h"
#include "ui/main_window_win.h"
#include "ui/text_win.h"

namespace {

constexpr std::array<int, ColumnCount> ColumnAlignments{LVCFMT_LEFT, LVCFMT_LEFT, LVCFMT_RIGHT,
                                                        LVCFMT_RIGHT, LVCFMT_RIGHT};

// The header texts the list was given last. A header is set again only when its text changes:
// each change relays out and repaints the header.
std::vector<std::u16string> HeadersShown(ColumnCount);

void ShowHeaderTexts() {
    for (int column = 0; column < ColumnCount; ++column) {
        std::u16string text = ListSort.HeaderText(static_cast<Column>(column));
        if (text == HeadersShown[column]) continue;
        HeadersShown[column] = std::move(text);
        LVCOLUMNW item{};
        item.mask = LVCF_TEXT;
        item.pszText = const_cast<wchar_t*>(Wide(HeadersShown[column]));
        SendMessageW(ResultList, LVM_SETCOLUMNW, column, reinterpret_cast<LPARAM>(&item));
    }
}

// The table's row shown at list position `index`.
std::optional<uint32_t> RowAt(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= Results.Size()) return std::nullopt;
    return Results.RowNumber(static_cast<std::size_t>(index));
}

void ServeDisplayRequest(NMLVDISPINFOW& request) {
    LVITEMW& item = request.item;
    const std::optional<uint32_t> row = RowAt(item.iItem);
    if (!row) return;
    if ((item.mask & LVIF_TEXT) && item.iSubItem >= 0 && item.iSubItem < ColumnCount) {
        CopyCellText(CellText(Results.Table(), *row, static_cast<Column>(item.iSubItem)),
                     reinterpret_cast<char16_t*>(item.pszText), item.cchTextMax);
    }
    if (item.mask & LVIF_IMAGE) item.iImage = Results.Table().IconIndex(*row);
}

void DescribeSelection(const NMLISTVIEW& change) {
    if (!(change.uChanged & LVIF_STATE) || !(change.uNewState & LVIS_SELECTED)) return;
    const std::optional<uint32_t> row = RowAt(change.iItem);
    if (row) SetStatusText(SelectionDescription(Results.Table(), *row));
}

// The cell tooltip: one tool over the whole list whose text is asked for when it shows, and
// which is taken down when the mouse enters another cell, so that the next one asks again.
HWND CellTip = nullptr;
LVHITTESTINFO TipCell{};
std::u16string TipText;
constexpr UINT_PTR ListInputSubclassId = 1;

LVHITTESTINFO CellUnderCursor() {
    LVHITTESTINFO hit{};
    GetCursorPos(&hit.pt);
    ScreenToClient(ResultList, &hit.pt);
    hit.iItem = -1;
    if (SendMessageW(ResultList, LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)) < 0 ||
        (hit.flags & LVHT_ONITEM) == 0) {
        hit.iItem = -1;
    }
    return hit;
}

// The cell's whole text when the column shows less of it, otherwise nothing.
std::u16string CutCellText(int rowIndex, int column) {
    const std::optional<uint32_t> row = RowAt(rowIndex);
    if (!row || column < 0 || column >= ColumnCount) return {};
    const std::u16string text(CellText(Results.Table(), *row, static_cast<Column>(column)));
    if (text.empty()) return {};
    const int needed = static_cast<int>(
        SendMessageW(ResultList, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(Wide(text))));
    int room = static_cast<int>(SendMessageW(ResultList, LVM_GETCOLUMNWIDTH, column, 0));
    // The list keeps a margin on each side of a text, and the first column shows the icon.
    room -= ScaleToDpi(12, WindowDpi(ResultList));
    if (column == 0) {
        int width = 0, height = 0;
        HIMAGELIST icons = reinterpret_cast<HIMAGELIST>(
            SendMessageW(ResultList, LVM_GETIMAGELIST, LVSIL_SMALL, 0));
        if (icons != nullptr && ImageList_GetIconSize(icons, &width, &height)) room -= width;
    }
    return needed > room ? text : std::u16string();
}

// The menu key whose press opened the row menu; its release is taken too.
UINT MenuKeyDown = 0;

bool IsMenuKey(UINT message, WPARAM key) {
    if (message != WM_KEYDOWN && message != WM_SYSKEYDOWN) return false;
    return key == VK_APPS || (key == VK_F10 && GetKeyState(VK_SHIFT) < 0);
}

// Sees the list's own input: mouse moves for the cell tooltip, and the menu key and Shift+F10,
// which open the row menu below the selected row. Those keys are taken here, before the system
// turns them into a keyboard context-menu message, so that the menu opens once and the F10 does
// not also open the menu bar.
LRESULT CALLBACK WatchListInput(HWND list, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                DWORD_PTR) {
    if (message == WM_MOUSEMOVE && CellTip != nullptr) {
        const LVHITTESTINFO cell = CellUnderCursor();
        if (cell.iItem != TipCell.iItem || cell.iSubItem != TipCell.iSubItem) {
            TipCell = cell;
            SendMessageW(CellTip, TTM_POP, 0, 0);
        }
    }
    if (IsMenuKey(message, wParam)) {
        MenuKeyDown = static_cast<UINT>(wParam);
        ShowRowContextMenuAtSelection(GetParent(list));
        return 0;
    }
    if ((message == WM_KEYUP || message == WM_SYSKEYUP) && MenuKeyDown != 0 &&
        wParam == MenuKeyDown) {
        MenuKeyDown = 0;
        return 0;
    }
    // A context menu asked for from the keyboard comes without a position.
    if (message == WM_CONTEXTMENU && LOWORD(lParam) == 0xFFFF && HIWORD(lParam) == 0xFFFF) {
        return 0;
    }
    return DefSubclassProc(list, message, wParam, lParam);
}

void ServeCellTip(NMTTDISPINFOW& request) {
    TipCell = CellUnderCursor();
    TipText = TipCell.iItem >= 0 ? CutCellText(TipCell.iItem, TipCell.iSubItem) : u"";
    request.lpszText = const_cast<wchar_t*>(Wide(TipText));
    request.hinst = nullptr;
}

}  // namespace

void WatchResultList(HWND mainWindow) {
    SetWindowSubclass(ResultList, WatchListInput, ListInputSubclassId, 0);
    CellTip = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr,
                              WS_POPUP | TTS_NOPREFIX | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                              CW_USEDEFAULT, CW_USEDEFAULT, mainWindow, nullptr,
                              GetModuleHandleW(nullptr), nullptr);
    if (CellTip == nullptr) return;
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = mainWindow;
    tool.uId = reinterpret_cast<UINT_PTR>(ResultList);
    tool.lpszText = LPSTR_TEXTCALLBACKW;
    SendMessageW(CellTip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
    // Long paths wrap instead of running off the screen.
    SendMessageW(CellTip, TTM_SETMAXTIPWIDTH, 0, ScaleToDpi(600, WindowDpi(mainWindow)));
}

void InsertResultColumns(const std::array<int, ColumnCount>& widths) {
    for (int column = 0; column < ColumnCount; ++column) {
        HeadersShown[column] = ListSort.HeaderText(static_cast<Column>(column));
        LVCOLUMNW item{};
        item.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
        item.fmt = ColumnAlignments[column];
        item.cx = widths[column];
        item.pszText = const_cast<wchar_t*>(Wide(HeadersShown[column]));
        SendMessageW(ResultList, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&item));
    }
}

void SetResultColumnWidths(const std::array<int, ColumnCount>& widths) {
    for (int column = 0; column < ColumnCount; ++column) {
        SendMessageW(ResultList, LVM_SETCOLUMNWIDTH, column, widths[column]);
    }
}

void ApplyOrdering(Column column, OrderingTrigger trigger) {
    RunPendingSearch();
    if (trigger == OrderingTrigger::HeaderClick) {
        ListSort.Click(Results, column);
    } else {
        ListSort.Sort(Results, column);
    }
    RefreshRows(Results.Size());
    ShowResultCountInStatusBar();
    ShowHeaderTexts();
}

void HandleListNotification(HWND mainWindow, const NMHDR* header) {
    if (header != nullptr && header->hwndFrom == CellTip && CellTip != nullptr &&
        header->code == TTN_GETDISPINFOW) {
        ServeCellTip(*reinterpret_cast<NMTTDISPINFOW*>(const_cast<NMHDR*>(header)));
        return;
    }
    // Only the list's notifications mean anything here; the status bar sends clicks too.
    if (header == nullptr || header->hwndFrom != ResultList) return;
    // What the user acts on must be the rows of the text in the box.
    if (header->code != LVN_GETDISPINFOW) RunPendingSearch();
    switch (header->code) {
        case LVN_GETDISPINFOW:
            ServeDisplayRequest(*reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(header)));
            break;
        case LVN_COLUMNCLICK: {
            const std::optional<Column> column =
                ColumnAt(reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem);
            if (column) ApplyOrdering(*column, OrderingTrigger::HeaderClick);
            break;
        }
        case LVN_ITEMCHANGED:
            DescribeSelection(*reinterpret_cast<const NMLISTVIEW*>(header));
            break;
        case NM_CLICK:
            if (reinterpret_cast<const NMITEMACTIVATE*>(header)->iSubItem >= 1) {
                ShowResultCountInStatusBar();
            }
            break;
        case NM_RCLICK: {
            const auto* click = reinterpret_cast<const NMITEMACTIVATE*>(header);
            if (click->iItem != -1) {
                ShowRowContextMenu(mainWindow);
            } else if (header->idFrom == ResultListId && click->iSubItem >= 0) {
                ShowViewContextMenu(mainWindow);
            }
            break;
        }
        case NM_DBLCLK:
            if (reinterpret_cast<const NMITEMACTIVATE*>(header)->iItem != -1) {
                OpenSelectedFile(OpenTrigger::DoubleClick);
            }
            break;
        case NM_RETURN:
            // Enter on the selected row opens it as a double click does.
            OpenSelectedFile(OpenTrigger::DoubleClick);
            break;
        case LVN_KEYDOWN:
            if (reinterpret_cast<const NMLVKEYDOWN*>(header)->wVKey == 'C' &&
                GetKeyState(VK_CONTROL) < 0 && GetKeyState(VK_MENU) >= 0) {
                CopySelectedPath(mainWindow);
            }
            break;
        default:
            break;
    }
}
