#include "app/base/ScreenLookup.h"

#include <gtest/gtest.h>

using namespace vorlith;

TEST(ScreenLookup, PointsBelongToTheScreenWhoseFrameHoldsThem)
{
    const ScreenLookup lookup([] {
        return std::vector<DisplayScreen>{
            {101u, Rect(0, 0, 1920, 1080), Rect(0, 0, 1920, 1050)},
            {std::nullopt, Rect(1920, 0, 1280, 1024), Rect(1920, 0, 1280, 1024)},
        };
    });
    struct Case {
        Point point;
        std::optional<quint32> number;
        bool found;
    };
    const Case cases[] = {
        {{0, 0}, 101u, true},
        {{1919.5, 1079}, 101u, true},
        {{1920, 10}, std::nullopt, true}, // the shared edge belongs to the screen it starts
        {{3199, 1023}, std::nullopt, true},
        {{3200, 10}, std::nullopt, false},
        {{100, -1}, std::nullopt, false},
    };
    for (const Case& c : cases) {
        const std::optional<DisplayScreen> screen = lookup.screenAt(c.point);
        EXPECT_EQ(screen.has_value(), c.found) << c.point.x << "," << c.point.y;
        if (screen) {
            EXPECT_EQ(screen->displayNumber, c.number) << c.point.x << "," << c.point.y;
        }
    }
    EXPECT_EQ(lookup.screenNumbered(101u)->frame, Rect(0, 0, 1920, 1080));
    EXPECT_EQ(lookup.screenNumbered(std::nullopt)->frame, Rect(1920, 0, 1280, 1024));
    EXPECT_FALSE(lookup.screenNumbered(7u));
}
