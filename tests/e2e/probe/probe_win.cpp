// A console program that looks into another program's windows for the end-to-end tests. It reads
// one request per line (fields separated by TAB, UTF-8) from standard input, or a single request
// from its arguments, and answers "ok" or "err" followed by the result. Answers with several lines
// give their line count after "ok" and then the lines. Window handles are hexadecimal.
//
// Wine does not marshal pointers of list-view and header messages between processes, so their
// texts are fetched through memory allocated in the target process; menus and fonts live per
// process and are read by the agent DLL that the probe loads into the target.
#include <windows.h>
// These two need the types that windows.h declares.
#include <commctrl.h>
#include <psapi.h>
#include <shellapi.h>

#include <cstdint>
#include <cstdio>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "agent_protocol.h"

namespace {

using Fields = std::vector<std::wstring>;

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr,
                                   0, nullptr, nullptr);
    std::string out(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size,
                        nullptr, nullptr);
    return out;
}

std::wstring Wide(const std::string& text) {
    if (text.empty()) return {};
    int size =
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), size);
    return out;
}

// Control characters would break the line protocol; they are written as \u00XX, as skimlet-cli
// writes them, so that the two outputs compare directly.
std::wstring Printable(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        if (c < 0x20) {
            wchar_t escaped[8];
            swprintf(escaped, 8, L"\\u%04X", static_cast<unsigned>(c));
            out += escaped;
        } else {
            out += c;
        }
    }
    return out;
}

void Write(const std::string& bytes) {
    DWORD written = 0;
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const char* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0 && WriteFile(out, data, static_cast<DWORD>(left), &written, nullptr) &&
           written > 0) {
        data += written;
        left -= written;
    }
}

void Reply(const std::wstring& text) {
    Write("ok " + Utf8(text) + "\n");
}
void Fail(const std::wstring& text) {
    Write("err " + Utf8(text) + "\n");
}
// Multi-line answers keep their TABs as field separators; only line breaks are escaped.
std::wstring WithoutLineBreaks(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text)
        out += c == L'\n' ? L"\\u000A" : c == L'\r' ? L"\\u000D" : std::wstring(1, c);
    return out;
}

void ReplyLines(const std::vector<std::wstring>& lines) {
    std::string out = "ok " + std::to_string(lines.size()) + "\n";
    for (const std::wstring& line : lines) out += Utf8(WithoutLineBreaks(line)) + "\n";
    Write(out);
}

std::wstring Hex(HWND window) {
    wchar_t text[32];
    swprintf(text, 32, L"0x%llx",
             static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(window)));
    return text;
}

long long Number(const std::wstring& text) {
    return wcstoll(text.c_str(), nullptr, 0);
}
HWND Window(const std::wstring& text) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(wcstoull(text.c_str(), nullptr, 16)));
}

bool Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 10000, &answer))
        return false;
    result = static_cast<LRESULT>(answer);
    return true;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring TextOf(HWND window) {
    LRESULT length = 0;
    if (!Send(window, WM_GETTEXTLENGTH, 0, 0, length) || length < 0) return L"";
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    LRESULT copied = 0;
    Send(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), copied);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

DWORD ProcessOf(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process;
}

