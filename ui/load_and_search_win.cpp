#include "ui/load_and_search_win.h"

#include <commctrl.h>

#include <exception>
#include <string>

#include "index/index_build.h"
#include "index/platform.h"
#include "ui/main_window_win.h"
#include "ui/status_texts.h"
#include "ui/text_win.h"

std::shared_ptr<const PublishedTable> ShownTable;
ResultSet Results;
SortState ListSort;

namespace {

// Where the initial load stands. The load timer's first tick starts it; a later tick finds it
// under way or done and does nothing.
enum class LoadState { NotStarted, Loading, Loaded };
LoadState TheLoadState = LoadState::NotStarted;

// A search that typed-ahead input made stale before it ran.
bool SearchPending = false;
// The text the status bar shows, so that an unchanged text is not sent and drawn again.
std::u16string StatusShown;
bool StatusSet = false;

DWORD WINAPI BuildThread(LPVOID) {
    try {
        ShownTable = Publish(BuildIndex(FindNtfsVolumes(), OpenWindowsVolume));
    } catch (const std::exception& failure) {
        // Nothing may escape this thread; as with any build failure, the count comes out smaller.
        ThePlatform().diagnostic(std::string("error: ") + failure.what());
    }
    return 0;
}

// A key press or a character waits in this thread's queue. Key releases are left out: one
// follows every key, and it changes no text.
bool TextInputWaiting() {
    MSG message;
    return PeekMessageW(&message, nullptr, WM_KEYDOWN, WM_KEYDOWN, PM_NOREMOVE | PM_NOYIELD) ||
           PeekMessageW(&message, nullptr, WM_CHAR, WM_CHAR, PM_NOREMOVE | PM_NOYIELD);
}

void LoadAndShowEverything() {
    LARGE_INTEGER frequency{}, start{}, end{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    SetStatusText(LoadWaitText);

    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, BuildThread, ResultList, 0, &threadId);
    // Designed diagnostic lines, like the build's; no console shows them in normal use. Without
    // the thread the table stays empty, and the summary below shows 0 entries.
    if (thread == nullptr) {
        ThePlatform().diagnostic("Error creating thread!");
    } else {
        ThePlatform().diagnostic(
            " Now another thread has been created. ID = " + std::to_string(threadId) + " ");
    }
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
    // A sort or a search with the same count would only redraw the same text.
    if (StatusSet && text == StatusShown) return;
    StatusShown = text;
    StatusSet = true;
    SendMessageW(StatusBar, SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(Wide(StatusShown)));
}

void ShowResultCountInStatusBar() {
    SetStatusText(ResultCountText(Results.Size()));
}

void RefreshRows(std::size_t count) {
    // Without flags the new count invalidates the whole list and keeps today's scrolling, so
    // every row on screen is drawn again; a redraw request on top of it would only cost a round
    // to the system per row named.
    SendMessageW(ResultList, LVM_SETITEMCOUNT, count, 0);
}

void RunSearchFromQueryBox() {
    SearchPending = false;
    const int length = GetWindowTextLengthW(QueryEdit);
    std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
    const int copied =
        GetWindowTextW(QueryEdit, reinterpret_cast<wchar_t*>(text.data()), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    const std::size_t count = RunSearch(Results, std::u16string_view(text));
    RefreshRows(count);
    ShowResultCountInStatusBar();
}

void SearchForChangedQuery() {
    // Keys typed faster than a search and its repaint would otherwise queue up behind one search
    // each; the list shows only the text that the last of them leaves.
    if (TextInputWaiting()) {
        SearchPending = true;
        return;
    }
    RunSearchFromQueryBox();
}

void RunPendingSearch() {
    if (SearchPending) RunSearchFromQueryBox();
}

bool PendingSearchIsDue() {
    return SearchPending && !TextInputWaiting();
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
