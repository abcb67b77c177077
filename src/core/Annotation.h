#pragma once

#include "core/CaptureGeometry.h"
#include "core/Geometry.h"
#include "core/Json.h"

#include <QString>
#include <QUuid>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>
#include <vector>

namespace vorlith {

// Numbered markers carry 1...999; the counter is empty once 999 has been handed out.
inline constexpr int firstMarkerNumber = 1;
inline constexpr int lastMarkerNumber = 999;
constexpr bool isMarkerNumber(int number) { return number >= firstMarkerNumber && number <= lastMarkerNumber; }

// A colour as four components, 0...1 when drawn; stored as given, never clamped.
struct RGBA {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 0;

    // The starting colour of every tool but the highlighter.
    static const RGBA Red;
    // The highlighter's starting colour.
    static const RGBA Yellow;

    friend bool operator==(const RGBA&, const RGBA&) = default;

    bool isFinite() const;

    Json toJson() const;                     // throws JsonEncodeError
    static RGBA fromJson(const Json& value); // throws JsonDecodeError
};

inline constexpr RGBA RGBA::Red{1, 59.0 / 255, 48.0 / 255, 1};
inline constexpr RGBA RGBA::Yellow{1, 0.8, 0, 1};

// How a mark is drawn. An aggregate: AnnotationStyle{.color = ..., .width = ...} leaves the
// background absent.
struct AnnotationStyle {
    RGBA color;
    double width = 0;     // stroke width in points; also widens the hit area
    double opacity = 0;   // overall opacity of the mark
    double fontSize = 0;  // text size in points (text marks)
    std::optional<RGBA> background; // text background
    double mosaicSize = 0; // mosaic cell size in points

    friend bool operator==(const AnnotationStyle&, const AnnotationStyle&) = default;

    Json toJson() const;                                // throws JsonEncodeError
    static AnnotationStyle fromJson(const Json& value); // throws JsonDecodeError
};

// The box a text occupies when drawn at origin with the font size. The renderer supplies the
// real one; the model only calls it.
using TextMeasure = std::function<Rect(const QString& text, Point origin, double fontSize)>;

// One mark on a capture, in logical points of the capture (top-left origin, y down).
struct Annotation {
    // Case order is the order of allKinds; the JSON value is the case name.
    enum class Kind { roundedRectangle, ellipse, line, arrow, highlight, pen, text, mosaic, number };

    static constexpr std::array<Kind, 9> allKinds{
        Kind::roundedRectangle, Kind::ellipse, Kind::line, Kind::arrow, Kind::highlight,
        Kind::pen,              Kind::text,    Kind::mosaic, Kind::number,
    };
    static std::string_view kindName(Kind kind);
    static std::optional<Kind> kindFromName(std::string_view name);

    QUuid id;
    Kind kind = Kind::roundedRectangle;
    std::vector<Point> points; // drawing order
    AnnotationStyle style;
    QString text; // "" for kinds other than text
    int number = 1; // the marker's number; 1 for kinds other than number

    friend bool operator==(const Annotation&, const Annotation&) = default;

    // A new number mark with a fresh id: the square of the diameter centred on center.
    [[nodiscard]] static Annotation numbered(int number, Point center, double diameter, const AnnotationStyle& style);

    // The smallest box holding every point; (0, 0, 0, 0) without points.
    [[nodiscard]] Rect bounds() const;
    [[nodiscard]] Annotation moved(Size delta) const;
    // Fitted to rect: points stretched into it; text refits its font, markers stay square.
    [[nodiscard]] Annotation resized(const Rect& rect, const TextMeasure& measureText) const;
    // As the user drags one of the mark's eight handles to point.
    [[nodiscard]] Annotation resized(SelectionHandle handle, Point point, const CaptureGeometry& geometry,
                       const TextMeasure& measureText) const;
    bool hitTest(Point point, double tolerance) const;

    // Finite numbers everywhere; a number mark is also a square of two points numbered 1...999.
    bool isValid() const;
    // 192 + 16 per point + the UTF-8 bytes of the text. Allocates nothing.
    std::int64_t estimatedBytes() const;

    Json toJson() const;                           // throws JsonEncodeError
    static Annotation fromJson(const Json& value); // throws JsonDecodeError
};

} // namespace vorlith
