#include "ui/search_window_win.h"

#include <string>

#include "index/platform.h"
#include "ui/item_texts.h"
#include "ui/placement.h"
#include "ui/text_win.h"
#include "ui/window_placement_win.h"

namespace {

constexpr DWORD InputIdleTimeout = 5000;

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

}  // namespace

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
        ThePlatform().diagnostic("CreateProcess failed (" + std::to_string(error) + ").");
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
