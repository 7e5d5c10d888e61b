#include "windows/donation_window_win.h"

#include "resources/resource_ids.h"
#include "ui/dpi_win.h"
#include "ui/layout.h"
#include "ui/secondary_windows_win.h"
#include "windows/modal_win.h"
#include "windows/secondary_window_win.h"

namespace {

constexpr int TitleFontSlot = 0;
constexpr int BodyFontSlot = 1;
constexpr int QRcodeButtonId = 101;
constexpr DWORD LabelStyle = WS_CHILD | WS_VISIBLE;

constexpr int QRcodeWindowWidth = 315;
constexpr int QRcodeWindowHeight = 460;
constexpr int PictureWidth = 600;
constexpr int PictureHeight = 815;

// The labels overlap and reach past the client area; each text sits at the top of its label.
const ControlSpec DonationControls[] = {
    {1, L"STATIC", LabelStyle, 0, 0, 400, 320, DefaultFont, L""},
    {1, L"STATIC", LabelStyle, 15, 10, 400, 300, TitleFontSlot, L"捐赠"},
    {1, L"STATIC", LabelStyle, 15, 60, 400, 320, BodyFontSlot, L"感谢您使用 Skimlet"},
    {1, L"STATIC", LabelStyle, 45, 80, 400, 320, BodyFontSlot,
     L"感谢您的捐赠，它将有助于 Skimlet 的后续开发。"},
    {1, L"STATIC", LabelStyle, 15, 100, 400, 320, BodyFontSlot,
     L"捐赠将用于硬件、软件、服务器托管和其他费用。"},
    {1, L"STATIC", LabelStyle, 220, 120, 400, 320, BodyFontSlot, L"感谢您的支持！ZR"},
    {QRcodeButtonId, L"BUTTON", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_DEFPUSHBUTTON, 100, 160,
     260, 34, BodyFontSlot, L"确定，使用微信扫描二维码捐赠"},
};

// The picture is loaded at 600 x 815 and squeezed to half its width and 400/815 of its height,
// so that it fills the left 300 pixels and the top 400 pixels of the client area.
void PaintQRcode(HWND window) {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(window, &paint);
    if (dc == nullptr) return;
    HDC memory = CreateCompatibleDC(dc);
    auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(window, GWLP_HINSTANCE));
    auto picture =
        static_cast<HBITMAP>(LoadImageW(instance, MAKEINTRESOURCEW(IDB_QRCODE), IMAGE_BITMAP,
                                        PictureWidth, PictureHeight, LR_CREATEDIBSECTION));
    if (memory != nullptr && picture != nullptr) {
        HGDIOBJ previous = SelectObject(memory, picture);
        SetStretchBltMode(dc, HALFTONE);
        SetBrushOrgEx(dc, 0, 0, nullptr);
        const int dpi = WindowDpi(window);
        StretchBlt(dc, 0, 0, ScaleToDpi(PictureWidth / 2, dpi), ScaleToDpi(400, dpi), memory, 0, 0,
                   PictureWidth, PictureHeight, SRCCOPY);
        SelectObject(memory, previous);
    }
    if (picture != nullptr) DeleteObject(picture);
    if (memory != nullptr) DeleteDC(memory);
    EndPaint(window, &paint);
}

}  // namespace

void OpenQRcodeWindow(HWND donationWindow) {
    // No owner: the window stands on its own, and the modal loop keeps the others disabled.
    OpenModalWindow(donationWindow, nullptr, L"QRcodeWindow", QRcodeWindowProc, L"二维码捐赠",
                    QRcodeWindowWidth, QRcodeWindowHeight);
}

LRESULT CALLBACK DonationWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            KeepWithWindow(window, TitleFontSlot, CreateTextFont(window, -24, 500, false));
            KeepWithWindow(window, BodyFontSlot, CreateTextFont(window, -16, 500, false));
            CreateControls(window, DonationControls,
                           sizeof(DonationControls) / sizeof(DonationControls[0]));
            break;
        case WM_COMMAND:
            if (LOWORD(wParam) == QRcodeButtonId) OpenQRcodeWindow(window);
            return 0;
        case WM_CTLCOLORSTATIC:
            return WindowColourBrush();
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY:
            ReleaseKeptObjects(window);
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT CALLBACK QRcodeWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            PaintQRcode(window);
            break;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void OpenDonationWindow(HWND mainWindow) {
    OpenSecondaryWindow(mainWindow, L"DonationWindow", DonationWindowProc, L"捐赠", 420, 250);
}
