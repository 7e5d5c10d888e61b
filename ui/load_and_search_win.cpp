#include "ui/load_and_search_win.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <exception>

#include "index/index_build.h"
#include "ui/main_window_win.h"
#include "ui/status_texts.h"
#include "ui/text_win.h"

std::shared_ptr<const PublishedTable> ShownTable;
ResultSet Results;
uint8_t SortAscending = 1;

namespace {

// Where the initial load stands. The load timer's first tick starts it; a later tick finds it
// under way or done and does nothing.
enum class LoadState { NotStarted, Loading, Loaded };
LoadState TheLoadState = LoadState::NotStarted;

DWORD WINAPI BuildThread(LPVOID) {
    try {
        ShownTable = Publish(BuildIndex(FindNtfsVolumes(), OpenWindowsVolume));
    } catch (const std::exception&) {
        // Nothing may escape this thread; as with any build failure, the count comes out smaller.
        std::fputs("error\n", stdout);
        std::fflush(stdout);
    }
    return 0;
}

void LoadAndShowEverything() {
    LARGE_INTEGER frequency{}, start{}, end{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    SetStatusText(LoadWaitText);

    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, BuildThread, ResultList, 0, &threadId);
    // A designed diagnostic line, like the build's; no console shows it in normal use.
    std::printf(" Now another thread has been created. ID = %d \n", static_cast<int>(threadId));
    std::fflush(stdout);
    // A designed pause before the wait; the wait alone would give the same result.
    Sleep(10);
    // Deliberately blocking: input typed meanwhile waits in the queue and is searched afterwards
    // against the complete table.
    if (thread != nullptr) {
        WaitForSingleObject(thread, INFINITE);
        CloseHandle(thread);
    }

    Results.Attach(ShownTable);
    Results.ShowAll();
    const std::size_t count = Results.Size();
    QueryPerformanceCounter(&end);
    const double seconds = frequency.QuadPart > 0
                               ? static_cast<double>(end.QuadPart - start.QuadPart) /
                                     static_cast<double>(frequency.QuadPart)
                               : 0.0;
    SetStatusText(LoadSummary(count, seconds));
    RefreshRows(count);
    // Keys typed during the load wait in the queue and would each search before the first paint.
    UpdateWindow(StatusBar);
    UpdateWindow(ResultList);
}

}  // namespace

void SetStatusText(const std::u16string& text) {
    SendMessageW(StatusBar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(Wide(text)));
}

void ShowResultCountInStatusBar() {
    SetStatusText(ResultCountText(Results.Size()));
}

void RefreshRows(std::size_t count) {
    // Without flags the new count repaints the whole list and keeps today's scrolling; the redraw
    // then names only the rows that can be on screen, because a redraw request costs per row
    // named, on screen or not, and a search may have millions.
    SendMessageW(ResultList, LVM_SETITEMCOUNT, count, 0);
    const LRESULT top = SendMessageW(ResultList, LVM_GETTOPINDEX, 0, 0);
    const LRESULT perPage = SendMessageW(ResultList, LVM_GETCOUNTPERPAGE, 0, 0);
    const LRESULT last = std::min<LRESULT>(top + perPage + 1, static_cast<LRESULT>(count));
    SendMessageW(ResultList, LVM_REDRAWITEMS, static_cast<WPARAM>(top), last);
}

void RunSearchFromQueryBox() {
    const int length = GetWindowTextLengthW(QueryEdit);
    std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
    const int copied =
        GetWindowTextW(QueryEdit, reinterpret_cast<wchar_t*>(text.data()), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    const std::size_t count = RunSearch(Results, std::u16string_view(text));
    RefreshRows(count);
    ShowResultCountInStatusBar();
}

void CALLBACK InitialLoad(HWND, UINT, UINT_PTR, DWORD) {
    if (TheLoadState != LoadState::NotStarted) return;
    TheLoadState = LoadState::Loading;
    try {
        LoadAndShowEverything();
    } catch (const std::exception&) {
        // The status texts could not be made; the rows are shown all the same.
        RefreshRows(Results.Size());
    }
    TheLoadState = LoadState::Loaded;
    KillTimer(ResultList, LoadTimerId);
}
