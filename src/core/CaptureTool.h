#pragma once

#include <QString>
#include <QtGlobal>

#include <array>
#include <optional>

namespace vorlith {

// The eight annotation tools of the toolbar, in toolbar order. The raw value is the tool's
// command key and its key in the per-tool style table.
enum class CaptureTool : quint8 { select, shape, arrow, highlight, pen, text, mosaic, number };

namespace captureTool {

inline constexpr std::array<CaptureTool, 8> allCases{
    CaptureTool::select, CaptureTool::shape, CaptureTool::arrow,  CaptureTool::highlight,
    CaptureTool::pen,    CaptureTool::text,  CaptureTool::mosaic, CaptureTool::number,
};

// "select", "shape", "arrow", "highlight", "pen", "text", "mosaic", "number".
QString rawValue(CaptureTool tool);
// Absent for any string that is not exactly one of the raw values.
std::optional<CaptureTool> fromRawValue(const QString& raw);
// The button title shown to the user.
QString title(CaptureTool tool);
// The shortcut letter shown on the button: Q W E R A S D F. The keys themselves are
// interpreted by EditorInputPolicy.
QChar shortcutLetter(CaptureTool tool);

} // namespace captureTool

// Hashes like the raw-value string, so a tool and its raw value hash alike.
size_t qHash(CaptureTool tool, size_t seed = 0);

} // namespace vorlith
