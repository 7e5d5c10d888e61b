#include "ui/placement.h"

#include <gtest/gtest.h>

TEST(CenteredOnScreen, HalfTheSpareRoomOnEachSideTruncatedTowardZero) {
    struct Case {
        int screenWidth, screenHeight, width, height;
        Placement expected;
    } cases[] = {
        {1920, 1080, 890, 500, {515, 290, 890, 500}},
        {1366, 768, 890, 500, {238, 134, 890, 500}},
        {1920, 1080, 400, 250, {760, 415, 400, 250}},
        {1921, 1081, 420, 250, {750, 415, 420, 250}},
        // Larger than the screen: the window starts left of and above it.
        {800, 600, 890, 500, {-45, 50, 890, 500}},
        {801, 400, 890, 500, {-44, -50, 890, 500}},
        {640, 480, 890, 500, {-125, -10, 890, 500}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CenteredOnScreen(c.screenWidth, c.screenHeight, c.width, c.height), c.expected)
            << c.screenWidth << "x" << c.screenHeight << " " << c.width << "x" << c.height;
    }
}

TEST(CenteredInWorkArea, FitsTheWindowAndCentresIt) {
    struct Case {
        ScreenRect workArea;
        int width, height;
        Placement expected;
    } cases[] = {
        {{0, 0, 1920, 1040}, 890, 500, {515, 270, 890, 500}},
        // Too large both ways: the whole work area.
        {{0, 0, 1920, 1040}, 2000, 1200, {0, 0, 1920, 1040}},
        {{0, 0, 1920, 1040}, 1920, 1040, {0, 0, 1920, 1040}},
        // Too wide only.
        {{0, 0, 1920, 1040}, 3000, 500, {0, 270, 1920, 500}},
        // Too high only.
        {{0, 0, 1280, 720}, 890, 900, {195, 0, 890, 720}},
        // Task bar on the left or at the top moves the work area's origin.
        {{100, 0, 1380, 720}, 890, 500, {295, 110, 890, 500}},
        {{0, 48, 1920, 1080}, 890, 500, {515, 314, 890, 500}},
        {{100, 48, 1380, 720}, 4000, 4000, {100, 48, 1280, 672}},
        // Odd spare room: the half is rounded down.
        {{0, 0, 1921, 1041}, 890, 500, {515, 270, 890, 500}},
        {{-1920, -200, 0, 880}, 890, 500, {-1405, 90, 890, 500}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CenteredInWorkArea(c.workArea, c.width, c.height), c.expected)
            << c.workArea.left << "," << c.workArea.top << " " << c.width << "x" << c.height;
    }
}

TEST(BesideWindow, SameSizeThirtyPixelsRightAndDown) {
    struct Case {
        ScreenRect window;
        Placement expected;
    } cases[] = {
        {{100, 100, 990, 600}, {130, 130, 890, 500}},
        {{0, 0, 400, 300}, {30, 30, 400, 300}},
        {{-500, -20, 390, 480}, {-470, 10, 890, 500}},
        {{1800, 900, 2690, 1400}, {1830, 930, 890, 500}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BesideWindow(c.window), c.expected) << c.window.left << "," << c.window.top;
    }
}
