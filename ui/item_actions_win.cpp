#include "ui/item_actions_win.h"

#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstddef>
#include <cstring>
#include <optional>
#include <string>

#include "index/file_entry.h"
#include "ui/item_texts.h"
#include "ui/load_and_search_win.h"
#include "ui/main_window_win.h"
#include "ui/menu_table.h"
#include "ui/text_win.h"

static_assert(sizeof(DROPFILES) == DropFilesLayout::HeaderSize);
static_assert(offsetof(DROPFILES, pFiles) == DropFilesLayout::FilesOffsetField);
static_assert(offsetof(DROPFILES, pt) == DropFilesLayout::PointXField);
static_assert(offsetof(DROPFILES, pt) + offsetof(POINT, y) == DropFilesLayout::PointYField);
static_assert(offsetof(DROPFILES, fNC) == DropFilesLayout::NonClientField);
static_assert(offsetof(DROPFILES, fWide) == DropFilesLayout::WideField);

namespace {

constexpr wchar_t ErrorCaption[] = L"错误";
// An open fails this way when the entry went away after the table was read, which is common.
constexpr wchar_t MissingFileText[] = L"文件已不存在，可能已被删除或移动";
constexpr wchar_t MissingFolderText[] = L"文件夹已不存在，可能已被删除或移动";
constexpr wchar_t NoAssociationText[] =
    L"该文件没有与之关联的应用来执行操作。请安装应用，若已经安装应用，请在“默认应用设置”页面中创建"
    L"关联";

// The acted-on row is the first selected one, not necessarily the one clicked.
std::optional<uint32_t> FirstSelectedRow() {
    const LRESULT index =
        SendMessageW(ResultList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
    if (index < 0 || static_cast<std::size_t>(index) >= Results.Size()) return std::nullopt;
    return Results.RowNumber(static_cast<std::size_t>(index));
}

bool ShellOpen(const std::u16string& target) {
    HINSTANCE result =
        ShellExecuteW(nullptr, L"open", Wide(target), nullptr, nullptr, SW_SHOWNORMAL);
    return reinterpret_cast<INT_PTR>(result) > 32;
}

bool IsMissing(const std::u16string& path) {
    if (GetFileAttributesW(Wide(path)) != INVALID_FILE_ATTRIBUTES) return false;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

HGLOBAL GlobalBlock(const void* data, std::size_t size, UINT flags) {
    HGLOBAL block = GlobalAlloc(flags, size);
    if (block == nullptr) return nullptr;
    void* target = GlobalLock(block);
    if (target == nullptr) {
        GlobalFree(block);
        return nullptr;
    }
    std::memcpy(target, data, size);
    GlobalUnlock(block);
    return block;
}

// Hands the blocks to the clipboard, which owns them afterwards; blocks it refuses are freed.
struct ClipboardItem {
    UINT format;
    HGLOBAL block;
};

void PutOnClipboard(HWND owner, std::initializer_list<ClipboardItem> items) {
    bool complete = true;
    for (const ClipboardItem& item : items) complete = complete && item.block != nullptr;
    if (!complete || !OpenClipboard(owner)) {
        for (const ClipboardItem& item : items) {
            if (item.block != nullptr) GlobalFree(item.block);
        }
        return;
    }
    EmptyClipboard();
    for (const ClipboardItem& item : items) {
        if (SetClipboardData(item.format, item.block) == nullptr) GlobalFree(item.block);
    }
    CloseClipboard();
}

void ShowPopupAt(HMENU menu, HWND owner, POINT place) {
    TrackPopupMenu(menu, 0, place.x, place.y, 0, owner, nullptr);
}

void ShowPopupAtCursor(HMENU menu, HWND owner) {
    POINT cursor{};
    GetCursorPos(&cursor);
    ShowPopupAt(menu, owner, cursor);
}

void ShowRowMenu(HWND mainWindow, POINT place) {
    HMENU menu = CreatePopupMenu();
    if (menu == nullptr) return;
    for (const MenuItem& item : RowContextMenu()) {
        if (item.id == 0) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        } else {
            AppendMenuW(menu, MF_STRING, item.id, Wide(item.text));
        }
    }
    ShowPopupAt(menu, mainWindow, place);
    DestroyMenu(menu);
}

}  // namespace

void ShowRowContextMenu(HWND mainWindow) {
    POINT cursor{};
    GetCursorPos(&cursor);
    ShowRowMenu(mainWindow, cursor);
}

void ShowRowContextMenuAtSelection(HWND mainWindow) {
    const LRESULT index =
        SendMessageW(ResultList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
    if (index < 0) return;
    SendMessageW(ResultList, LVM_ENSUREVISIBLE, static_cast<WPARAM>(index), FALSE);
    RECT row{};
    row.left = LVIR_LABEL;
    if (!SendMessageW(ResultList, LVM_GETITEMRECT, static_cast<WPARAM>(index),
                      reinterpret_cast<LPARAM>(&row))) {
        return;
    }
    POINT place{row.left, row.bottom};
    ClientToScreen(ResultList, &place);
    ShowRowMenu(mainWindow, place);
}

void ShowViewContextMenu(HWND mainWindow) {
    HMENU view = GetSubMenu(GetMenu(mainWindow), ViewPopupIndex);
    if (view != nullptr) ShowPopupAtCursor(view, mainWindow);
}

void OpenSelectedFile(OpenTrigger trigger) {
    const std::optional<uint32_t> row = FirstSelectedRow();
    if (!row) return;
    const std::u16string path = Results.Table().FullPath(*row);
    if (ShellOpen(path)) return;
    const wchar_t* text = trigger == OpenTrigger::DoubleClick ? NoAssociationText : L"无法打开文件";
    if (IsMissing(path))
        text = Results.Table()[*row].isFolder ? MissingFolderText : MissingFileText;
    MessageBoxW(nullptr, text, ErrorCaption, MB_ICONERROR);
}

void OpenSelectedFolder() {
    const std::optional<uint32_t> row = FirstSelectedRow();
    if (!row) return;
    const std::u16string folder = FolderToOpen(Results.Table().FolderPath(*row));
    if (ShellOpen(folder)) return;
    MessageBoxW(nullptr, IsMissing(folder) ? MissingFolderText : L"无法打开路径", ErrorCaption,
                MB_ICONERROR);
}

void CopySelectedPath(HWND mainWindow) {
    const std::optional<uint32_t> row = FirstSelectedRow();
    if (!row) return;
    const std::u16string path = Results.Table().FullPath(*row);
    const std::string ansi = ToAnsi(path);
    // Both sizes include the terminating zero.
    PutOnClipboard(mainWindow,
                   {{CF_TEXT, GlobalBlock(ansi.c_str(), ansi.size() + 1, GMEM_MOVEABLE)},
                    {CF_UNICODETEXT, GlobalBlock(path.c_str(), (path.size() + 1) * sizeof(char16_t),
                                                 GMEM_MOVEABLE)}});
}

void CopySelectedFile(HWND mainWindow) {
    const std::optional<uint32_t> row = FirstSelectedRow();
    if (!row) return;
    constexpr UINT SharedZeroed = GMEM_MOVEABLE | GMEM_ZEROINIT | GMEM_SHARE;
    const std::vector<uint8_t> drop = DropFilesBlock(Results.Table().FullPath(*row));
    const DWORD copyEffect = DROPEFFECT_COPY;
    const UINT dropEffectFormat = RegisterClipboardFormatW(L"Preferred DropEffect");
    PutOnClipboard(mainWindow, {{CF_HDROP, GlobalBlock(drop.data(), drop.size(), SharedZeroed)},
                                {dropEffectFormat,
                                 GlobalBlock(&copyEffect, sizeof(copyEffect), SharedZeroed)}});
}
