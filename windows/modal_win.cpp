#include "windows/modal_win.h"

#include "ui/dpi_win.h"
#include "ui/layout.h"
#include "ui/placement.h"

void OpenSecondaryWindow(HWND mainWindow, const wchar_t* className, WNDPROC procedure,
                         const wchar_t* title, int width, int height) {
    OpenModalWindow(mainWindow, mainWindow, className, procedure, title, width, height);
}

void OpenModalWindow(HWND disabledWindow, HWND owner, const wchar_t* className, WNDPROC procedure,
                     const wchar_t* title, int width, int height) {
    EnableWindow(disabledWindow, FALSE);
    HINSTANCE instance = GetModuleHandleW(nullptr);

    // From the second opening on this fails because the class exists; the existing one serves.
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    windowClass.lpszClassName = className;
    RegisterClassW(&windowClass);

    // The sizes are given at 96 DPI; the window opens at the DPI of the one that opened it.
    const int dpi = WindowDpi(owner != nullptr ? owner : disabledWindow);
    const Placement place =
        CenteredOnScreen(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                         ScaleToDpi(width, dpi), ScaleToDpi(height, dpi));
    HWND window = CreateWindowExW(0, className, title, WS_SYSMENU, place.x, place.y, place.width,
                                  place.height, owner, nullptr, instance, nullptr);
    if (window == nullptr) {
        MessageBoxW(nullptr, L"创建窗口失败!", L"错误", MB_ICONERROR);
        EnableWindow(disabledWindow, TRUE);
        return;
    }
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
    RunModalLoop(disabledWindow);
}

void RunModalLoop(HWND disabledWindow) {
    MSG message{};
    BOOL got;
    while ((got = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    EnableWindow(disabledWindow, TRUE);
    SetForegroundWindow(disabledWindow);
    // A quit meant for the whole program (the window gone meanwhile) must reach the outer loop.
    if (got == 0 && !IsWindow(disabledWindow)) PostQuitMessage(static_cast<int>(message.wParam));
}
