#include "ui/main_window_win.h"

#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <mutex>
#include <string_view>
#include <vector>

#include "index/platform.h"
#include "ui/commands.h"
#include "ui/dpi_win.h"
#include "ui/layout.h"
#include "ui/load_and_search_win.h"
#include "ui/menu_win.h"
#include "ui/placement.h"
#include "ui/query_box_win.h"
#include "ui/result_list_win.h"
#include "ui/tray_win.h"

HWND QueryEdit = nullptr;
HWND ResultList = nullptr;
HWND StatusBar = nullptr;
HIMAGELIST FileIconList = nullptr;

namespace {

constexpr wchar_t MainClassName[] = L"CreateChildWindow";
constexpr wchar_t MainTitle[] = L"Skimlet秒搜文件名";
constexpr DWORD MainStyle = WS_OVERLAPPEDWINDOW;
constexpr DWORD StatusBarStyleBit = 0x0010;
constexpr UINT DpiChangedMessage = 0x02E0;  // WM_DPICHANGED, missing from older headers

// The DPI the window's sizes are laid out for; it follows the monitor the window is on.
int CurrentDpi = BaseDpi;
int QueryFontHeight = 0;
HFONT QueryFont = nullptr;
HBRUSH QueryBrush = nullptr;

// Workers of several volumes append icons at once; the image list is not meant for that.
std::mutex IconListLock;
// The icon resource of every image, in image order, so that the list can be made again at
// another size with the same indexes.
std::vector<int> IconResources;
int IconSize = 0;

int AddIcon(HIMAGELIST list, int resourceId, int size) {
    HICON icon =
        static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId),
                                      IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    if (icon == nullptr) return -1;
    const int index = ImageList_ReplaceIcon(list, -1, icon);
    DestroyIcon(icon);
    return index;
}

int AppendResourceIcon(int resourceId) {
    std::lock_guard<std::mutex> lock(IconListLock);
    const int index = AddIcon(FileIconList, resourceId, IconSize);
    if (index >= 0) IconResources.push_back(resourceId);
    return index;
}

// Makes the icon list at the frame size of `size` and fills it with the icons it held before.
void SizeIconList(int size) {
    std::lock_guard<std::mutex> lock(IconListLock);
    if (FileIconList != nullptr && size == IconSize) return;
    HIMAGELIST list = ImageList_Create(size, size, ILC_COLORDDB | ILC_MASK, 1, 0);
    if (list == nullptr) return;
    for (int resourceId : IconResources) AddIcon(list, resourceId, size);
    HIMAGELIST old = FileIconList;
    FileIconList = list;
    IconSize = size;
    if (ResultList != nullptr) {
        SendMessageW(ResultList, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(list));
    }
    if (old != nullptr) ImageList_Destroy(old);
}

void SizeQueryFont(int height) {
    if (QueryFont != nullptr && height == QueryFontHeight) return;
    HFONT font = CreateFontW(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                             DEFAULT_PITCH | FF_DONTCARE, L"Arial");
    if (font == nullptr) return;
    SendMessageW(QueryEdit, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (QueryFont != nullptr) DeleteObject(QueryFont);
    QueryFont = font;
    QueryFontHeight = height;
}

bool IsMouseButtonPress(UINT message) {
    switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDOWN:
        case WM_NCLBUTTONDOWN:
        case WM_NCRBUTTONDOWN:
            return true;
        default:
            return false;
    }
}

// The message loop's share of typed-ahead input. As in the window procedure, a search that runs
// out of memory is dropped and the window goes on.
void RunPendingSearchHere() {
    try {
        RunPendingSearch();
    } catch (const std::exception&) {
    }
}

