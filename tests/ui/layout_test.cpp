#include "ui/layout.h"

#include <gtest/gtest.h>

#include <array>

namespace {

// The sizes of the 96-DPI design, written out, as the window must keep them.
TEST(MainLayout, At96DpiEverySizeIsTheDesignedOne) {
    const MainLayout layout = MainLayoutAt(96);
    EXPECT_EQ(layout.windowWidth, 890);
    EXPECT_EQ(layout.windowHeight, 500);
    EXPECT_EQ(layout.queryCreateWidth, 874);
    EXPECT_EQ(layout.queryCreateHeight, 22);
    EXPECT_EQ(layout.queryHeight, 30);
    EXPECT_EQ(layout.queryFontHeight, 26);
    EXPECT_EQ(layout.listCreateTop, 20);
    EXPECT_EQ(layout.listCreateWidth, 874);
    EXPECT_EQ(layout.listCreateHeight, 394);
    EXPECT_EQ(layout.statusReserve, 27);
    EXPECT_EQ(layout.columnWidths, (std::array<int, 5>{240, 280, 90, 120, 120}));
    EXPECT_EQ(layout.iconSize, 20);
}

// Hand-computed sizes at the usual scale factors: 125 %, 150 %, 200 %; halves round up.
TEST(MainLayout, ScalesWithTheDpi) {
    struct Case {
        int dpi;
        int width, height, queryHeight, fontHeight, statusReserve;
        std::array<int, 5> columns;
        int icon;
    } cases[] = {
        {120, 1113, 625, 38, 33, 34, {300, 350, 113, 150, 150}, 20},
        {144, 1335, 750, 45, 39, 41, {360, 420, 135, 180, 180}, 32},
        {192, 1780, 1000, 60, 52, 54, {480, 560, 180, 240, 240}, 48},
    };
    for (const Case& c : cases) {
        const MainLayout layout = MainLayoutAt(c.dpi);
        EXPECT_EQ(layout.windowWidth, c.width) << c.dpi;
        EXPECT_EQ(layout.windowHeight, c.height) << c.dpi;
        EXPECT_EQ(layout.queryHeight, c.queryHeight) << c.dpi;
        EXPECT_EQ(layout.queryFontHeight, c.fontHeight) << c.dpi;
        EXPECT_EQ(layout.statusReserve, c.statusReserve) << c.dpi;
        EXPECT_EQ(layout.columnWidths, c.columns) << c.dpi;
        EXPECT_EQ(layout.iconSize, c.icon) << c.dpi;
    }
}

// The minimum keeps room for the query box, a list of header, one row and scroll bar, and the
// status bar's reserve, at every DPI.
TEST(MainLayout, MinimumHoldsEveryPart) {
    for (int dpi : {96, 120, 144, 168, 192, 288}) {
        const MainLayout layout = MainLayoutAt(dpi);
        EXPECT_GE(layout.minClientHeight,
                  layout.queryHeight + layout.statusReserve + ScaleToDpi(60, dpi))
            << dpi;
        EXPECT_LE(layout.minClientHeight, layout.windowHeight) << dpi;
        EXPECT_GT(layout.minClientWidth, 0) << dpi;
        EXPECT_LE(layout.minClientWidth, layout.windowWidth) << dpi;
    }
}

TEST(ScaleToDpi, RoundsToTheNearestPixel) {
    struct Case {
        int pixels, dpi, expected;
    } cases[] = {
        {27, 144, 41},                                               // 40.5
        {27, 120, 34},                                               // 33.75
        {90, 120, 113},                                              // 112.5
        {1, 96, 1},     {0, 144, 0}, {-27, 144, -41}, {30, 72, 23},  // 22.5, below 96 DPI too
        {100, 0, 100},                                               // no DPI known: as designed
        {100, -5, 100},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ScaleToDpi(c.pixels, c.dpi), c.expected) << c.pixels << " at " << c.dpi;
    }
}

TEST(NearestIconFrame, PicksTheClosestHeldFrame) {
    struct Case {
        int pixels, frame;
    } cases[] = {
        {10, 16}, {16, 16},  {18, 20},
        {20, 20}, {25, 20},  {26, 32},  // as near to 20 as to 32: the larger
        {27, 32}, {30, 32},  {40, 48},  // as near to 32 as to 48: the larger
        {48, 48}, {100, 48},
    };
    for (const Case& c : cases) EXPECT_EQ(NearestIconFrame(c.pixels), c.frame) << c.pixels;
}

}  // namespace
