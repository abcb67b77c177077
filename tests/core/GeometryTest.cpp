#include "core/Geometry.h"
#include "core/Uuid.h"

#include <gtest/gtest.h>

#include <limits>

using namespace vorlith;

TEST(Rect, StandardizesExtentsAndUsesHalfOpenContainment)
{
    const Rect r(10, 20, -4, -8);
    EXPECT_EQ(r.standardized(), Rect(6, 12, 4, 8));
    EXPECT_EQ(r.width(), 4);
    EXPECT_EQ(r.maxY(), 20);
    EXPECT_TRUE(r.contains({6, 12}));
    EXPECT_FALSE(r.contains({10, 15})); // max edge excluded
    EXPECT_FALSE(r.contains({8, 20}));
    EXPECT_NE(Rect(0, 0, 1, 1), Rect(0, 0, 1, 1 + 1e-12)); // exact equality
}

TEST(Rect, IntersectionIsAbsentWithoutArea)
{
    EXPECT_EQ(Rect(0, 0, 10, 10).intersected(Rect(5, 5, 10, 10)), Rect(5, 5, 5, 5));
    EXPECT_FALSE(Rect(0, 0, 10, 10).intersected(Rect(10, 0, 5, 5)).has_value());
    EXPECT_FALSE(Rect(0, 0, 10, 10).intersected(Rect(2, 2, 0, 5)).has_value());
}

TEST(Geometry, ClampToIntSaturates)
{
    EXPECT_EQ(clampToInt(1e300), std::numeric_limits<int>::max());
    EXPECT_EQ(clampToInt(-1e300), std::numeric_limits<int>::min());
    EXPECT_EQ(clampToInt(std::numeric_limits<double>::quiet_NaN()), 0);
    EXPECT_EQ(clampToInt(41.9), 41);
}

TEST(Uuid, ParsesOnlyTheHyphenatedFormAndWritesUpperCase)
{
    const auto id = parseUuid(std::string_view("6f9619ff-8b86-d011-b42d-00cf4fc964ff"));
    ASSERT_TRUE(id.has_value());
    EXPECT_EQ(uuidString(*id), QStringLiteral("6F9619FF-8B86-D011-B42D-00CF4FC964FF"));
    EXPECT_EQ(parseUuid(uuidString(*id)), id);

    const char* bad[] = {
        "{6f9619ff-8b86-d011-b42d-00cf4fc964ff}", // braces
        "6f9619ff8b86d011b42d00cf4fc964ff",       // no hyphens
        "6f9619ff-8b86-d011-b42d-00cf4fc964f",    // short
        "6f9619ff-8b86-d011-b42d-00cf4fc964fg",   // not hex
        "6f9619ff-8b86-d011b-42d-00cf4fc964ff",   // hyphen misplaced
        "",
    };
    for (const char* text : bad)
        EXPECT_FALSE(parseUuid(std::string_view(text)).has_value()) << text;
}
