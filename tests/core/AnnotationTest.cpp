#include "core/Annotation.h"

#include "core/Uuid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace vorlith;

namespace {

using Kind = Annotation::Kind;
using H = SelectionHandle;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Deterministic stand-in for the renderer's text measure: half an em per character.
Rect measure(const QString& text, Point origin, double fontSize)
{
    return Rect(origin, Size{0.5 * fontSize * double(text.size()), 1.25 * fontSize});
}

const AnnotationStyle plain{RGBA::Red, 0, 1, 20, std::nullopt, 12};
const CaptureGeometry image{{1440, 900}, {2880, 1800}};

Annotation mark(Kind kind, std::vector<Point> points, double width = 0, QString text = {})
{
    AnnotationStyle style = plain;
    style.width = width;
    return {QUuid::createUuid(), kind, std::move(points), style, std::move(text), 1};
}

Annotation textMark(double fontSize)
{
    Annotation m = mark(Kind::text, {}, 0, QStringLiteral("abcd"));
    m.style.fontSize = fontSize;
    const Rect box = measure(m.text, {100, 100}, fontSize);
    m.points = {box.origin, {box.maxX(), box.maxY()}};
    return m;
}

} // namespace

TEST(Annotation, KindsAndColoursAreTheDocumentedOnes)
{
    const char* names[] = {"roundedRectangle", "ellipse", "line", "arrow", "highlight",
                           "pen",              "text",    "mosaic", "number"};
    ASSERT_EQ(Annotation::allKinds.size(), std::size(names));
    for (size_t i = 0; i < std::size(names); ++i) {
        EXPECT_EQ(int(Annotation::allKinds[i]), int(i));
        EXPECT_EQ(Annotation::kindName(Annotation::allKinds[i]), names[i]);
        EXPECT_EQ(Annotation::kindFromName(names[i]), Annotation::allKinds[i]);
    }
    EXPECT_FALSE(Annotation::kindFromName("rectangle"));
    EXPECT_FALSE(Annotation::kindFromName("Ellipse"));

    EXPECT_EQ(RGBA::Red, (RGBA{1, 0.23137254901960785, 0.18823529411764706, 1}));
    EXPECT_EQ(RGBA::Yellow, (RGBA{1, 0.8, 0, 1}));
}

TEST(Annotation, EqualityCoversEveryField)
{
    const Annotation a = mark(Kind::pen, {{1, 2}, {3, 4}}, 2, QStringLiteral("x"));
    Annotation b = a;
    EXPECT_EQ(a, b);
    b.id = QUuid::createUuid();
    EXPECT_NE(a, b);
    b = a;
    b.points.push_back({5, 6});
    EXPECT_NE(a, b);
    b = a;
    b.style.background = RGBA::Yellow;
    EXPECT_NE(a, b);
    b = a;
    b.number = 2;
    EXPECT_NE(a, b);
}

TEST(Annotation, BoundsMoveAndNumbered)
{
    EXPECT_EQ(mark(Kind::pen, {}).bounds(), Rect(0, 0, 0, 0));
    EXPECT_EQ(mark(Kind::pen, {{7, -3}}).bounds(), Rect(7, -3, 0, 0));
    EXPECT_EQ(mark(Kind::line, {{10, 40}, {-5, 20}, {30, 25}}).bounds(), Rect(-5, 20, 35, 20));

    const Annotation a = mark(Kind::arrow, {{1, 2}, {3, 4}});
    const Annotation moved = a.moved({10, -2});
    EXPECT_EQ(moved.points, (std::vector<Point>{{11, 0}, {13, 2}}));
    EXPECT_EQ(moved.id, a.id);
    EXPECT_EQ(moved.style, a.style);

    const Annotation n = Annotation::numbered(7, {50, 60}, 30, plain);
    EXPECT_EQ(n.kind, Kind::number);
    EXPECT_EQ(n.points, (std::vector<Point>{{35, 45}, {65, 75}}));
    EXPECT_EQ(n.number, 7);
    EXPECT_EQ(n.text, QString());
    EXPECT_EQ(n.style, plain);
    EXPECT_FALSE(n.id.isNull());
    EXPECT_NE(n.id, Annotation::numbered(7, {50, 60}, 30, plain).id);
}