// Memory in the target process that holds request structures and the buffers they point to.
class RemoteBlock {
  public:
    RemoteBlock(HWND window, size_t size) : size_(size) {
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE,
                               ProcessOf(window));
        if (process_)
            base_ = static_cast<char*>(
                VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
    ~RemoteBlock() {
        if (base_) VirtualFreeEx(process_, base_, 0, MEM_RELEASE);
        if (process_) CloseHandle(process_);
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;

    bool valid() const { return base_ != nullptr; }
    char* at(size_t offset) const { return base_ + offset; }
    bool put(size_t offset, const void* data, size_t bytes) const {
        return WriteProcessMemory(process_, base_ + offset, data, bytes, nullptr);
    }
    bool get(size_t offset, void* data, size_t bytes) const {
        return ReadProcessMemory(process_, base_ + offset, data, bytes, nullptr);
    }

  private:
    HANDLE process_ = nullptr;
    char* base_ = nullptr;
    size_t size_;
};

constexpr int CellCapacity = 1024;

// Reads `columns` cells of each row from first to first + count - 1 of a list view.
bool ListRows(HWND list, int first, int count, int columns, std::vector<std::wstring>& lines) {
    const size_t itemsBytes = sizeof(LVITEMW) * static_cast<size_t>(columns);
    const size_t textBytes = sizeof(wchar_t) * CellCapacity * static_cast<size_t>(columns);
    RemoteBlock remote(list, itemsBytes + textBytes);
    if (!remote.valid()) return false;
    std::vector<LVITEMW> items(static_cast<size_t>(columns));
    std::vector<wchar_t> texts(CellCapacity * static_cast<size_t>(columns));
    for (int row = first; row < first + count; ++row) {
        for (int column = 0; column < columns; ++column) {
            LVITEMW& item = items[static_cast<size_t>(column)];
            item = LVITEMW{};
            item.mask = LVIF_TEXT;
            item.iItem = row;
            item.iSubItem = column;
            item.pszText = reinterpret_cast<wchar_t*>(
                remote.at(itemsBytes + sizeof(wchar_t) * CellCapacity * column));
            item.cchTextMax = CellCapacity;
        }
        std::vector<wchar_t> zeros(texts.size(), L'\0');
        if (!remote.put(0, items.data(), itemsBytes) ||
            !remote.put(itemsBytes, zeros.data(), textBytes))
            return false;
        std::vector<LRESULT> lengths(static_cast<size_t>(columns), 0);
        for (int column = 0; column < columns; ++column) {
            LPARAM item = reinterpret_cast<LPARAM>(remote.at(sizeof(LVITEMW) * column));
            if (!Send(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), item,
                      lengths[static_cast<size_t>(column)]))
                return false;
        }
        if (!remote.get(itemsBytes, texts.data(), textBytes)) return false;
        std::wstring line;
        for (int column = 0; column < columns; ++column) {
            if (column > 0) line += L'\t';
            const wchar_t* cell = texts.data() + CellCapacity * column;
            line += Printable(std::wstring(cell, wcsnlen(cell, CellCapacity)));
        }
        lines.push_back(line);
    }
    return true;
}

bool HeaderTexts(HWND list, std::vector<std::wstring>& lines) {
    LRESULT header = 0, columns = 0;
    if (!Send(list, LVM_GETHEADER, 0, 0, header) || !header) return false;
    if (!Send(reinterpret_cast<HWND>(header), HDM_GETITEMCOUNT, 0, 0, columns)) return false;
    RemoteBlock remote(list, sizeof(LVCOLUMNW) + sizeof(wchar_t) * CellCapacity);
    if (!remote.valid()) return false;
    for (int column = 0; column < columns; ++column) {
        LVCOLUMNW request{};
        request.mask = LVCF_TEXT;
        request.pszText = reinterpret_cast<wchar_t*>(remote.at(sizeof(LVCOLUMNW)));
        request.cchTextMax = CellCapacity;
        std::vector<wchar_t> text(CellCapacity, L'\0');
        LRESULT done = 0;
        if (!remote.put(0, &request, sizeof(request)) ||
            !remote.put(sizeof(LVCOLUMNW), text.data(), text.size() * sizeof(wchar_t)) ||
            !Send(list, LVM_GETCOLUMNW, static_cast<WPARAM>(column),
                  reinterpret_cast<LPARAM>(remote.at(0)), done) ||
            !done || !remote.get(sizeof(LVCOLUMNW), text.data(), text.size() * sizeof(wchar_t)))
            return false;
        lines.push_back(Printable(std::wstring(text.data(), wcsnlen(text.data(), CellCapacity))));
    }
    return true;
}

std::wstring RectText(RECT rect) {
    return std::to_wstring(rect.left) + L" " + std::to_wstring(rect.top) + L" " +
           std::to_wstring(rect.right - rect.left) + L" " + std::to_wstring(rect.bottom - rect.top);
}

// Screen rectangle of a header item, or of a list item when `header` is false.
bool ItemRect(HWND list, int index, bool header, RECT& rect) {
    HWND target = list;
    UINT message = LVM_GETITEMRECT;
    if (header) {
        LRESULT handle = 0;
        if (!Send(list, LVM_GETHEADER, 0, 0, handle) || !handle) return false;
        target = reinterpret_cast<HWND>(handle);
        message = HDM_GETITEMRECT;
    }
    RemoteBlock remote(list, sizeof(RECT));
    if (!remote.valid()) return false;
    rect = RECT{};
    rect.left = LVIR_BOUNDS;
    LRESULT done = 0;
    if (!remote.put(0, &rect, sizeof(rect)) ||
        !Send(target, message, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(remote.at(0)),
              done) ||
        !done || !remote.get(0, &rect, sizeof(rect)))
        return false;
    MapWindowPoints(target, nullptr, reinterpret_cast<POINT*>(&rect), 2);
    return true;
}

bool SelectRow(HWND list, int row) {
    RemoteBlock remote(list, sizeof(LVITEMW));
    if (!remote.valid()) return false;
    LVITEMW clear{};
    clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    LRESULT done = 0;
    if (!remote.put(0, &clear, sizeof(clear)) ||
        !Send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1),
              reinterpret_cast<LPARAM>(remote.at(0)), done))
        return false;
    if (row < 0) return true;  // only cleared
    LVITEMW select{};
    select.state = LVIS_SELECTED | LVIS_FOCUSED;
    select.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    return remote.put(0, &select, sizeof(select)) &&
           Send(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                reinterpret_cast<LPARAM>(remote.at(0)), done) &&
           done;
}

