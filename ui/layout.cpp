#include "ui/layout.h"

#include <cstdlib>

namespace {

constexpr int ListHeaderRowAndScrollBar = 70;

}  // namespace

int ScaleToDpi(int pixels, int dpi) {
    if (dpi <= 0) dpi = BaseDpi;
    const long long product = static_cast<long long>(pixels) * dpi;
    const long long rounded = (std::llabs(product) * 2 + BaseDpi) / (2 * BaseDpi);
    return static_cast<int>(product < 0 ? -rounded : rounded);
}

int NearestIconFrame(int pixels) {
    int best = IconFrameSizes.front();
    for (int frame : IconFrameSizes) {
        if (std::abs(frame - pixels) <= std::abs(best - pixels)) best = frame;
    }
    return best;
}

MainLayout MainLayoutAt(int dpi) {
    const auto scale = [dpi](int pixels) { return ScaleToDpi(pixels, dpi); };
    MainLayout layout{};
    layout.windowWidth = scale(890);
    layout.windowHeight = scale(500);
    layout.queryCreateWidth = scale(874);
    layout.queryCreateHeight = scale(22);
    layout.queryHeight = scale(30);
    layout.queryFontHeight = scale(26);
    layout.listCreateTop = scale(20);
    layout.listCreateWidth = scale(874);
    layout.listCreateHeight = scale(394);
    layout.statusReserve = scale(27);
    layout.columnWidths = {scale(240), scale(280), scale(90), scale(120), scale(120)};
    layout.iconSize = NearestIconFrame(scale(20));
    layout.minClientWidth = scale(300);
    layout.minClientHeight =
        layout.queryHeight + scale(ListHeaderRowAndScrollBar) + layout.statusReserve;
    return layout;
}