TEST(Annotation, ResizedToABoxStretchesShapesAndRefitsTextAndMarkers)
{
    struct Case {
        const char* name;
        Annotation mark;
        Rect box;
        std::vector<Point> points;
        double fontSize;
    };
    const Annotation marker = Annotation::numbered(1, {50, 50}, 40, plain);
    const Case cases[] = {
        {"shape", mark(Kind::ellipse, {{10, 10}, {30, 50}}), Rect(100, 200, 40, 20), {{100, 200}, {140, 220}}, 20},
        {"one x keeps sx 1", mark(Kind::pen, {{5, 0}, {5, 10}, {5, 20}}), Rect(50, 50, 30, 40),
         {{50, 50}, {50, 70}, {50, 90}}, 20},
        {"text shrunk", textMark(20), Rect(0, 0, 0.04, 0.025), {{0, 0}, {24, 15}}, 12},
        {"text grown", textMark(20), Rect(0, 0, 400, 250), {{0, 0}, {144, 90}}, 72},
        {"scale floor", textMark(2000), Rect(0, 0, 0.04, 0.025), {{0, 0}, {40, 25}}, 20},
        {"text scaled", textMark(20), Rect(10, 10, 60, 50), {{10, 10}, {70, 47.5}}, 30},
        {"marker floor", marker, Rect(5, 7, 10, 40), {{5, 7}, {21, 23}}, 20},
        {"marker ceiling", marker, Rect(5, 7, 200, 150), {{5, 7}, {101, 103}}, 20},
        {"marker rounds half up", marker, Rect(5, 7, 40.5, 50), {{5, 7}, {46, 48}}, 20},
        {"negative box", marker, Rect(45.5, 57, -40.5, -50), {{5, 7}, {46, 48}}, 20},
    };
    for (const Case& c : cases) {
        const Annotation r = c.mark.resized(c.box, measure);
        EXPECT_EQ(r.points, c.points) << c.name;
        EXPECT_EQ(r.style.fontSize, c.fontSize) << c.name;
        EXPECT_EQ(r.id, c.mark.id) << c.name;
    }
}

TEST(Annotation, ResizedByHandleScalesTextAndMarkersAboutTheOppositeAnchor)
{
    struct Case {
        const char* name;
        Annotation mark;
        SelectionHandle handle;
        Point to;
        std::vector<Point> points;
        double fontSize;
    };
    const Annotation marker = Annotation::numbered(3, {120, 120}, 40, plain); // (100,100)-(140,140)
    const Annotation text = textMark(20);                                     // (100,100)-(140,125)
    const Case cases[] = {
        {"marker grows", marker, H::bottomRight, {160, 160}, {{100, 100}, {160, 160}}, 20},
        {"marker past anchor", marker, H::bottomRight, {90, 90}, {{100, 100}, {116, 116}}, 20},
        {"marker from top left", marker, H::topLeft, {120, 120}, {{120, 120}, {140, 140}}, 20},
        {"marker from right", marker, H::right, {170, 0}, {{100, 85}, {170, 155}}, 20},
        {"text from top", text, H::top, {500, 75}, {{80, 75}, {160, 125}}, 40},
        {"text ceiling", text, H::bottom, {0, 900}, {{48, 100}, {192, 190}}, 72},
        {"text from left", text, H::left, {120, 0}, {{116, 105}, {140, 120}}, 12},
    };
    for (const Case& c : cases) {
        const Annotation r = c.mark.resized(c.handle, c.to, image, measure);
        EXPECT_EQ(r.points, c.points) << c.name;
        EXPECT_EQ(r.style.fontSize, c.fontSize) << c.name;
    }

    // Other kinds take the box of the handle drag, flipped and clamped like a selection.
    const Annotation box = mark(Kind::highlight, {{100, 100}, {150, 150}});
    EXPECT_EQ(box.resized(H::bottomRight, {80, 80}, image, measure).bounds(), Rect(80, 80, 20, 20));
    EXPECT_EQ(box.resized(H::right, {-30, 500}, image, measure).bounds(), Rect(0, 100, 100, 50));

    const Annotation flat = mark(Kind::number, {{5, 5}, {5, 5}});
    EXPECT_EQ(flat.resized(H::bottomRight, {50, 50}, image, measure), flat);
}

