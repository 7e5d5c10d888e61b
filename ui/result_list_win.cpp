#include "ui/result_list_win.h"

#include <array>

#include "index/file_entry.h"
#include "results/ordering.h"
#include "ui/commands.h"
#include "ui/item_actions_win.h"
#include "ui/item_texts.h"
#include "ui/load_and_search_win.h"
#include "ui/main_window_win.h"
#include "ui/text_win.h"

namespace {

constexpr std::array<int, ColumnCount> ColumnWidths{240, 280, 90, 120, 120};
constexpr std::array<int, ColumnCount> ColumnAlignments{LVCFMT_LEFT, LVCFMT_LEFT, LVCFMT_RIGHT,
                                                        LVCFMT_RIGHT, LVCFMT_RIGHT};

// Kept here because the list copies header texts and the export needs them back.
std::vector<std::u16string> HeaderTexts(ColumnCount);

void SetHeaderText(int column, std::u16string text) {
    HeaderTexts[column] = std::move(text);
    LVCOLUMNW item{};
    item.mask = LVCF_TEXT;
    item.pszText = const_cast<wchar_t*>(Wide(HeaderTexts[column]));
    SendMessageW(ResultList, LVM_SETCOLUMNW, column, reinterpret_cast<LPARAM>(&item));
}

const FileEntry* RowAt(int index) {
    if (index < 0 || static_cast<std::size_t>(index) >= Results.Size()) return nullptr;
    return &Results.Row(static_cast<std::size_t>(index));
}

void ServeDisplayRequest(NMLVDISPINFOW& request) {
    LVITEMW& item = request.item;
    const FileEntry* row = RowAt(item.iItem);
    if (row == nullptr) return;
    if ((item.mask & LVIF_TEXT) && item.iSubItem >= 0 && item.iSubItem < ColumnCount) {
        CopyCellText(CellText(*row, static_cast<Column>(item.iSubItem)),
                     reinterpret_cast<char16_t*>(item.pszText), item.cchTextMax);
    }
    if (item.mask & LVIF_IMAGE) item.iImage = row->IconIndex;
}

void DescribeSelection(const NMLISTVIEW& change) {
    if (!(change.uChanged & LVIF_STATE) || !(change.uNewState & LVIS_SELECTED)) return;
    const FileEntry* row = RowAt(change.iItem);
    if (row != nullptr) SetStatusText(SelectionDescription(*row));
}

}  // namespace

void InsertResultColumns() {
    for (int column = 0; column < ColumnCount; ++column) {
        HeaderTexts[column] = NeutralHeaderText(static_cast<Column>(column));
        LVCOLUMNW item{};
        item.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT;
        item.fmt = ColumnAlignments[column];
        item.cx = ColumnWidths[column];
        item.pszText = const_cast<wchar_t*>(Wide(HeaderTexts[column]));
        SendMessageW(ResultList, LVM_INSERTCOLUMNW, column, reinterpret_cast<LPARAM>(&item));
    }
}

void ResetHeaderTexts() {
    for (int column = 0; column < ColumnCount; ++column) {
        SetHeaderText(column, NeutralHeaderText(static_cast<Column>(column)));
    }
}

void ApplyOrdering(Column column) {
    SortByColumn(Results, column, SortAscending);
    RefreshRows(Results.Size());
    ShowResultCountInStatusBar();
    ResetHeaderTexts();
    SetHeaderText(static_cast<int>(column), MarkedHeaderText(column, SortMarker(SortAscending)));
}

const std::vector<std::u16string>& CurrentHeaderTexts() {
    return HeaderTexts;
}

void HandleListNotification(HWND mainWindow, const NMHDR* header) {
    // Only the list's notifications mean anything here; the status bar sends clicks too.
    if (header == nullptr || header->hwndFrom != ResultList) return;
    switch (header->code) {
        case LVN_GETDISPINFOW:
            ServeDisplayRequest(*reinterpret_cast<NMLVDISPINFOW*>(const_cast<NMHDR*>(header)));
            break;
        case LVN_COLUMNCLICK: {
            const std::optional<Column> column =
                ColumnAt(reinterpret_cast<const NMLISTVIEW*>(header)->iSubItem);
            if (!column) break;
            // A header click is a sort command that also flips the direction of the next one.
            ApplyOrdering(*column);
            SortAscending = FlippedDirection(SortAscending);
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
        default:
            break;
    }
}
