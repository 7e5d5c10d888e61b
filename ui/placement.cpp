#include "ui/placement.h"

#include <algorithm>

namespace {

constexpr int NewWindowOffset = 30;

}  // namespace

Placement CenteredOnScreen(int screenWidth, int screenHeight, int width, int height) {
    return {(screenWidth - width) / 2, (screenHeight - height) / 2, width, height};
}

Placement CenteredInWorkArea(const ScreenRect& workArea, int width, int height) {
    const int fittedWidth = std::min(width, workArea.Width());
    const int fittedHeight = std::min(height, workArea.Height());
    return {workArea.left + (workArea.Width() - fittedWidth) / 2,
            workArea.top + (workArea.Height() - fittedHeight) / 2, fittedWidth, fittedHeight};
}

Placement BesideWindow(const ScreenRect& window) {
    return {window.left + NewWindowOffset, window.top + NewWindowOffset, window.Width(),
            window.Height()};
}