// The agent is loaded once per target process; its base there gives the address of AgentRun.
std::map<DWORD, uintptr_t> agentBases;

std::wstring AgentPath() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring text = path;
    text.resize(text.find_last_of(L"\\/") + 1);
    return text + L"skimlet_probe_agent.dll";
}

uintptr_t RemoteModuleBase(HANDLE process, const std::wstring& path) {
    HMODULE modules[1024];
    DWORD needed = 0;
    if (!EnumProcessModules(process, modules, sizeof(modules), &needed)) return 0;
    for (DWORD i = 0; i < needed / sizeof(HMODULE) && i < 1024; ++i) {
        wchar_t name[MAX_PATH] = {};
        GetModuleFileNameExW(process, modules[i], name, MAX_PATH);
        if (_wcsicmp(name, path.c_str()) == 0) return reinterpret_cast<uintptr_t>(modules[i]);
    }
    return 0;
}

bool RunRemoteThread(HANDLE process, const void* start, void* parameter, DWORD& result) {
    HANDLE thread = CreateRemoteThread(
        process, nullptr, 0,
        reinterpret_cast<LPTHREAD_START_ROUTINE>(reinterpret_cast<uintptr_t>(start)), parameter, 0,
        nullptr);
    if (!thread) return false;
    bool ended = WaitForSingleObject(thread, 20000) == WAIT_OBJECT_0;
    GetExitCodeThread(thread, &result);
    CloseHandle(thread);
    return ended;
}

bool AskAgent(HWND window, AgentOp op, uint32_t id, std::wstring& reply) {
    DWORD processId = ProcessOf(window);
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId);
    if (!process) {
        reply = L"cannot open process";
        return false;
    }
    std::wstring path = AgentPath();
    uintptr_t base = agentBases[processId];
    RemoteBlock remote(window, sizeof(AgentBlock));
    DWORD result = 0;
    bool ok = remote.valid();
    if (ok && base == 0) {
        ok = remote.put(0, path.c_str(), (path.size() + 1) * sizeof(wchar_t)) &&
             RunRemoteThread(process,
                             reinterpret_cast<const void*>(
                                 GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "LoadLibraryW")),
                             remote.at(0), result);
        base = ok ? RemoteModuleBase(process, path) : 0;
        agentBases[processId] = base;
        if (base == 0) reply = L"cannot load the agent";
    }
    HMODULE local = LoadLibraryW(path.c_str());
    if (ok && base != 0 && local) {
        uintptr_t offset = reinterpret_cast<uintptr_t>(GetProcAddress(local, "AgentRun")) -
                           reinterpret_cast<uintptr_t>(local);
        AgentBlock block{};
        block.op = op;
        block.id = id;
        block.window = reinterpret_cast<uintptr_t>(window);
        ok = remote.put(0, &block, sizeof(block)) &&
             RunRemoteThread(process, reinterpret_cast<const void*>(base + offset), remote.at(0),
                             result) &&
             remote.get(0, &block, sizeof(block));
        if (ok) {
            reply.assign(block.reply, block.replyLength);
            ok = block.ok != 0;
        } else {
            reply = L"agent request failed";
        }
    } else {
        ok = false;
    }
    CloseHandle(process);
    return ok;
}

