// Every size of the windows in pixels of a 96-DPI screen, and their scaling to the DPI a window
// is shown at. Portable so that the arithmetic is tested natively.
#pragma once

#include <array>

constexpr int BaseDpi = 96;

// `pixels` at 96 DPI scaled to `dpi`, rounded to the nearest pixel (halves away from zero), as the
// system scales. A DPI of 0 or less counts as 96.
int ScaleToDpi(int pixels, int dpi);

// The icon frames each icon resource holds, smallest first.
constexpr std::array<int, 4> IconFrameSizes{16, 20, 32, 48};
// The frame nearest to `pixels`; of two equally near, the larger one, which shrinks cleanly.
int NearestIconFrame(int pixels);

// The main window at one DPI.
struct MainLayout {
    int windowWidth, windowHeight;
    // The query box as created, and its height after every layout.
    int queryCreateWidth, queryCreateHeight, queryHeight;
    int queryFontHeight;
    // The list as created (its top and size); after a layout it fills the client height less the
    // query box and `statusReserve`, the bottom part left to the status bar.
    int listCreateTop, listCreateWidth, listCreateHeight;
    int statusReserve;
    std::array<int, 5> columnWidths;
    int iconSize;
    // The smallest client area that still shows the query box, the header, one row with the
    // horizontal scroll bar below it, and the status bar.
    int minClientWidth, minClientHeight;
};

MainLayout MainLayoutAt(int dpi);
