#pragma once

#include "core/Annotation.h"

#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>

namespace vorlith {

// The eight annotation tools of the toolbar, in toolbar order. The raw value is the tool's
// command key and its key in the per-tool style table.
enum class CaptureTool : quint8 { select, shape, arrow, highlight, pen, text, mosaic, number };

// What the shape tool draws. Each is also a mark kind.
enum class Shape : quint8 { roundedRectangle, ellipse, line };

// The parts of a mark's style that a tool's controls edit.
struct ToolStyleFields {
    bool color = false;      // the palette
    bool width = false;      // the line width field
    bool fontSize = false;   // the font size field
    bool background = false; // the text background swatches
    bool opacity = false;    // the opacity slider
    bool mosaicSize = false; // the grain slider
    bool marker = false;     // the marker number and diameter fields

    friend bool operator==(const ToolStyleFields&, const ToolStyleFields&) = default;
};

namespace captureTool {

inline constexpr std::array<CaptureTool, 8> allCases{
    CaptureTool::select, CaptureTool::shape, CaptureTool::arrow,  CaptureTool::highlight,
    CaptureTool::pen,    CaptureTool::text,  CaptureTool::mosaic, CaptureTool::number,
};

// "select", "shape", "arrow", "highlight", "pen", "text", "mosaic", "number".
[[nodiscard]] QString rawValue(CaptureTool tool);
// Absent for any string that is not exactly one of the raw values.
[[nodiscard]] std::optional<CaptureTool> fromRawValue(const QString& raw);
// The button title shown to the user.
[[nodiscard]] QString title(CaptureTool tool);
// The shortcut letter of the tool: Q W E R A S D F.
[[nodiscard]] QChar shortcutLetter(CaptureTool tool);
// The tool whose shortcut letter this is, either case; absent for any other character.
[[nodiscard]] std::optional<CaptureTool> fromShortcutLetter(QChar letter);
// Which style fields the tool's controls edit.
[[nodiscard]] ToolStyleFields styleFields(CaptureTool tool);
// The tool that draws marks of a kind: the three shape kinds belong to the shape tool.
[[nodiscard]] CaptureTool forAnnotationKind(Annotation::Kind kind);

} // namespace captureTool

namespace shape {

inline constexpr std::array<Shape, 3> allCases{Shape::roundedRectangle, Shape::ellipse, Shape::line};

// The shape after the given one in the cycle roundedRectangle → ellipse → line → roundedRectangle.
[[nodiscard]] Shape next(Shape shape);
// The mark kind a shape draws.
[[nodiscard]] Annotation::Kind annotationKind(Shape shape);
// The shape a mark kind is; absent for kinds that are not shapes.
[[nodiscard]] std::optional<Shape> fromAnnotationKind(Annotation::Kind kind);

} // namespace shape

// Hashes like the raw-value string, so a tool and its raw value hash alike.
size_t qHash(CaptureTool tool, size_t seed = 0);

} // namespace vorlith
