#include "app/base/ScreenLookup.h"
#include "platform/CapturePlatformFactory.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

using namespace vorlith;

TEST(ScreenLookupX11, DisplayNumbersAreTheCapturePlatformsDisplayIDs)
{
    const std::shared_ptr<CapturePlatform> platform = CapturePlatformFactory::make();
    const ScreenLookup lookup = ScreenLookup::system(platform);
    const std::vector<ScreenInfo> displays = platform->screens();
    const std::vector<DisplayScreen> screens = lookup.screens();
    ASSERT_EQ(screens.size(), displays.size());
    ASSERT_FALSE(screens.empty());
    for (std::size_t i = 0; i < screens.size(); ++i) {
        ASSERT_TRUE(screens[i].displayNumber.has_value());
        EXPECT_EQ(screens[i].displayNumber, displays[i].displayID);
        const std::optional<DisplayScreen> hit = lookup.screenAt(screens[i].frame.center());
        ASSERT_TRUE(hit);
        EXPECT_EQ(hit->displayNumber, displays[i].displayID);
    }
}
