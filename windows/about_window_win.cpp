#include "windows/about_window_win.h"

#include <shellapi.h>

#include <string>

#include "resources/maker_texts.h"
#include "ui/secondary_windows_win.h"
#include "windows/modal_win.h"
#include "windows/secondary_window_win.h"

namespace {

constexpr int TitleFontSlot = 0;
constexpr int LinkFontSlot = 1;
constexpr int BandBrushSlot = 2;
constexpr COLORREF BandColour = RGB(65, 150, 79);
constexpr COLORREF BandTextColour = RGB(255, 255, 255);

constexpr int BandId = 1;
constexpr int EmailLinkId = 6;
constexpr int WebLinkId = 7;

constexpr DWORD LabelStyle = WS_CHILD | WS_VISIBLE;
constexpr DWORD LinkStyle = WS_CHILD | WS_VISIBLE | SS_NOTIFY;

const ControlSpec AboutLabels[] = {
    {BandId, L"STATIC", LabelStyle | SS_CENTER | SS_CENTERIMAGE, 0, 0, 400, 100, TitleFontSlot,
     L"Skimlet               "},
    {2, L"STATIC", LabelStyle, 0, 100, 400, 220, DefaultFont, L""},
    {3, L"STATIC", LabelStyle, 80, 140, 400, 20, DefaultFont, L"Skimlet"},
    {4, L"STATIC", LabelStyle, 80, 165, 400, 20, DefaultFont, L"版本 V1.0.0.1024 (x64)"},
    {5, L"STATIC", LabelStyle, 80, 190, 400, 20, DefaultFont, MakerNoticeLine},
    {EmailLinkId, L"STATIC", LinkStyle, 80, 215, 400, 20, LinkFontSlot, MakerEmailAddress},
    {WebLinkId, L"STATIC", LinkStyle, 80, 240, 400, 20, LinkFontSlot, ProductWebAddress},
};

bool IsLink(HWND window, HWND control) {
    return control != nullptr &&
           (control == GetDlgItem(window, EmailLinkId) || control == GetDlgItem(window, WebLinkId));
}

void OpenEmailLink() {
    std::wstring target = L"mailto:";
    target += MakerEmailAddress;
    // A missing mail program is not reported: the address stays readable in the window.
    ShellExecuteW(nullptr, nullptr, target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void OpenWebLink() {
    auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", ProductWebAddress, nullptr, nullptr, SW_SHOWNORMAL));
    if (result <= 32) MessageBoxW(nullptr, L"无法打开网站", L"错误", MB_ICONERROR);
}

}  // namespace

LRESULT CALLBACK AboutWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            KeepWithWindow(window, BandBrushSlot, CreateSolidBrush(BandColour));
            KeepWithWindow(window, TitleFontSlot, CreateTextFont(window, -32, 700, false));
            KeepWithWindow(window, LinkFontSlot, CreateTextFont(window, -12, 400, true));
            CreateControls(window, AboutLabels, sizeof(AboutLabels) / sizeof(AboutLabels[0]));
            break;
        case WM_CTLCOLORSTATIC: {
            auto control = reinterpret_cast<HWND>(lParam);
            HGDIOBJ band = KeptObject(window, BandBrushSlot);
            if (GetDlgCtrlID(control) == BandId && band != nullptr) {
                auto dc = reinterpret_cast<HDC>(wParam);
                SetTextColor(dc, BandTextColour);
                SetBkColor(dc, BandColour);
                return reinterpret_cast<LRESULT>(band);
            }
            return WindowColourBrush();
        }
        case WM_SETCURSOR:
            // The class has no cursor, so only the links set one.
            if (LOWORD(lParam) == HTCLIENT && IsLink(window, reinterpret_cast<HWND>(wParam))) {
                SetCursor(LoadCursorW(nullptr, IDC_HAND));
                return TRUE;
            }
            break;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case EmailLinkId:
                    OpenEmailLink();
                    return 0;
                case WebLinkId:
                    OpenWebLink();
                    return 0;
            }
            break;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY:
            ReleaseKeptObjects(window);
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void OpenAboutWindow(HWND mainWindow) {
    OpenSecondaryWindow(mainWindow, L"AboutSkimletWindow", AboutWindowProc, L"关于 Skimlet ", 400,
                        350);
}
