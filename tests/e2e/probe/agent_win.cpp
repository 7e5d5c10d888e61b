// Loaded into the program under test by the probe. Wine keeps menus and GDI objects per process,
// so menu marks and fonts can only be read from inside the process that owns them.
#include <windows.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "agent_protocol.h"

namespace {

std::wstring MenuItemLine(HMENU menu, UINT position, int depth) {
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_ID | MIIM_STATE | MIIM_FTYPE | MIIM_SUBMENU;
    if (!GetMenuItemInfoW(menu, position, TRUE, &info)) return L"";
    wchar_t text[256] = {};
    GetMenuStringW(menu, position, text, 256, MF_BYPOSITION);
    std::wstring line(static_cast<size_t>(depth), L'\t');
    line += std::to_wstring(info.wID);
    line += L'\t';
    if (info.fType & MFT_SEPARATOR)
        line += L"separator";
    else {
        line += (info.fState & MFS_CHECKED) ? L"checked" : L"unchecked";
        line += (info.fState & MFS_GRAYED) ? L",grayed" : L",enabled";
        if (info.fType & MFT_RADIOCHECK) line += L",radio";
    }
    line += L'\t';
    line += text;
    line += L'\n';
    return line;
}

void DumpMenu(HMENU menu, int depth, std::wstring& out) {
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        out += MenuItemLine(menu, static_cast<UINT>(i), depth);
        if (HMENU sub = GetSubMenu(menu, i)) DumpMenu(sub, depth + 1, out);
    }
}

bool MenuItem(HWND window, UINT id, std::wstring& out) {
    HMENU bar = GetMenu(window);
    if (!bar) return false;
    UINT state = GetMenuState(bar, id, MF_BYCOMMAND);
    if (state == static_cast<UINT>(-1)) return false;
    wchar_t text[256] = {};
    GetMenuStringW(bar, id, text, 256, MF_BYCOMMAND);
    out = (state & MF_CHECKED) ? L"checked" : L"unchecked";
    out += (state & MF_GRAYED) ? L",grayed" : L",enabled";
    out += L'\t';
    out += text;
    return true;
}

bool Font(HWND window, std::wstring& out) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, WM_GETFONT, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer))
        return false;
    if (answer == 0) {
        out = L"system";
        return true;
    }
    LOGFONTW font{};
    if (GetObjectW(reinterpret_cast<HFONT>(answer), sizeof(font), &font) != sizeof(font))
        return false;
    out = font.lfFaceName;
    out += L'\t' + std::to_wstring(font.lfHeight) + L'\t' + std::to_wstring(font.lfWeight) + L'\t' +
           std::to_wstring(font.lfCharSet) + L'\t' + std::to_wstring(font.lfItalic) + L'\t' +
           std::to_wstring(font.lfUnderline);
    return true;
}

// The program's import slot of Shell_NotifyIconW, where its calls go through.
void** NotifyIconSlot() {
    auto* base = reinterpret_cast<unsigned char*>(GetModuleHandleW(nullptr));
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0) return nullptr;
    for (auto* library = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         library->Name != 0; ++library) {
        if (_stricmp(reinterpret_cast<const char*>(base + library->Name), "shell32.dll") != 0)
            continue;
        const DWORD namesAt =
            library->OriginalFirstThunk ? library->OriginalFirstThunk : library->FirstThunk;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + namesAt);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + library->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
            const auto* byName =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (strcmp(reinterpret_cast<const char*>(byName->Name), "Shell_NotifyIconW") == 0)
                return reinterpret_cast<void**>(&slots->u1.Function);
        }
    }
    return nullptr;
}

BOOL WINAPI RefuseNotifyIcon(DWORD, void*) {
    return FALSE;
}

void* OriginalNotifyIcon = nullptr;

bool RefuseTrayIcons(bool refuse, std::wstring& out) {
    void** slot = NotifyIconSlot();
    if (slot == nullptr) {
        out = L"no import of Shell_NotifyIconW";
        return false;
    }
    if (OriginalNotifyIcon == nullptr) OriginalNotifyIcon = *slot;
    void* target = refuse ? reinterpret_cast<void*>(RefuseNotifyIcon) : OriginalNotifyIcon;
    DWORD old = 0;
    if (!VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &old)) {
        out = L"import slot not writable";
        return false;
    }
    *slot = target;
    VirtualProtect(slot, sizeof(void*), old, &old);
    out = refuse ? L"refusing" : L"passing";
    return true;
}

}  // namespace

extern "C" __declspec(dllexport) DWORD WINAPI AgentRun(void* parameter) {
    auto* block = static_cast<AgentBlock*>(parameter);
    HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(block->window));
    std::wstring reply;
    bool ok = false;
    switch (block->op) {
        case AgentMenuItem:
            ok = MenuItem(window, block->id, reply);
            break;
        case AgentMenuTree:
            if (HMENU bar = GetMenu(window)) {
                DumpMenu(bar, 0, reply);
                ok = true;
            }
            break;
        case AgentFont:
            ok = Font(window, reply);
            break;
        case AgentRefuseTrayIcons:
            ok = RefuseTrayIcons(block->id != 0, reply);
            break;
        default:
            reply = L"unknown request";
    }
    if (reply.size() >= AgentReplyCapacity) reply.resize(AgentReplyCapacity - 1);
    wmemcpy(block->reply, reply.c_str(), reply.size() + 1);
    block->replyLength = static_cast<uint32_t>(reply.size());
    block->ok = ok ? 1 : 0;
    return ok ? 1 : 0;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) {
    return TRUE;
}
