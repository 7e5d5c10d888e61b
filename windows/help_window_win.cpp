#include "windows/help_window_win.h"

#include "ui/secondary_windows_win.h"
#include "windows/modal_win.h"
#include "windows/secondary_window_win.h"

namespace {

constexpr int HelpFontSlot = 0;
constexpr DWORD LabelStyle = WS_CHILD | WS_VISIBLE;

// The labels are 180 pixels tall and overlap; each text sits at the top of its own label, and the
// two long lines wrap into the wider gaps left below them.
const ControlSpec HelpLabels[] = {
    {1, L"STATIC", LabelStyle, 0, 0, 400, 250, DefaultFont, L""},
    {1, L"STATIC", LabelStyle, 10, 10, 360, 180, HelpFontSlot, L"帮助："},
    {1, L"STATIC", LabelStyle, 10, 30, 360, 180, HelpFontSlot,
     L"      1.输入ab,搜索包含有ab字符的文件名"},
    {1, L"STATIC", LabelStyle, 10, 50, 360, 180, HelpFontSlot,
     L"      2.输入ab  cd,搜索包含有ab和cd字符的文件名"},
    {1, L"STATIC", LabelStyle, 10, 70, 360, 180, HelpFontSlot,
     L"      3.输入ab  cd !ef,搜索包含有ab和cd,但不包含ef字符的文件名"},
    {1, L"STATIC", LabelStyle, 10, 110, 360, 180, HelpFontSlot,
     L"      4.输入d:  ab,搜索d盘下，包含有ab字符的文件名"},
    {1, L"STATIC", LabelStyle, 10, 130, 360, 180, HelpFontSlot,
     L"      5.通配符*,输入ab*,搜索出ab开头的文件名。输入ab*cd,搜索出ab开头且cd结尾的文件名。"},
    {1, L"STATIC", LabelStyle, 10, 170, 360, 180, HelpFontSlot, L"      6.输入汉字，效果一样"},
};

}  // namespace

LRESULT CALLBACK HelpWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            KeepWithWindow(window, HelpFontSlot, CreateTextFont(window, -16, 500, false));
            CreateControls(window, HelpLabels, sizeof(HelpLabels) / sizeof(HelpLabels[0]));
            break;
        case WM_CTLCOLORSTATIC:
            return WindowColourBrush();
        case WM_DESTROY:
            // Ends the nested message loop that runs while this window is open.
            PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY:
            ReleaseKeptObjects(window);
            break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void OpenHelpWindow(HWND mainWindow) {
    OpenSecondaryWindow(mainWindow, L"HelpWindow", HelpWindowProc, L"帮助", 400, 250);
}