TEST(Annotation, HitTest)
{
    struct Case {
        const char* name;
        Annotation mark;
        Point at;
        double tolerance;
        bool hit;
    };
    const double diag23 = 23 / std::sqrt(2.0);
    const double diag25 = 25 / std::sqrt(2.0);
    Annotation marker = Annotation::numbered(1, {100, 100}, 40, plain);
    marker.style.width = 2;
    Annotation thickMarker = marker;
    thickMarker.style.width = 10;
    const Annotation stroke = mark(Kind::pen, {{50, 10}, {50, 90}});
    const Annotation thick = mark(Kind::line, {{0, 0}, {100, 0}}, 10);
    const Annotation corner = mark(Kind::arrow, {{0, 0}, {100, 0}, {100, 100}});
    const Annotation dot = mark(Kind::pen, {{10, 10}});
    const Annotation still = mark(Kind::pen, {{10, 10}, {10, 10}});
    const Annotation rect = mark(Kind::roundedRectangle, {{0, 0}, {100, 50}});
    const Annotation wide = mark(Kind::mosaic, {{0, 0}, {100, 50}}, 4);
    const Case cases[] = {
        {"marker within radius", marker, {100 + diag23, 100 + diag23}, 4, true},
        {"marker beyond radius", marker, {100 + diag25, 100 + diag25}, 4, false},
        {"marker on max edge", marker, {124, 100}, 4, false},
        {"marker on min edge", marker, {76, 100}, 4, true},
        {"marker ignores width", thickMarker, {100 + diag23, 100 + diag23}, 1, false},
        {"zero-width stroke", stroke, {50, 50}, 0, false},
        {"stroke within tolerance", stroke, {52, 50}, 3, true},
        {"stroke outside box", stroke, {54, 50}, 3, false},
        {"stroke past its end", stroke, {50, 95}, 3, false},
        {"width widens", thick, {50, -5}, 2, true},
        {"width box max edge", thick, {50, 5}, 2, false},
        {"inside box, off polyline", corner, {50, 50}, 3, false},
        {"second segment", corner, {98, 50}, 3, true},
        {"single point near", dot, {12, 12}, 3, true},
        {"single point far", dot, {12.5, 12.5}, 3, false},
        {"zero-length segment", still, {11, 11}, 2, true},
        {"box inside", rect, {99.9, 49.9}, 0, true},
        {"box origin", rect, {0, 0}, 0, true},
        {"box max edge", rect, {100, 10}, 0, false},
        {"box widened by width", wide, {101.9, 10}, 0, true},
        {"no points", mark(Kind::pen, {}), {0, 0}, 100, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.mark.hitTest(c.at, c.tolerance), c.hit) << c.name;
}

TEST(Annotation, EstimatedBytesCountUtf8)
{
    EXPECT_EQ(mark(Kind::text, {{0, 0}, {1, 1}}, 0, QStringLiteral("ab")).estimatedBytes(), 192 + 32 + 2);
    EXPECT_EQ(mark(Kind::pen, {}).estimatedBytes(), 192);
    const QString texts[] = {QStringLiteral("截图 é"), QString::fromUtf8("\xF0\x9F\x98\x80 x\n"), QString()};
    for (const QString& text : texts)
        EXPECT_EQ(mark(Kind::text, {{0, 0}}, 0, text).estimatedBytes(), 192 + 16 + text.toUtf8().size());
}

// JSON ----------------------------------------------------------------------------------------

namespace {

const char* const canonicalMarks[] = {
    R"({"id":"6F9619FF-8B86-D011-B42D-00CF4FC964FF","kind":"roundedRectangle","points":[[10.5,20.0],[110.25,70.0]],"style":{"color":{"red":1.0,"green":0.23137254901960785,"blue":0.18823529411764706,"alpha":1.0},"width":4.0,"opacity":1.0,"fontSize":28.0,"mosaicSize":12.0},"text":"","number":1})",
    R"({"id":"00000000-0000-0000-0000-000000000001","kind":"ellipse","points":[[0.1,0.2],[0.30000000000000004,1e-300]],"style":{"color":{"red":0.0,"green":0.5,"blue":1.0,"alpha":0.25},"width":2.5,"opacity":0.75,"fontSize":12.0,"mosaicSize":8.0},"text":"","number":1})",
    R"({"id":"00000000-0000-0000-0000-000000000002","kind":"line","points":[[-5.0,3.0],[400.0,300.0]],"style":{"color":{"red":1.0,"green":0.23137254901960785,"blue":0.18823529411764706,"alpha":1.0},"width":3.0,"opacity":1.0,"fontSize":28.0,"mosaicSize":12.0},"text":"","number":1})",
    R"({"id":"00000000-0000-0000-0000-000000000003","kind":"arrow","points":[[1.0,1.0],[2.0,2.0]],"style":{"color":{"red":1.0,"green":0.0,"blue":0.0,"alpha":1.0},"width":6.0,"opacity":1.0,"fontSize":28.0,"mosaicSize":12.0},"text":"","number":1})",
    R"({"id":"00000000-0000-0000-0000-000000000004","kind":"highlight","points":[[10.0,10.0],[200.0,40.0]],"style":{"color":{"red":1.0,"green":0.8,"blue":0.0,"alpha":1.0},"width":16.0,"opacity":0.4,"fontSize":28.0,"mosaicSize":12.0},"text":"","number":1})",
    R"({"id":"00000000-0000-0000-0000-000000000005","kind":"pen","points":[],"style":{"color":{"red":1.0,"green":0.0,"blue":0.0,"alpha":1.0},"width":3.0,"opacity":1.0,"fontSize":28.0,"mosaicSize":12.0},"text":"","number":1})",
    R"({"id":"00000000-0000-0000-0000-000000000006","kind":"text","points":[[30.0,40.0],[140.0,75.0]],"style":{"color":{"red":1.0,"green":1.0,"blue":1.0,"alpha":1.0},"width":3.0,"opacity":1.0,"fontSize":28.0,"background":{"red":0.0,"green":0.0,"blue":0.0,"alpha":0.6},"mosaicSize":12.0},"text":"截图 \"引号\"\n第二行","number":1})",
    R"({"id":"00000000-0000-0000-0000-000000000007","kind":"mosaic","points":[[0.0,0.0],[64.0,48.0]],"style":{"color":{"red":1.0,"green":0.0,"blue":0.0,"alpha":1.0},"width":3.0,"opacity":1.0,"fontSize":28.0,"mosaicSize":16.0},"text":"","number":1})",
    R"({"id":"00000000-0000-0000-0000-000000000008","kind":"number","points":[[80.0,80.0],[120.0,120.0]],"style":{"color":{"red":1.0,"green":0.23137254901960785,"blue":0.18823529411764706,"alpha":1.0},"width":3.0,"opacity":1.0,"fontSize":28.0,"mosaicSize":12.0},"text":"","number":999})",
};

