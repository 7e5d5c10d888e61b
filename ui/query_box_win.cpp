#include "ui/query_box_win.h"

#include <commctrl.h>

#include "ui/load_and_search_win.h"
#include "ui/main_window_win.h"

namespace {

constexpr UINT_PTR QueryKeysSubclassId = 1;

// The focus goes to the list; with no row selected yet, its first row is selected and focused,
// so that the arrows go on from there.
void MoveFocusToList() {
    // The first row must be that of the text in the box, not of a search the typing put off.
    RunPendingSearch();
    const LRESULT count = SendMessageW(ResultList, LVM_GETITEMCOUNT, 0, 0);
    const LRESULT selected =
        SendMessageW(ResultList, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
    if (count > 0 && selected < 0) {
        LVITEMW item{};
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(ResultList, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
        SendMessageW(ResultList, LVM_ENSUREVISIBLE, 0, FALSE);
    }
    SetFocus(ResultList);
}

LRESULT CALLBACK WatchQueryKeys(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                DWORD_PTR) {
    // A single-line box does nothing with these two keys.
    if (message == WM_KEYDOWN && (wParam == VK_DOWN || wParam == VK_NEXT)) {
        MoveFocusToList();
        return 0;
    }
    return DefSubclassProc(edit, message, wParam, lParam);
}

}  // namespace

void WatchQueryBoxKeys() {
    SetWindowSubclass(QueryEdit, WatchQueryKeys, QueryKeysSubclassId, 0);
}
