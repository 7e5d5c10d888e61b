#include "ui/dpi_win.h"

namespace {

template <typename Function>
Function UserFunction(const char* name) {
    HMODULE user = GetModuleHandleW(L"user32.dll");
    if (user == nullptr) return nullptr;
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user, name)));
}

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSX) : 96;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

}  // namespace

void UsePerMonitorDpi() {
    using SetContext = BOOL(WINAPI*)(HANDLE);
    if (auto set = UserFunction<SetContext>("SetProcessDpiAwarenessContext")) {
        // DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2, then the first per-monitor version.
        if (set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4)))) return;
        if (set(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3)))) return;
    }
    using SetAware = BOOL(WINAPI*)();
    if (auto set = UserFunction<SetAware>("SetProcessDPIAware")) set();
}

int WindowDpi(HWND window) {
    using GetForWindow = UINT(WINAPI*)(HWND);
    static const auto getForWindow = UserFunction<GetForWindow>("GetDpiForWindow");
    if (window != nullptr && getForWindow != nullptr) {
        if (const UINT dpi = getForWindow(window); dpi > 0) return static_cast<int>(dpi);
    }
    return ScreenDpi();
}

SIZE OuterSizeForClient(int clientWidth, int clientHeight, DWORD style, bool menu, int dpi) {
    using AdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = UserFunction<AdjustForDpi>("AdjustWindowRectExForDpi");
    RECT rect{0, 0, clientWidth, clientHeight};
    if (adjustForDpi == nullptr ||
        !adjustForDpi(&rect, style, menu ? TRUE : FALSE, 0, static_cast<UINT>(dpi))) {
        rect = RECT{0, 0, clientWidth, clientHeight};
        AdjustWindowRectEx(&rect, style, menu ? TRUE : FALSE, 0);
    }
    return {rect.right - rect.left, rect.bottom - rect.top};
}
