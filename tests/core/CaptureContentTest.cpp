#include "core/CaptureContent.h"

#include "core/Uuid.h"

#include <gtest/gtest.h>

#include <limits>

using namespace vorlith;

namespace {

using Kind = Annotation::Kind;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

const AnnotationStyle plain{RGBA{1, 0, 0, 1}, 3, 1, 28, std::nullopt, 12};

QUuid fixedId(int n)
{
    return *parseUuid(QStringLiteral("00000000-0000-0000-0000-%1").arg(n, 12, 10, QLatin1Char('0')));
}

Annotation marker(int number, std::vector<Point> points)
{
    return {fixedId(number), Kind::number, std::move(points), plain, QString(), number};
}

CaptureContent content(std::vector<Annotation> marks = {}, std::optional<int> next = 1)
{
    return {Rect(0, 0, 100, 50), std::move(marks), next};
}

} // namespace

TEST(DocumentOrigin, NamesAreTheJsonValues)
{
    const char* names[] = {"screenCapture", "clipboardImage", "localFile"};
    for (size_t i = 0; i < allDocumentOrigins.size(); ++i) {
        EXPECT_EQ(documentOriginName(allDocumentOrigins[i]), names[i]);
        EXPECT_EQ(documentOriginFromName(names[i]), allDocumentOrigins[i]);
    }
    EXPECT_FALSE(documentOriginFromName("file"));
}