// A copy of a valid mark's JSON with one value replaced, or removed when replacement is absent.
Json edited(const char* path, std::optional<Json> replacement)
{
    Json value = json::parse(canonicalMarks[6]);
    const Json::json_pointer pointer(path);
    if (replacement)
        value[pointer] = *replacement;
    else
        value[pointer.parent_pointer()].erase(pointer.back());
    return value;
}

} // namespace

TEST(AnnotationJson, CanonicalTextOfEveryKindRoundTripsExactly)
{
    ASSERT_EQ(std::size(canonicalMarks), Annotation::allKinds.size());
    for (size_t i = 0; i < std::size(canonicalMarks); ++i) {
        const Annotation decoded = Annotation::fromJson(json::parse(canonicalMarks[i]));
        EXPECT_EQ(decoded.kind, Annotation::allKinds[i]);
        EXPECT_EQ(decoded.toJson().dump(), canonicalMarks[i]);
        EXPECT_EQ(Annotation::fromJson(decoded.toJson()), decoded);
    }
    const Annotation text = Annotation::fromJson(json::parse(canonicalMarks[6]));
    EXPECT_EQ(text.text, QStringLiteral("截图 \"引号\"\n第二行"));
    EXPECT_EQ(text.style.background, (RGBA{0, 0, 0, 0.6}));
}

TEST(AnnotationJson, ValuesOfEveryKindSurviveEncodeAndDecode)
{
    for (const Kind kind : Annotation::allKinds) {
        Annotation a = mark(kind, {{1.0 / 3, -2.0 / 7}, {123456.789, 1e-310}}, 0.1, QStringLiteral("字 😀 \\ \t"));
        a.style.color = {0.1, 0.2, 0.3, 1.0 / 3};
        a.style.background = RGBA{1e300, -1, 2, 0.5};
        a.number = 42;
        EXPECT_EQ(Annotation::fromJson(json::parse(a.toJson().dump())), a) << Annotation::kindName(kind);
    }
}