struct FindRequest {
    std::wstring className, title;
    DWORD process = 0, notProcess = 0;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter) {
    auto* request = reinterpret_cast<FindRequest*>(parameter);
    if (!request->className.empty() && ClassOf(window) != request->className) return TRUE;
    if (!request->title.empty() && TextOf(window) != request->title) return TRUE;
    DWORD process = ProcessOf(window);
    if (request->process && process != request->process) return TRUE;
    if (request->notProcess && process == request->notProcess) return TRUE;
    request->found.push_back(window);
    return TRUE;
}

// Arguments "-" or absent mean "any".
FindRequest MakeFind(const Fields& f, size_t first) {
    FindRequest request;
    auto field = [&](size_t i) { return i < f.size() && f[i] != L"-" ? f[i] : std::wstring(); };
    request.className = field(first);
    request.title = field(first + 1);
    request.process = static_cast<DWORD>(Number(field(first + 2)));
    request.notProcess = static_cast<DWORD>(Number(field(first + 3)));
    return request;
}

std::map<DWORD, HANDLE> watched;
UINT barrierCounter = 0;

// A posted message is handled after everything posted before it, so once the edit control
// reports the new limit, the messages posted earlier have been handled.
bool Barrier(HWND edit, DWORD timeoutMs) {
    UINT mark = 100000 + (++barrierCounter % 100000);
    if (!PostMessageW(edit, EM_LIMITTEXT, mark, 0)) return false;
    DWORD start = GetTickCount();
    for (;;) {
        LRESULT limit = 0;
        if (Send(edit, EM_GETLIMITTEXT, 0, 0, limit) && static_cast<UINT>(limit) == mark)
            return true;
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(5);
    }
}

// Microseconds since 1970 on the wall clock, which the scripts read with `date +%s%N` too.
long long UnixMicroseconds() {
    FILETIME now{};
    GetSystemTimePreciseAsFileTime(&now);
    const long long ticks = (static_cast<long long>(now.dwHighDateTime) << 32) |
                            static_cast<long long>(now.dwLowDateTime);
    return (ticks - 116444736000000000LL) / 10;
}

std::wstring CellOf(HWND list, int row, int column) {
    std::vector<std::wstring> lines;
    if (!ListRows(list, row, 1, column + 1, lines) || lines.empty()) return L"\x01unreadable";
    const std::wstring& line = lines.front();
    size_t start = 0;
    for (int i = 0; i < column; ++i) start = line.find(L'\t', start) + 1;
    return line.substr(start, line.find(L'\t', start) - start);
}

bool HeaderText(HWND list, int column, std::wstring& text) {
    std::vector<std::wstring> lines;
    if (!HeaderTexts(list, lines) || column < 0 || static_cast<size_t>(column) >= lines.size())
        return false;
    text = lines[static_cast<size_t>(column)];
    return true;
}

