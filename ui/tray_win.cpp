#include "ui/tray_win.h"

#include <shellapi.h>

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