TEST(CaptureContent, Validity)
{
    struct Case {
        const char* name;
        CaptureContent content;
        bool valid;
    };
    Annotation pen{fixedId(1), Kind::pen, {}, plain, QString(), 1};
    Annotation nanPoint = pen;
    nanPoint.points = {{1, kNaN}};
    Annotation badBackground = pen;
    badBackground.style.background = RGBA{0, 0, kInf, 1};
    Annotation badOpacity = pen;
    badOpacity.style.opacity = kNaN;
    Annotation wildStyle = pen; // ranges are not checked, only finiteness
    wildStyle.style = {RGBA{-3, 7, 0, 2}, -1, 5, 0, RGBA{9, 9, 9, 9}, -4};
    wildStyle.number = 0;
    const Case cases[] = {
        {"empty", content(), true},
        {"NaN selection", {Rect(0, kNaN, 100, 50), {}, 1}, false},
        {"infinite selection", {Rect(0, 0, kInf, 50), {}, 1}, false},
        {"zero width selection", {Rect(0, 0, 0, 50), {}, 1}, true},
        {"negative selection", {Rect(100, 50, -100, -50), {}, 1}, true},
        {"next number 0", content({}, 0), false},
        {"next number 1000", content({}, 1000), false},
        {"next number 999", content({}, 999), true},
        {"empty counter", content({}, std::nullopt), true},
        {"marker within 1e-9", content({marker(5, {{10, 10}, {30, 30.00000001}})}), true},
        {"marker beyond 1e-9", content({marker(5, {{10, 10}, {30, 30.000001}})}), false},
        {"marker not square", content({marker(5, {{10, 10}, {30, 31}})}), false},
        {"marker three points", content({marker(5, {{10, 10}, {30, 30}, {20, 20}})}), false},
        {"marker one point", content({marker(5, {{10, 10}})}), false},
        {"marker flat", content({marker(5, {{10, 10}, {10, 10}})}), false},
        {"marker number 0", content({marker(0, {{10, 10}, {30, 30}})}), false},
        {"marker number 1000", content({marker(1000, {{10, 10}, {30, 30}})}), false},
        {"marker reversed corners", content({marker(999, {{30, 30}, {10, 10}})}), true},
        {"pen without points", content({pen}), true},
        {"NaN point", content({pen, nanPoint}), false},
        {"infinite background", content({badBackground}), false},
        {"NaN opacity", content({badOpacity}), false},
        {"out-of-range style", content({wildStyle}), true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.content.isValid(), c.valid) << c.name;
}

TEST(CaptureContent, SameImageIgnoresTheCounterButNotIds)
{
    const CaptureContent a = content({marker(1, {{0, 0}, {20, 20}})}, 3);
    const CaptureContent b = content({marker(1, {{0, 0}, {20, 20}})}, 7);
    EXPECT_TRUE(a.isSameImage(b));
    EXPECT_NE(a, b);
    EXPECT_EQ(a.signature(), b.signature());
    EXPECT_EQ(a.signature(), content(a.annotations, std::nullopt).signature());

    CaptureContent other = a;
    other.annotations[0].id = fixedId(2);
    EXPECT_FALSE(a.isSameImage(other));
    EXPECT_NE(a.signature(), other.signature());

    other = a;
    other.selection.size.height = 50.000001;
    EXPECT_FALSE(a.isSameImage(other));
    EXPECT_NE(a.signature(), other.signature());

    other = a;
    other.annotations[0].style.background = RGBA{0, 0, 0, 0};
    EXPECT_NE(a.signature(), other.signature());
}

TEST(CaptureContent, SignatureIsCompactSortedJson)
{
    Annotation text{fixedId(9), Kind::text, {{1, 2}, {3.5, 4}}, plain, QStringLiteral("标注"), 1};
    text.style.background = RGBA{0, 0, 0, 0.5};
    const CaptureContent c = content({marker(3, {{80, 80}, {120, 120}}), text}, std::nullopt);
    const char* expected =
        R"({"annotations":[)"
        R"({"id":"00000000-0000-0000-0000-000000000003","kind":"number","number":3,"points":[[80.0,80.0],[120.0,120.0]],)"
        R"("style":{"color":{"alpha":1.0,"blue":0.0,"green":0.0,"red":1.0},"fontSize":28.0,"mosaicSize":12.0,"opacity":1.0,"width":3.0},"text":""},)"
        R"({"id":"00000000-0000-0000-0000-000000000009","kind":"text","number":1,"points":[[1.0,2.0],[3.5,4.0]],)"
        R"("style":{"background":{"alpha":0.5,"blue":0.0,"green":0.0,"red":0.0},"color":{"alpha":1.0,"blue":0.0,"green":0.0,"red":1.0},"fontSize":28.0,"mosaicSize":12.0,"opacity":1.0,"width":3.0},"text":"标注"}],)"
        R"("nextNumber":1,"selection":[[0.0,0.0],[100.0,50.0]]})";
    EXPECT_EQ(c.signature(), QByteArray(expected));

    CaptureContent broken = c;
    broken.annotations[1].points[0].x = kNaN;
    EXPECT_TRUE(broken.signature().isEmpty());
    broken = c;
    broken.selection.origin.y = -kInf;
    EXPECT_TRUE(broken.signature().isEmpty());
}

TEST(CaptureContent, EstimatedBytesSumTheMarks)
{
    EXPECT_EQ(content().estimatedBytes(), 128);
    const Annotation ab{fixedId(1), Kind::text, {{0, 0}, {1, 1}}, plain, QStringLiteral("ab"), 1};
    EXPECT_EQ(content({ab}).estimatedBytes(), 354);
    Annotation wide = ab;
    wide.text = QStringLiteral("中文");
    wide.points.push_back({2, 2});
    EXPECT_EQ(content({ab, wide}).estimatedBytes(), 354 + 192 + 48 + 6);
}

TEST(CaptureContentJson, CounterFormsAndExactRoundTrip)
{
    const Json base = json::parse(R"({"selection": [[0, 0], [100, 50]], "annotations": []})");
    EXPECT_EQ(CaptureContent::fromJson(base).nextNumber, 1);
    Json withNull = base;
    withNull["nextNumber"] = nullptr;
    EXPECT_EQ(CaptureContent::fromJson(withNull).nextNumber, std::nullopt);
    Json withNumber = base;
    withNumber["nextNumber"] = 12;
    EXPECT_EQ(CaptureContent::fromJson(withNumber).nextNumber, 12);
    withNumber["nextNumber"] = 5000; // decoding does not test validity
    EXPECT_EQ(CaptureContent::fromJson(withNumber).nextNumber, 5000);

    const char* canonical =
        R"({"selection":[[10.5,-0.25],[300.0,200.125]],"annotations":[)"
        R"({"id":"00000000-0000-0000-0000-000000000003","kind":"number","points":[[80.0,80.0],[120.0,120.0]],)"
        R"("style":{"color":{"red":1.0,"green":0.0,"blue":0.0,"alpha":1.0},"width":3.0,"opacity":1.0,"fontSize":28.0,"mosaicSize":12.0},"text":"","number":3},)"
        R"({"id":"ABCDEF01-2345-6789-ABCD-EF0123456789","kind":"pen","points":[[1.0,2.0],[3.0,4.0],[5.0,6.0]],)"
        R"("style":{"color":{"red":1.0,"green":0.8,"blue":0.0,"alpha":1.0},"width":3.0,"opacity":1.0,"fontSize":28.0,"mosaicSize":12.0},"text":"","number":1}],)"
        R"("nextNumber":null})";
    const CaptureContent decoded = CaptureContent::fromJson(json::parse(canonical));
    EXPECT_EQ(decoded.toJson().dump(), canonical);
    EXPECT_EQ(CaptureContent::fromJson(decoded.toJson()), decoded);
    EXPECT_EQ(decoded.annotations.size(), 2u);
    EXPECT_FALSE(decoded.nextNumber.has_value());
    EXPECT_EQ(decoded.selection, Rect(10.5, -0.25, 300, 200.125));
}

TEST(CaptureContentJson, DecodingFailures)
{
    const char* valid = R"({"selection":[[0,0],[100,50]],"annotations":[)"
                        R"({"id":"00000000-0000-0000-0000-000000000003","kind":"number","points":[[80,80],[120,120]],)"
                        R"("style":{"color":{"red":1,"green":0,"blue":0,"alpha":1},"width":3,"opacity":1,"fontSize":28,"mosaicSize":12},"text":"","number":3}],)"
                        R"("nextNumber":4})";
    ASSERT_NO_THROW(CaptureContent::fromJson(json::parse(valid)));
    struct Case {
        const char* path;
        std::optional<Json> value; // absent: remove the key
    };
    const Case cases[] = {
        {"/selection", {}},
        {"/annotations", {}},
        {"/selection", Json::array({0, 0, 100, 50})},
        {"/selection", Json::array({Json::array({0, 0})})},
        {"/selection/1", Json::array({100})},
        {"/selection/1/0", "100"},
        {"/selection", Json::object()},
        {"/annotations", Json::object()},
        {"/annotations/0", 1},
        {"/annotations/0/kind", "rectangle"},
        {"/annotations/0/style/color/red", nullptr},
        {"/nextNumber", "4"},
        {"/nextNumber", 4.5},
        {"/nextNumber", false},
        {"/nextNumber", 1LL << 40},
    };
    for (const Case& c : cases) {
        Json input = json::parse(valid);
        const Json::json_pointer pointer(c.path);
        if (c.value)
            input[pointer] = *c.value;
        else
            input[pointer.parent_pointer()].erase(pointer.back());
        EXPECT_THROW(CaptureContent::fromJson(input), JsonDecodeError) << input.dump();
    }
    EXPECT_THROW(CaptureContent::fromJson(Json::array()), JsonDecodeError);
    EXPECT_THROW(json::parse("{\"selection\": "), JsonDecodeError);
}

TEST(CaptureContentJson, EncodingRefusesNonFiniteNumbers)
{
    CaptureContent c = content({marker(1, {{0, 0}, {20, 20}})});
    c.selection.size.width = kInf;
    EXPECT_THROW(c.toJson(), JsonEncodeError);
    c = content({marker(1, {{0, kNaN}, {20, 20}})});
    EXPECT_THROW(c.toJson(), JsonEncodeError);
    c = content({}, std::nullopt);
    c.selection = Rect(-0.0, 0, 1, 1);
    EXPECT_EQ(c.toJson().dump(), R"({"selection":[[0.0,0.0],[1.0,1.0]],"annotations":[],"nextNumber":null})");
}
