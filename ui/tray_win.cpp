#include "ui/tray_win.h"

#include <shellapi.h>

#include <cstdio>
#include <string>

#include "ui/commands.h"
#include "ui/item_texts.h"
#include "ui/placement.h"
#include "ui/text_win.h"

static_assert(sizeof(NOTIFYICONDATAW) == 976, "full NOTIFYICONDATAW of a 64-bit process");

namespace {

constexpr DWORD InputIdleTimeout = 5000;

NOTIFYICONDATAW TrayRecord(HWND mainWindow) {
    NOTIFYICONDATAW record{};
    record.cbSize = sizeof(record);
    record.hWnd = mainWindow;
    record.uID = ProgramIconId;
    record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record.uCallbackMessage = WM_TRAYNOTIFY;
    record.hIcon = LoadIconW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(ProgramIconId));
    lstrcpynW(record.szTip, L"Skimlet秒搜文件名", 128);
    return record;
}

std::u16string ModuleFileName() {
    std::u16string path(MAX_PATH, u'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, reinterpret_cast<wchar_t*>(path.data()),
                                                static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

struct WindowSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK FindProcessWindow(HWND window, LPARAM searchRecord) {
    auto* search = reinterpret_cast<WindowSearch*>(searchRecord);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId != search->processId || !IsWindowVisible(window)) return TRUE;
    if (GetParent(window) != nullptr) return TRUE;
    search->found = window;
    return FALSE;
}

ScreenRect WindowRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return {rect.left, rect.top, rect.right, rect.bottom};
}

}  // namespace

void AddTrayIcon(HWND mainWindow) {
    NOTIFYICONDATAW record = TrayRecord(mainWindow);
    Shell_NotifyIconW(NIM_ADD, &record);
}

void RemoveTrayIcon(HWND mainWindow) {
    NOTIFYICONDATAW record = TrayRecord(mainWindow);
    Shell_NotifyIconW(NIM_DELETE, &record);
}

void OnTrayNotify(HWND mainWindow, LPARAM mouseMessage) {
    if (mouseMessage != WM_LBUTTONDBLCLK) return;
    SetForegroundWindow(mainWindow);
    ShowWindow(mainWindow, SW_SHOWNORMAL);
}

void OpenNewSearchWindow(HWND mainWindow) {
    const ScreenRect current = WindowRect(mainWindow);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;

    // By full path: the program runs elevated, and a bare name would be looked up along the
    // search path, where another "Skimlet.exe" could be planted.
    const std::u16string program = SiblingExecutablePath(ModuleFileName());
    std::u16string commandLine = u"\"" + program + u"\"";
    PROCESS_INFORMATION process{};
    const bool started =
        !program.empty() &&
        CreateProcessW(Wide(program), reinterpret_cast<wchar_t*>(commandLine.data()), nullptr,
                       nullptr, FALSE, 0, nullptr, nullptr, &startup, &process);
    if (!started) {
        const DWORD error = program.empty() ? ERROR_FILE_NOT_FOUND : GetLastError();
        std::fprintf(stderr, "CreateProcess failed (%lu).\n", error);
        std::fflush(stderr);
        return;
    }

    WaitForInputIdle(process.hProcess, InputIdleTimeout);
    WindowSearch search{process.dwProcessId, nullptr};
    EnumWindows(FindProcessWindow, reinterpret_cast<LPARAM>(&search));
    if (search.found != nullptr) {
        const Placement place = BesideWindow(current);
        SetWindowPos(search.found, HWND_TOP, place.x, place.y, place.width, place.height,
                     SWP_SHOWWINDOW);
        SetForegroundWindow(search.found);
    }
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
}

void CenterWindow(HWND mainWindow) {
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const ScreenRect window = WindowRect(mainWindow);
    const Placement place = CenteredInWorkArea({work.left, work.top, work.right, work.bottom},
                                               window.Width(), window.Height());
    SetWindowPos(mainWindow, HWND_TOP, place.x, place.y, place.width, place.height, SWP_SHOWWINDOW);
    SetForegroundWindow(mainWindow);
}
