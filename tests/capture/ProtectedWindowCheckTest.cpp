#include "app/capture/ProtectedWindowCheck.h"
#include "support/FakeCapturePlatform.h"

#include <gtest/gtest.h>

#include <limits>

using namespace vorlith;
using vorlith::test::fakeWindow;

namespace {

constexpr qint32 ownPID = 100;
constexpr qint32 otherPID = 200;
const Rect display(0, 0, 1920, 1080);

WindowListEntry protectedWindow(const Rect& bounds, quint32 number = 1)
{
    WindowListEntry w = fakeWindow(number, otherPID, bounds);
    w.sharingState = sharingNone;
    return w;
}

WindowListEntry cover(const Rect& bounds, quint32 number)
{
    return fakeWindow(number, otherPID + 1, bounds);
}

template<typename F>
WindowListEntry with(WindowListEntry w, F change)
{
    change(w);
    return w;
}

// Tiny readable covers along a diagonal, each splitting one piece of what is left of the
// protected window into four.
std::vector<WindowListEntry> splinters(int count)
{
    std::vector<WindowListEntry> out;
    for (int i = 0; i < count; ++i)
        out.push_back(cover(Rect(100 + i, 100 + i, 0.5, 0.5), 1000 + i));
    return out;
}

struct Case {
    const char* name;
    std::vector<WindowListEntry> windows; // front to back
    Rect display;
    bool expected;
};

std::vector<Case> cases()
{
    const Rect area(100, 100, 800, 600);
    std::vector<Case> out{
        {"empty list", {}, display, false},
        {"nothing protected", {cover(area, 10)}, display, false},
        {"protected and bare", {protectedWindow(area)}, display, true},
        {"protected behind an opaque readable cover",
         {cover(Rect(50, 50, 1000, 800), 10), protectedWindow(area)}, display, false},
        {"protected behind a cover of alpha 0.99",
         {with(cover(Rect(50, 50, 1000, 800), 10), [](auto& w) { w.alpha = 0.99; }), protectedWindow(area)}, display,
         true},
        {"protected in front of larger covers",
         {protectedWindow(area), cover(Rect(0, 0, 1920, 1080), 10), cover(Rect(0, 0, 1920, 1080), 11)}, display, true},
        {"protected behind two covers that tile it",
         {cover(Rect(100, 100, 400, 600), 10), cover(Rect(500, 100, 400, 600), 11), protectedWindow(area)}, display,
         false},
        {"protected only partly covered",
         {cover(Rect(100, 100, 400, 600), 10), protectedWindow(area)}, display, true},
        {"cover the platform cannot read", {cover(Rect(0, 0, 1920, 1080), 99), protectedWindow(area)}, display, true},
        {"cover with an unknown sharing state",
         {with(cover(Rect(0, 0, 1920, 1080), 10), [](auto& w) { w.sharingState = 3; }), protectedWindow(area)},
         display, true},
        {"cover of read-write sharing",
         {with(cover(Rect(0, 0, 1920, 1080), 10), [](auto& w) { w.sharingState = sharingReadWrite; }),
          protectedWindow(area)},
         display, false},
        {"cover without a number",
         {with(cover(Rect(0, 0, 1920, 1080), 10), [](auto& w) { w.number.reset(); }), protectedWindow(area)}, display,
         true},
        {"protected on another display", {protectedWindow(Rect(2000, 100, 800, 600))}, display, false},
        {"protected only touching this display's edge", {protectedWindow(Rect(1920, 0, 100, 100))}, display, false},
        {"protected window of this application",
         {with(protectedWindow(area), [](auto& w) { w.ownerPID = ownPID; })}, display, false},
        {"protected above the normal layer", {with(protectedWindow(area), [](auto& w) { w.layer = 25; })}, display,
         false},
        {"protected without a layer", {with(protectedWindow(area), [](auto& w) { w.layer.reset(); })}, display, false},
        {"protected without an owner", {with(protectedWindow(area), [](auto& w) { w.ownerPID.reset(); })}, display,
         false},
        {"protected with alpha 0", {with(protectedWindow(area), [](auto& w) { w.alpha = 0.0; })}, display, false},
        {"protected with alpha NaN",
         {with(protectedWindow(area), [](auto& w) { w.alpha = std::numeric_limits<double>::quiet_NaN(); })}, display,
         false},
        {"protected without bounds", {with(protectedWindow(area), [](auto& w) { w.bounds.reset(); })}, display, false},
        {"protected with infinite bounds",
         {with(protectedWindow(area),
               [](auto& w) { w.bounds = Rect(0, 0, std::numeric_limits<double>::infinity(), 10); })},
         display, false},
        {"protected and off screen", {with(protectedWindow(area), [](auto& w) { w.isOnscreen = false; })}, display,
         false},
        {"protected without the on-screen flag", {with(protectedWindow(area), [](auto& w) { w.isOnscreen.reset(); })},
         display, true},
        {"window without a sharing state", {with(protectedWindow(area), [](auto& w) { w.sharingState.reset(); })},
         display, false},
        {"zero-width display", {protectedWindow(area)}, Rect(0, 0, 0, 1080), false},
        {"NaN display", {protectedWindow(area)}, Rect(0, 0, std::numeric_limits<double>::quiet_NaN(), 1080), false},
    };

    // The subtraction gives up past 1,024 pieces even when a later cover would hide everything.
    std::vector<WindowListEntry> tooMany = splinters(400);
    tooMany.push_back(cover(Rect(0, 0, 1920, 1080), 10));
    tooMany.push_back(protectedWindow(area));
    out.push_back({"more than 1,024 pieces before the full cover", tooMany, display, true});
    std::vector<WindowListEntry> fewer = splinters(300);
    fewer.push_back(cover(Rect(0, 0, 1920, 1080), 10));
    fewer.push_back(protectedWindow(area));
    out.push_back({"901 pieces before the full cover", fewer, display, false});
    return out;
}

QSet<quint32> readableIDs()
{
    QSet<quint32> ids{1, 10, 11};
    for (quint32 i = 1000; i < 1400; ++i)
        ids.insert(i);
    return ids;
}

} // namespace