// One condition of "until"; `used` is the number of fields it takes, the keyword included.
bool Holds(const Fields& f, size_t at, size_t& used, bool& malformed) {
    const std::wstring& kind = f[at];
    auto field = [&](size_t i) { return at + i < f.size() ? f[at + i] : std::wstring(); };
    const size_t arity = kind == L"painted" ? 2 : kind == L"cell" ? 5 : 3;
    used = arity;
    if (at + arity > f.size()) {
        malformed = true;
        return false;
    }
    HWND window = Window(field(1));
    LRESULT result = 0;
    if (kind == L"text") return Printable(TextOf(window)) == field(2);
    if (kind == L"prefix") return Printable(TextOf(window)).rfind(field(2), 0) == 0;
    if (kind == L"count")
        return Send(window, LVM_GETITEMCOUNT, 0, 0, result) && result == Number(field(2));
    if (kind == L"cell")
        return CellOf(window, static_cast<int>(Number(field(2))),
                      static_cast<int>(Number(field(3)))) == field(4);
    if (kind == L"header") {
        std::wstring text;
        return HeaderText(window, static_cast<int>(Number(field(2))), text) && text == field(3);
    }
    // Nothing left to paint: the window answers, and has no update region.
    if (kind == L"painted")
        return Send(window, WM_NULL, 0, 0, result) && !GetUpdateRect(window, nullptr, FALSE);
    malformed = true;
    return false;
}

// Asks the windows again and again, until every condition holds in one round, and answers the
// wall-clock time of that round. The requests wait for a busy window, so a frozen window is
// measured as frozen.
void Until(const Fields& f) {
    const DWORD timeout = static_cast<DWORD>(Number(f[1]));
    const DWORD start = GetTickCount();
    long long rounds = 0;
    for (;;) {
        ++rounds;
        size_t at = 2;
        bool all = true, malformed = false;
        std::wstring failed;
        while (at < f.size()) {
            size_t used = 1;
            if (!Holds(f, at, used, malformed)) {
                all = false;
                failed = f[at];
                break;
            }
            at += used;
        }
        if (malformed) {
            Fail(L"malformed condition at field " + std::to_wstring(at));
            return;
        }
        if (all) {
            Reply(std::to_wstring(UnixMicroseconds()) + L" " + std::to_wstring(rounds));
            return;
        }
        if (GetTickCount() - start > timeout) {
            Fail(L"timeout, last unmet condition: " + failed);
            return;
        }
        Sleep(1);
    }
}

const wchar_t* const Usage =
    L"find CLASS [TITLE PID NOTPID] | findall CLASS [TITLE PID NOTPID] | "
    L"waitfind MS CLASS [TITLE PID NOTPID] | pid H | class H | rect H | client H | workarea | "
    L"screen | text H | settext H TEXT | enabled H | visible H | iconic H | foreground | "
    L"setforeground H | move H X Y W H | parent H | owner H | child H ID | children H | post H MSG "
    L"W L | "
    L"send H MSG W L | command H ID [EDIT] | barrier EDIT [MS] | count LIST | textwidth LIST TEXT "
    L"| "
    L"rows LIST FIRST N [COLS] | headers LIST | headerrect LIST COL | itemrect LIST ROW | "
    L"select LIST ROW (-1: none) | selected LIST | focus H | menu H ID | menutree H | font H | "
    L"refusetray H 1|0 | trayremove H ID | registered NAME | watch PID | "
    L"exitcode PID MS | now | redraw H | top LIST | until MS COND... (text H T | prefix H T | "
    L"count LIST N | "
    L"cell LIST ROW COL T | header LIST COL T | painted H) | quit";