TEST(AnnotationJson, OptionalKeysAndTolerances)
{
    // Missing or null number gives 1; a missing or null background is absent and not written.
    for (const auto& number : {std::optional<Json>(), std::optional<Json>(nullptr)}) {
        const Annotation a = Annotation::fromJson(edited("/number", number));
        EXPECT_EQ(a.number, 1);
    }
    for (const auto& background : {std::optional<Json>(), std::optional<Json>(nullptr)}) {
        const Annotation a = Annotation::fromJson(edited("/style/background", background));
        EXPECT_FALSE(a.style.background.has_value());
        EXPECT_FALSE(a.toJson()["style"].contains("background"));
    }
    // Integral numbers in either form, lower-case ids and unknown keys are accepted.
    EXPECT_EQ(Annotation::fromJson(edited("/number", 7.0)).number, 7);
    EXPECT_EQ(Annotation::fromJson(edited("/style/width", 3)).style.width, 3);
    const Annotation lower = Annotation::fromJson(edited("/id", "6f9619ff-8b86-d011-b42d-00cf4fc964ff"));
    EXPECT_EQ(uuidString(lower.id), QStringLiteral("6F9619FF-8B86-D011-B42D-00CF4FC964FF"));
    EXPECT_NO_THROW(Annotation::fromJson(edited("/extra", Json::array())));
    EXPECT_NO_THROW(Annotation::fromJson(edited("/style/color/extra", "x")));
}

TEST(AnnotationJson, DecodingFailsWithoutPartialValue)
{
    struct Case {
        const char* path;
        std::optional<Json> value; // absent: remove the key
    };
    const Case cases[] = {
        {"/id", {}},
        {"/kind", {}},
        {"/points", {}},
        {"/style", {}},
        {"/text", {}},
        {"/style/color", {}},
        {"/style/width", {}},
        {"/style/opacity", {}},
        {"/style/fontSize", {}},
        {"/style/mosaicSize", {}},
        {"/style/color/red", {}},
        {"/style/color/green", {}},
        {"/style/color/blue", {}},
        {"/style/background/alpha", {}},
        {"/id", "6F9619FF8B86D011B42D00CF4FC964FF"},
        {"/id", "{6F9619FF-8B86-D011-B42D-00CF4FC964FF}"},
        {"/id", 42},
        {"/kind", "rectangle"},
        {"/kind", "Text"},
        {"/kind", 6},
        {"/points", "[]"},
        {"/points", Json::object()},
        {"/points/0", Json::array({1, 2, 3})},
        {"/points/0", Json::array({1})},
        {"/points/0", Json::array({"1", 2})},
        {"/points/0", 1},
        {"/style", Json::array()},
        {"/style/width", "3"},
        {"/style/fontSize", nullptr},
        {"/style/background", "black"},
        {"/style/color", Json::array({1, 0, 0, 1})},
        {"/style/color/alpha", true},
        {"/text", nullptr},
        {"/text", 5},
        {"/number", 1.5},
        {"/number", "1"},
        {"/number", 3000000000LL},
        {"/number", true},
    };
    for (const Case& c : cases) {
        const Json input = edited(c.path, c.value);
        EXPECT_THROW(Annotation::fromJson(input), JsonDecodeError) << input.dump();
    }
    EXPECT_THROW(Annotation::fromJson(Json::array()), JsonDecodeError);
    EXPECT_THROW(AnnotationStyle::fromJson(Json(1)), JsonDecodeError);
    EXPECT_THROW(RGBA::fromJson(Json(nullptr)), JsonDecodeError);
}

TEST(AnnotationJson, EncodingRefusesNonFiniteNumbersAndFoldsNegativeZero)
{
    struct Case {
        const char* name;
        void (*spoil)(Annotation&);
    };
    const Case cases[] = {
        {"point", [](Annotation& a) { a.points[1].y = kNaN; }},
        {"colour", [](Annotation& a) { a.style.color.alpha = kInf; }},
        {"background", [](Annotation& a) { a.style.background = RGBA{0, -kInf, 0, 1}; }},
        {"width", [](Annotation& a) { a.style.width = kNaN; }},
        {"font size", [](Annotation& a) { a.style.fontSize = kInf; }},
        {"mosaic size", [](Annotation& a) { a.style.mosaicSize = kNaN; }},
    };
    for (const Case& c : cases) {
        Annotation a = mark(Kind::mosaic, {{0, 0}, {1, 1}});
        c.spoil(a);
        EXPECT_THROW(a.toJson(), JsonEncodeError) << c.name;
    }
    const Annotation zero = mark(Kind::pen, {{-0.0, 1}});
    EXPECT_EQ(zero.toJson()["points"].dump(), "[[0.0,1.0]]");
}