TEST(ProtectedWindowCheck, DecidesWhetherAProtectedWindowShows)
{
    for (const Case& c : cases()) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ProtectedWindowCheck::hasVisibleProtectedWindow(c.windows, c.display, ownPID, readableIDs()),
                  c.expected);
    }
}

TEST(ProtectedWindowCheck, OnlyCoversInFrontCount)
{
    // The same two windows in the other order: a cover behind the protected window hides nothing.
    const Rect area(100, 100, 800, 600);
    const std::vector<WindowListEntry> coverInFront{cover(Rect(0, 0, 1920, 1080), 10), protectedWindow(area)};
    const std::vector<WindowListEntry> coverBehind{protectedWindow(area), cover(Rect(0, 0, 1920, 1080), 10)};
    EXPECT_FALSE(ProtectedWindowCheck::hasVisibleProtectedWindow(coverInFront, display, ownPID, readableIDs()));
    EXPECT_TRUE(ProtectedWindowCheck::hasVisibleProtectedWindow(coverBehind, display, ownPID, readableIDs()));
}

TEST(ProtectedWindowCheck, OnlyTheVisiblePartOnThisDisplayMustBeCovered)
{
    // Half of the protected window lies on the next display; covering the half on this one is
    // enough.
    const std::vector<WindowListEntry> windows{cover(Rect(1500, 0, 420, 500), 10),
                                               protectedWindow(Rect(1600, 100, 600, 300))};
    EXPECT_FALSE(ProtectedWindowCheck::hasVisibleProtectedWindow(windows, display, ownPID, readableIDs()));
    EXPECT_TRUE(ProtectedWindowCheck::hasVisibleProtectedWindow(windows, Rect(1920, 0, 1920, 1080), ownPID,
                                                                readableIDs()));
}
