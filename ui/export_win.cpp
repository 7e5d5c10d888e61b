#include "ui/export_win.h"

#include <commdlg.h>

#include <cstdio>

#include "index/utf8.h"
#include "results/export.h"
#include "ui/load_and_search_win.h"
#include "ui/status_texts.h"
#include "ui/text_win.h"

namespace {

constexpr DWORD ExportPathCapacity = 256;

// Kept for the whole run: the next export's dialog starts from the last chosen file.
wchar_t ExportPath[ExportPathCapacity] = L"";

// The last choice writes UTF-8, which keeps every name; the others the ANSI code page.
constexpr wchar_t ExportFilters[] =
    L"CSV文件(*.csv)\0*.csv\0文本文件(*.txt)\0*.txt\0全部文件(*.*)\0*.*\0"
    L"CSV文件 UTF-8(*.csv)\0*.csv\0";
constexpr DWORD Utf8FilterIndex = 4;

}  // namespace

void ExportCommand(HWND mainWindow) {
    wchar_t fileTitle[ExportPathCapacity] = L"";
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = mainWindow;
    dialog.lpstrFilter = ExportFilters;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = ExportPath;
    dialog.nMaxFile = ExportPathCapacity;
    dialog.lpstrFileTitle = fileTitle;
    dialog.nMaxFileTitle = ExportPathCapacity;
    dialog.lpstrInitialDir = L"C:\\";
    dialog.lpstrDefExt = L"csv";
    dialog.Flags = OFN_EXPLORER | OFN_PATHMUSTEXIST;
    if (!GetSaveFileNameW(&dialog)) return;
    ExportResults(ExportPath, dialog.nFilterIndex == Utf8FilterIndex);
}

void ExportResults(const wchar_t* path, bool utf8) {
    // Opened by its UTF-16 name, so any path the dialog accepts can be written. Binary mode:
    // WriteExport ends its lines with CR LF itself.
    std::FILE* file = _wfopen(path, L"wb");
    const std::vector<std::u16string> headers = ListSort.HeaderTexts();
    const ExportOutcome outcome =
        utf8 ? ExportToFile(file, headers, Results, ToUtf8, Utf8ByteOrderMark)
             : ExportToFile(file, headers, Results, ToAnsi);
    if (outcome != ExportOutcome::Written) {
        MessageBoxW(nullptr, Wide(ExportFailureText(outcome)), L"错误", MB_ICONERROR);
    }
}
