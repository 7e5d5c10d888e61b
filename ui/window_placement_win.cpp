#include "ui/window_placement_win.h"

ScreenRect WindowRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return {rect.left, rect.top, rect.right, rect.bottom};
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
