#include "ui/tray_win.h"

#include <shellapi.h>

#include "index/platform.h"
#include "ui/commands.h"

static_assert(sizeof(NOTIFYICONDATAW) == 976, "full NOTIFYICONDATAW of a 64-bit process");

namespace {

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

// The icon stays after a restore, and the shell refuses to add it twice; so an icon that can be
// modified is there already, and only a missing one is added.
bool ShowTrayIcon(HWND mainWindow) {
    NOTIFYICONDATAW record = TrayRecord(mainWindow);
    return Shell_NotifyIconW(NIM_MODIFY, &record) || Shell_NotifyIconW(NIM_ADD, &record);
}

void ReportMissingIcon() {
    ThePlatform().diagnostic("error: the tray icon could not be added; the window stays minimised");
}

}  // namespace

void HideToTray(HWND mainWindow) {
    if (ShowTrayIcon(mainWindow)) {
        ShowWindow(mainWindow, SW_HIDE);
        return;
    }
    ReportMissingIcon();
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

bool IsTaskbarCreated(UINT message) {
    static const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
    return taskbarCreated != 0 && message == taskbarCreated;
}

void OnTaskbarCreated(HWND mainWindow) {
    if (IsWindowVisible(mainWindow)) return;
    NOTIFYICONDATAW record = TrayRecord(mainWindow);
    if (Shell_NotifyIconW(NIM_ADD, &record)) return;
    ReportMissingIcon();
    ShowWindow(mainWindow, SW_SHOWMINNOACTIVE);
}
