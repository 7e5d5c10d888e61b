// Window placement arithmetic: the main and secondary windows centred on the screen, "窗口居中"
// fitting the window into the work area, and the offset of a further search window.
#pragma once

struct ScreenRect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
};

struct Placement {
    int x = 0, y = 0, width = 0, height = 0;
    bool operator==(const Placement&) const = default;
};

// A window of the given size centred on a screen of the given size; the position can be negative
// when the window is larger than the screen.
Placement CenteredOnScreen(int screenWidth, int screenHeight, int width, int height);

// The window shrunk to at most the work area and centred in it.
Placement CenteredInWorkArea(const ScreenRect& workArea, int width, int height);

// Where a further search window goes: the size of `window`, 30 pixels right and down.
Placement BesideWindow(const ScreenRect& window);
