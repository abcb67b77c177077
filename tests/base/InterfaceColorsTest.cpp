#include "app/base/InterfaceColors.h"

#include <gtest/gtest.h>

#include <string_view>

using namespace vorlith;

namespace {

using Name = InterfaceColors::Name;

// The palette as designed, from its decimal components: a literal colour, or an alias of
// another entry (alpha and components then come from that entry).
struct Row {
    std::string_view name;
    int red, green, blue;
    double alpha;
    std::string_view aliasOf;
};

constexpr Row literal(std::string_view name, int r, int g, int b, double alpha = 1)
{
    return {name, r, g, b, alpha, {}};
}

constexpr Row alias(std::string_view name, std::string_view source)
{
    return {name, 0, 0, 0, 0, source};
}

const Row kDesigned[] = {
    literal("brand", 216, 235, 85),
    literal("brandPressed", 204, 223, 69),
    literal("brandDisabled", 232, 236, 220),
    literal("feedbackBody", 40, 49, 38),
    literal("captureMask", 24, 36, 28, 88 / 255.0),
    literal("captureOutline", 75, 92, 63),
    literal("captureHandle", 56, 76, 40),
    literal("endpointHaloBorder", 131, 145, 69),
    literal("endpointHotBorder", 69, 92, 33),
    literal("chosenInk", 52, 68, 24),
    literal("chosenBorder", 156, 169, 106, 87 / 255.0),
    literal("shortcut", 122, 130, 107),
    literal("dragHandle", 117, 129, 107, 0.33),
    literal("toastBody", 250, 251, 248, 0.98),
    literal("toastErrorBorder", 226, 194, 188),
    literal("toastOuter", 32, 39, 33, 0.10),
    literal("toastError", 167, 44, 44),
    literal("ink", 32, 39, 33),
    literal("secondary", 98, 103, 97),
    literal("propertyLabel", 93, 101, 87),
    literal("muted", 107, 117, 98),
    literal("focus", 83, 101, 29),
    literal("white", 255, 255, 255),
    literal("error", 255, 59, 48),
    alias("panelBody", "white"),
    literal("panelBand", 248, 248, 247),
    literal("settingsBody", 245, 246, 242),
    literal("settingsFooter", 240, 242, 235),
    literal("groupBorder", 220, 224, 213),
    literal("rowSeparator", 231, 233, 226),
    literal("floatingBody", 250, 251, 248, 0.97),
    literal("floatingBorder", 32, 39, 33, 0.15),
    literal("toolbarOuter", 38, 53, 32, 36 / 255.0),
    alias("toolbarInner", "white"),
    literal("propertySeparator", 219, 224, 211),
    literal("fieldBorder", 205, 211, 197),
    literal("stepperBody", 241, 243, 238),
    literal("selection", 238, 243, 201),
    literal("hover", 230, 233, 226),
    literal("swatchBorder", 210, 214, 203),
    literal("swatchSelection", 74, 84, 66),
    literal("swatchNone", 195, 73, 63),
    alias("sliderFill", "brand"),
    literal("sliderTrack", 226, 230, 222),
    alias("sliderThumb", "white"),
    literal("sliderEdge", 166, 179, 63),
    literal("sliderShadow", 32, 39, 33, 38 / 255.0),
    literal("pinBorder", 166, 181, 141),
    literal("pinHoverBorder", 132, 151, 101),
    literal("pinShadow", 23, 33, 26),
    literal("pinControlsBorder", 139, 148, 123, 53 / 255.0),
    literal("pinControlHover", 231, 236, 222),
    literal("pinScale", 24, 45, 41, 217 / 255.0),
    literal("loupeGridLight", 255, 255, 255, 56 / 255.0),
    literal("loupeGridDark", 32, 39, 33, 31 / 255.0),
    alias("loupeCross", "ink"),
    alias("loupeHalo", "white"),
    alias("loupeTarget", "brand"),
};

std::optional<Name> named(std::string_view name)
{
    const auto entries = InterfaceColors::entries();
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].name == name)
            return Name(i);
    }
    return std::nullopt;
}

} // namespace

TEST(InterfaceColors, EveryEntryHasItsDesignedValueAliasAndExactAlpha)
{
    const auto entries = InterfaceColors::entries();
    ASSERT_EQ(entries.size(), std::size(kDesigned));
    for (size_t i = 0; i < std::size(kDesigned); ++i) {
        const Row& row = kDesigned[i];
        SCOPED_TRACE(std::string(row.name));
        EXPECT_EQ(entries[i].name, row.name); // declaration order
        const Name name = Name(i);
        const QColor& color = InterfaceColors::color(name);
        if (!row.aliasOf.empty()) {
            const std::optional<Name> source = named(row.aliasOf);
            ASSERT_TRUE(source.has_value());
            EXPECT_EQ(entries[i].aliasOf, source);
            EXPECT_EQ(&color, &InterfaceColors::color(*source)); // the very same object
            EXPECT_EQ(InterfaceColors::alpha(name), InterfaceColors::alpha(*source));
            continue;
        }
        EXPECT_EQ(entries[i].aliasOf, std::nullopt);
        EXPECT_EQ(color.spec(), QColor::Rgb);
        EXPECT_EQ(color.red(), row.red);
        EXPECT_EQ(color.green(), row.green);
        EXPECT_EQ(color.blue(), row.blue);
        // Exact as designed: 0.33 is 0.33, and 88/255 is not rounded to 0.35.
        EXPECT_EQ(InterfaceColors::alpha(name), row.alpha);
        // The colour object holds the nearest 16-bit step: n × 257 for n/255, exact.
        EXPECT_EQ(color.rgba64().alpha(), qRound(row.alpha * 65535));
        EXPECT_EQ(color.alpha(), qRound(row.alpha * 255));
    }
}

TEST(InterfaceColors, AccessorsShareOneObjectPerColour)
{
    EXPECT_EQ(&InterfaceColors::brand(), &InterfaceColors::brand());
    EXPECT_EQ(&InterfaceColors::sliderFill(), &InterfaceColors::brand());
    EXPECT_EQ(&InterfaceColors::loupeTarget(), &InterfaceColors::brand());
    EXPECT_EQ(&InterfaceColors::loupeCross(), &InterfaceColors::ink());
    EXPECT_EQ(&InterfaceColors::panelBody(), &InterfaceColors::white());
    // Equal values under different roles are still different entries.
    EXPECT_NE(&InterfaceColors::toastBody(), &InterfaceColors::floatingBody());
    EXPECT_EQ(InterfaceColors::captureMask(), QColor(24, 36, 28, 88));
    EXPECT_EQ(InterfaceColors::error(), QColor(255, 59, 48));
}
