#include "windows/secondary_window_win.h"

#include "ui/dpi_win.h"
#include "ui/layout.h"

namespace {

const wchar_t* const SlotNames[KeptObjectSlots] = {L"SkimletObject0", L"SkimletObject1",
                                                   L"SkimletObject2", L"SkimletObject3"};

}  // namespace

HFONT CreateTextFont(HWND window, int height, int weight, bool underline) {
    height = ScaleToDpi(height, WindowDpi(window));
    return CreateFontW(height, height / 2, 0, 0, weight, FALSE, underline ? TRUE : FALSE, FALSE,
                       DEFAULT_CHARSET, OUT_CHARACTER_PRECIS, CLIP_CHARACTER_PRECIS,
                       DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, L"微软雅黑");
}

HGDIOBJ KeepWithWindow(HWND window, int slot, HGDIOBJ object) {
    if (object == nullptr) return nullptr;
    if (slot < 0 || slot >= KeptObjectSlots || GetPropW(window, SlotNames[slot]) != nullptr ||
        !SetPropW(window, SlotNames[slot], object)) {
        DeleteObject(object);
        return nullptr;
    }
    return object;
}

HGDIOBJ KeptObject(HWND window, int slot) {
    if (slot < 0 || slot >= KeptObjectSlots) return nullptr;
    return static_cast<HGDIOBJ>(GetPropW(window, SlotNames[slot]));
}

void ReleaseKeptObjects(HWND window) {
    for (const wchar_t* name : SlotNames) {
        if (HANDLE object = RemovePropW(window, name)) DeleteObject(static_cast<HGDIOBJ>(object));
    }
}

void CreateControls(HWND parent, const ControlSpec* items, int count) {
    auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(parent, GWLP_HINSTANCE));
    const int dpi = WindowDpi(parent);
    const auto scale = [dpi](int pixels) { return ScaleToDpi(pixels, dpi); };
    for (int i = 0; i < count; ++i) {
        const ControlSpec& item = items[i];
        HWND control = CreateWindowExW(0, item.className, item.text, item.style, scale(item.x),
                                       scale(item.y), scale(item.width), scale(item.height), parent,
                                       reinterpret_cast<HMENU>(static_cast<INT_PTR>(item.id)),
                                       instance, nullptr);
        if (control == nullptr || item.fontSlot == DefaultFont) continue;
        if (HGDIOBJ font = KeptObject(parent, item.fontSlot)) {
            SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        }
    }
}

LRESULT WindowColourBrush() {
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
}