// Runs one request; returns false for "quit".
bool Handle(const Fields& f) {
    if (f.empty() || f[0].empty()) {
        Fail(L"empty request");
        return true;
    }
    const std::wstring& verb = f[0];
    auto need = [&](size_t count) {
        if (f.size() > count) return true;
        Fail(L"too few arguments: " + std::wstring(Usage));
        return false;
    };
    HWND window = f.size() > 1 ? Window(f[1]) : nullptr;
    LRESULT result = 0;

    if (verb == L"quit") {
        Reply(L"bye");
        return false;
    } else if (verb == L"find" || verb == L"findall" || verb == L"waitfind") {
        bool waiting = verb == L"waitfind";
        if (!need(waiting ? 2 : 1)) return true;
        FindRequest request = MakeFind(f, waiting ? 2 : 1);
        DWORD start = GetTickCount();
        DWORD timeout = waiting ? static_cast<DWORD>(Number(f[1])) : 0;
        for (;;) {
            request.found.clear();
            EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&request));
            if (!request.found.empty() || GetTickCount() - start >= timeout) break;
            Sleep(50);
        }
        if (verb == L"findall") {
            std::vector<std::wstring> lines;
            for (HWND found : request.found)
                lines.push_back(Hex(found) + L" " + std::to_wstring(ProcessOf(found)));
            ReplyLines(lines);
        } else if (request.found.empty()) {
            Fail(L"no such window");
        } else {
            Reply(Hex(request.found.front()));
        }
    } else if (verb == L"pid") {
        if (need(1)) Reply(std::to_wstring(ProcessOf(window)));
    } else if (verb == L"class") {
        if (need(1)) Reply(ClassOf(window));
    } else if (verb == L"rect" || verb == L"client") {
        if (!need(1)) return true;
        RECT rect{};
        bool ok = verb == L"rect" ? GetWindowRect(window, &rect) : GetClientRect(window, &rect);
        if (ok && verb == L"client") MapWindowPoints(window, nullptr, (POINT*)&rect, 2);
        ok ? Reply(RectText(rect)) : Fail(L"no rectangle");
    } else if (verb == L"workarea") {
        RECT rect{};
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &rect, 0);
        Reply(RectText(rect));
    } else if (verb == L"screen") {
        Reply(std::to_wstring(GetSystemMetrics(SM_CXSCREEN)) + L" " +
              std::to_wstring(GetSystemMetrics(SM_CYSCREEN)));
    } else if (verb == L"text") {
        if (need(1)) Reply(Printable(TextOf(window)));
    } else if (verb == L"settext") {
        if (!need(2)) return true;
        Send(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(f[2].c_str()), result)
            ? Reply(std::to_wstring(result))
            : Fail(L"no answer");
    } else if (verb == L"enabled") {
        if (need(1)) Reply(IsWindowEnabled(window) ? L"1" : L"0");
    } else if (verb == L"visible") {
        if (need(1)) Reply(IsWindowVisible(window) ? L"1" : L"0");
    } else if (verb == L"iconic") {
        if (need(1)) Reply(IsIconic(window) ? L"1" : L"0");
    } else if (verb == L"foreground") {
        Reply(Hex(GetForegroundWindow()));
    } else if (verb == L"setforeground") {
        if (need(1)) Reply(SetForegroundWindow(window) ? L"1" : L"0");
    } else if (verb == L"move") {
        if (!need(5)) return true;
        SetWindowPos(window, nullptr, static_cast<int>(Number(f[2])),
                     static_cast<int>(Number(f[3])), static_cast<int>(Number(f[4])),
                     static_cast<int>(Number(f[5])), SWP_NOZORDER | SWP_NOACTIVATE)
            ? Reply(L"moved")
            : Fail(L"not moved");
    } else if (verb == L"parent") {
        if (need(1)) Reply(Hex(GetAncestor(window, GA_PARENT)));
    } else if (verb == L"owner") {
        if (need(1)) Reply(Hex(GetWindow(window, GW_OWNER)));
    } else if (verb == L"child") {
        if (!need(2)) return true;
        HWND child = GetDlgItem(window, static_cast<int>(Number(f[2])));
        child ? Reply(Hex(child)) : Fail(L"no such child");
    } else if (verb == L"children") {
        if (!need(1)) return true;
        std::vector<HWND> children;
        EnumChildWindows(
            window,
            [](HWND child, LPARAM list) {
                reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&children));
        std::vector<std::wstring> lines;
        for (HWND child : children)
            lines.push_back(Hex(child) + L"\t" + std::to_wstring(GetDlgCtrlID(child)) + L"\t" +
                            ClassOf(child) + L"\t" + (IsWindowVisible(child) ? L"1" : L"0") +
                            L"\t" + Printable(TextOf(child)));
        ReplyLines(lines);
    } else if (verb == L"post" || verb == L"send") {
        if (!need(4)) return true;
        UINT message = static_cast<UINT>(Number(f[2]));
        WPARAM wParam = static_cast<WPARAM>(Number(f[3]));
        LPARAM lParam = static_cast<LPARAM>(Number(f[4]));
        if (verb == L"post")
            PostMessageW(window, message, wParam, lParam) ? Reply(L"posted") : Fail(L"not posted");
        else
            Send(window, message, wParam, lParam, result) ? Reply(std::to_wstring(result))
                                                          : Fail(L"no answer");
    } else if (verb == L"command") {
        if (!need(2)) return true;
        WPARAM id = static_cast<WPARAM>(Number(f[2]));
        if (!PostMessageW(window, WM_COMMAND, id, 0)) {
            Fail(L"not posted");
        } else if (f.size() > 3 && !Barrier(Window(f[3]), 60000)) {
            Fail(L"command posted, but the window did not get to the barrier");
        } else {
            Reply(L"done");
        }
    } else if (verb == L"barrier") {
        if (!need(1)) return true;
        DWORD timeout = f.size() > 2 ? static_cast<DWORD>(Number(f[2])) : 60000;
        Barrier(window, timeout) ? Reply(L"done") : Fail(L"barrier not reached");
    } else if (verb == L"textwidth") {
        // The width the list needs for a text in its own font (LVM_GETSTRINGWIDTHW).
        if (!need(2)) return true;
        const std::wstring& text = f[2];
        RemoteBlock remote(window, (text.size() + 1) * sizeof(wchar_t));
        remote.valid() && remote.put(0, text.c_str(), (text.size() + 1) * sizeof(wchar_t)) &&
                Send(window, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(remote.at(0)), result)
            ? Reply(std::to_wstring(result))
            : Fail(L"no answer");
    } else if (verb == L"count") {
        if (!need(1)) return true;
        Send(window, LVM_GETITEMCOUNT, 0, 0, result) ? Reply(std::to_wstring(result))
                                                     : Fail(L"no answer");
    } else if (verb == L"rows") {
        if (!need(3)) return true;
        int first = static_cast<int>(Number(f[2]));
        int count = static_cast<int>(Number(f[3]));
        int columns = f.size() > 4 ? static_cast<int>(Number(f[4])) : 5;
        if (count < 0) {
            Send(window, LVM_GETITEMCOUNT, 0, 0, result);
            count = static_cast<int>(result) - first;
        }
        std::vector<std::wstring> lines;
        ListRows(window, first, count < 0 ? 0 : count, columns, lines)
            ? ReplyLines(lines)
            : Fail(L"cannot read the rows");
    } else if (verb == L"now") {
        Reply(std::to_wstring(UnixMicroseconds()));
    } else if (verb == L"until") {
        if (need(2)) Until(f);
    } else if (verb == L"redraw") {
        // Throws away what the window shows and has all of it painted anew.
        if (!need(1)) return true;
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN)
            ? Reply(L"done")
            : Fail(L"not redrawn");
    } else if (verb == L"top") {
        if (!need(1)) return true;
        LRESULT perPage = 0;
        Send(window, LVM_GETTOPINDEX, 0, 0, result) &&
                Send(window, LVM_GETCOUNTPERPAGE, 0, 0, perPage)
            ? Reply(std::to_wstring(result) + L" " + std::to_wstring(perPage))
            : Fail(L"no answer");
    } else if (verb == L"headers") {
        if (!need(1)) return true;
        std::vector<std::wstring> lines;
        HeaderTexts(window, lines) ? ReplyLines(lines) : Fail(L"cannot read the headers");
    } else if (verb == L"headerrect" || verb == L"itemrect") {
        if (!need(2)) return true;
        RECT rect{};
        ItemRect(window, static_cast<int>(Number(f[2])), verb == L"headerrect", rect)
            ? Reply(RectText(rect))
            : Fail(L"no rectangle");
    } else if (verb == L"select") {
        if (!need(2)) return true;
        SelectRow(window, static_cast<int>(Number(f[2]))) ? Reply(L"done") : Fail(L"cannot select");
    } else if (verb == L"selected") {
        if (!need(1)) return true;
        Send(window, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED, result)
            ? Reply(std::to_wstring(result))
            : Fail(L"no answer");
    } else if (verb == L"focus") {
        // The window with the keyboard focus in the thread of H.
        if (!need(1)) return true;
        GUITHREADINFO info{};
        info.cbSize = sizeof(info);
        GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)
            ? Reply(Hex(info.hwndFocus))
            : Fail(L"no thread information");
    } else if (verb == L"trayremove") {
        // Takes the tray icon ID of window H away, as a restarted shell would have lost it.
        if (!need(2)) return true;
        NOTIFYICONDATAW record{};
        record.cbSize = sizeof(record);
        record.hWnd = window;
        record.uID = static_cast<UINT>(Number(f[2]));
        Shell_NotifyIconW(NIM_DELETE, &record) ? Reply(L"removed") : Fail(L"not removed");
    } else if (verb == L"registered") {
        // The number of a registered window message, the same in every process.
        if (!need(1)) return true;
        const UINT message = RegisterWindowMessageW(f[1].c_str());
        message ? Reply(std::to_wstring(message)) : Fail(L"not registered");
    } else if (verb == L"menu" || verb == L"menutree" || verb == L"font" || verb == L"refusetray") {
        if (!need(verb == L"menu" || verb == L"refusetray" ? 2 : 1)) return true;
        AgentOp op = verb == L"menu"         ? AgentMenuItem
                     : verb == L"font"       ? AgentFont
                     : verb == L"refusetray" ? AgentRefuseTrayIcons
                                             : AgentMenuTree;
        uint32_t id =
            verb == L"menu" || verb == L"refusetray" ? static_cast<uint32_t>(Number(f[2])) : 0;
        std::wstring reply;
        bool ok = AskAgent(window, op, id, reply);
        if (!ok) {
            Fail(reply.empty() ? L"agent found nothing" : reply);
        } else if (op == AgentMenuTree) {
            std::vector<std::wstring> lines;
            for (size_t start = 0; start < reply.size();) {
                size_t end = reply.find(L'\n', start);
                lines.push_back(reply.substr(start, end - start));
                start = end == std::wstring::npos ? reply.size() : end + 1;
            }
            ReplyLines(lines);
        } else {
            Reply(WithoutLineBreaks(reply));
        }
    } else if (verb == L"watch") {
        if (!need(1)) return true;
        DWORD process = static_cast<DWORD>(Number(f[1]));
        HANDLE handle =
            OpenProcess(SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, process);
        if (handle) watched[process] = handle;
        handle ? Reply(L"watching") : Fail(L"cannot open process");
    } else if (verb == L"exitcode") {
        if (!need(2)) return true;
        auto found = watched.find(static_cast<DWORD>(Number(f[1])));
        if (found == watched.end()) {
            Fail(L"not watched");
            return true;
        }
        DWORD code = 0;
        if (WaitForSingleObject(found->second, static_cast<DWORD>(Number(f[2]))) != WAIT_OBJECT_0)
            Fail(L"still running");
        else if (GetExitCodeProcess(found->second, &code))
            Reply(std::to_wstring(code));
        else
            Fail(L"no exit code");
    } else {
        Fail(L"unknown request: " + std::wstring(Usage));
    }
    return true;
}

Fields Split(const std::wstring& line) {
    Fields fields;
    size_t start = 0;
    for (;;) {
        size_t tab = line.find(L'\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::wstring::npos) break;
        start = tab + 1;
    }
    return fields;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc > 1) {
        Fields fields(argv + 1, argv + argc);
        Handle(fields);
        return 0;
    }
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    std::string pending;
    char buffer[4096];
    DWORD got = 0;
    for (;;) {
        size_t newline;
        while ((newline = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, newline);
            pending.erase(0, newline + 1);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!Handle(Split(Wide(line)))) return 0;
        }
        if (!ReadFile(in, buffer, sizeof(buffer), &got, nullptr) || got == 0) return 0;
        pending.append(buffer, got);
    }
}