// The diagnostic lines of the build and of the window, on standard output, which has no console
// in normal use. The volume workers write theirs at the same time, so each line is written whole.
std::mutex DiagnosticLock;
void WriteDiagnosticLine(std::string_view line) {
    std::lock_guard<std::mutex> lock(DiagnosticLock);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

HWND CreateControl(HWND parent, const wchar_t* className, const wchar_t* text, DWORD style, int x,
                   int y, int width, int height, int id) {
    return CreateWindowExW(0, className, text, style, x, y, width, height, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           GetModuleHandleW(nullptr), nullptr);
}

bool CreateMainContents(HWND window) {
    CurrentDpi = WindowDpi(window);
    const MainLayout layout = MainLayoutAt(CurrentDpi);
    QueryEdit =
        CreateControl(window, L"edit", L"", WS_CHILD | WS_VISIBLE | WS_BORDER | ES_AUTOHSCROLL, 0,
                      0, layout.queryCreateWidth, layout.queryCreateHeight, QueryEditId);
    if (QueryEdit == nullptr) return false;
    WatchQueryBoxKeys();
    SizeQueryFont(layout.queryFontHeight);
    if (QueryBrush == nullptr) QueryBrush = CreateSolidBrush(RGB(255, 255, 255));

    StatusBar = CreateControl(window, STATUSCLASSNAMEW, L"",
                              WS_CHILD | WS_VISIBLE | StatusBarStyleBit, 0, 0, 0, 0, StatusBarId);
    if (StatusBar == nullptr) return false;

    ResultList = CreateControl(
        window, WC_LISTVIEWW, L"LISTVIEW",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_AUTOARRANGE | LVS_OWNERDATA, 0,
        layout.listCreateTop, layout.listCreateWidth, layout.listCreateHeight, ResultListId);
    if (ResultList == nullptr) return false;

    SizeIconList(layout.iconSize);
    InsertResultColumns(layout.columnWidths);
    WatchResultList(window);
    BuildMenuBar(window);
    SetTimer(ResultList, LoadTimerId, LoadTimerPeriod, InitialLoad);
    return true;
}

void LayOut(HWND window, WPARAM sizeType) {
    RECT client{};
    GetClientRect(window, &client);
    const int width = client.right - client.left;
    const int height = client.bottom - client.top;
    const MainLayout layout = MainLayoutAt(CurrentDpi);
    MoveWindow(ResultList, 0, layout.queryHeight, width,
               std::max(0, height - layout.queryHeight - layout.statusReserve), TRUE);
    MoveWindow(QueryEdit, 0, 0, width, layout.queryHeight, TRUE);
    SendMessageW(StatusBar, WM_SIZE, 0, 0);
    if (sizeType == SIZE_MINIMIZED) HideToTray(window);
}

// The window moved to a monitor of another DPI: every size follows, and the window takes the
// rectangle the system suggests.
void FollowDpi(HWND window, int dpi, const RECT* suggested) {
    CurrentDpi = dpi;
    const MainLayout layout = MainLayoutAt(dpi);
    SizeQueryFont(layout.queryFontHeight);
    SizeIconList(layout.iconSize);
    SetResultColumnWidths(layout.columnWidths);
    if (suggested != nullptr) {
        SetWindowPos(window, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    LayOut(window, SIZE_RESTORED);
}

// The query box, the header with one row and its scroll bar, and the status bar always show.
void LimitTrackSize(MINMAXINFO& limits) {
    const MainLayout layout = MainLayoutAt(CurrentDpi);
    const SIZE outer = OuterSizeForClient(layout.minClientWidth, layout.minClientHeight, MainStyle,
                                          true, CurrentDpi);
    limits.ptMinTrackSize.x = outer.cx;
    limits.ptMinTrackSize.y = outer.cy;
}

LRESULT ColourQueryEdit(HDC context, HWND control) {
    if (control != QueryEdit) return 0;
    SetTextColor(context, RGB(255, 0, 0));
    SetBkMode(context, OPAQUE);
    SetBkColor(context, RGB(255, 255, 255));
    return reinterpret_cast<LRESULT>(QueryBrush);
}

LRESULT HandleMainMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (IsTaskbarCreated(message)) {
        OnTaskbarCreated(window);
        return 0;
    }
    switch (message) {
        case WM_CREATE:
            if (!CreateMainContents(window)) return -1;
            break;
        case WM_DESTROY:
            RemoveTrayIcon(window);
            PostQuitMessage(0);
            break;
        case WM_SIZE:
            LayOut(window, wParam);
            break;
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(window, &paint);
            EndPaint(window, &paint);
            break;
        }
        case WM_COMMAND:
            HandleCommand(window, wParam);
            break;
        case WM_NOTIFY:
            HandleListNotification(window, reinterpret_cast<const NMHDR*>(lParam));
            break;
        case WM_CTLCOLOREDIT:
            result = ColourQueryEdit(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
            break;
        case WM_MOUSEMOVE:
            break;
        case WM_GETMINMAXINFO:
            LimitTrackSize(*reinterpret_cast<MINMAXINFO*>(lParam));
            break;
        case DpiChangedMessage:
            FollowDpi(window, LOWORD(wParam), reinterpret_cast<const RECT*>(lParam));
            break;
        case WM_TRAYNOTIFY:
            OnTrayNotify(window, lParam);
            break;
        default:
            return DefWindowProcW(window, message, wParam, lParam);
    }
    return result;
}

}  // namespace

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Nothing may unwind into the system's dispatcher; a search or sort that runs out of memory
    // drops its message and the window goes on.
    try {
        return HandleMainMessage(window, message, wParam, lParam);
    } catch (const std::exception&) {
        return 0;
    }
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    // The shell's open verbs may use COM; the window thread is a single-threaded apartment.
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    UsePerMonitorDpi();
    CurrentDpi = WindowDpi(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    ThePlatform().appendIcon = AppendResourceIcon;
    ThePlatform().diagnostic = WriteDiagnosticLine;

    WNDCLASSW windowClass{};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MainWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(ProgramIconId));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = MainClassName;
    if (RegisterClassW(&windowClass) == 0) {
        MessageBoxW(nullptr, L"这个程序需要在Windows系统执行！", MainClassName, MB_ICONERROR);
        return 0;
    }

    const MainLayout layout = MainLayoutAt(CurrentDpi);
    const Placement place =
        CenteredOnScreen(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                         layout.windowWidth, layout.windowHeight);
    HWND window = CreateWindowExW(0, MainClassName, MainTitle, MainStyle, place.x, place.y,
                                  place.width, place.height, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        MessageBoxW(nullptr, L"创建窗口失败!", L"错误", MB_ICONERROR);
        return 0;
    }
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    MSG message{};
    BOOL got;
    for (;;) {
        // A search put off for keys that then changed nothing runs once they are handled.
        if (PendingSearchIsDue()) RunPendingSearchHere();
        if ((got = GetMessageW(&message, nullptr, 0, 0)) <= 0) break;
        // A click acts on what the list shows, which must be the rows of the text in the box.
        if (IsMouseButtonPress(message.message)) RunPendingSearchHere();
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return got == 0 ? static_cast<int>(message.wParam) : 0;
}
