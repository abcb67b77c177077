#include "core/CaptureTool.h"

#include <QHash>

namespace vorlith {

namespace {

struct ToolInfo {
    const char16_t* raw;
    const char16_t* title;
    char16_t letter;
    ToolStyleFields fields;
};

// The one table of the tools, indexed by CaptureTool.
constexpr std::array<ToolInfo, 8> kTools{{
    {u"select", u"选择", u'Q', {}},
    {u"shape", u"形状", u'W', {.color = true, .width = true}},
    {u"arrow", u"箭头", u'E', {.color = true, .width = true}},
    {u"highlight", u"高亮", u'R', {.color = true, .opacity = true}},
    {u"pen", u"画笔", u'A', {.color = true, .width = true}},
    {u"text", u"文字", u'S', {.color = true, .fontSize = true, .background = true}},
    {u"mosaic", u"马赛克", u'D', {.mosaicSize = true}},
    {u"number", u"数字", u'F', {.color = true, .marker = true}},
}};

const ToolInfo& info(CaptureTool tool)
{
    return kTools[size_t(tool)];
}

} // namespace

namespace captureTool {

QString rawValue(CaptureTool tool)
{
    return QString::fromUtf16(info(tool).raw);
}

std::optional<CaptureTool> fromRawValue(const QString& raw)
{
    for (CaptureTool tool : allCases) {
        if (raw == QStringView(info(tool).raw))
            return tool;
    }
    return std::nullopt;
}

QString title(CaptureTool tool)
{
    return QString::fromUtf16(info(tool).title);
}

QChar shortcutLetter(CaptureTool tool)
{
    return QChar(info(tool).letter);
}

std::optional<CaptureTool> fromShortcutLetter(QChar letter)
{
    const QChar upper = letter.toUpper();
    for (CaptureTool tool : allCases) {
        if (upper == QChar(info(tool).letter))
            return tool;
    }
    return std::nullopt;
}

CaptureTool forAnnotationKind(Annotation::Kind kind)
{
    switch (kind) {
    case Annotation::Kind::roundedRectangle:
    case Annotation::Kind::ellipse:
    case Annotation::Kind::line:
        return CaptureTool::shape;
    case Annotation::Kind::arrow: return CaptureTool::arrow;
    case Annotation::Kind::highlight: return CaptureTool::highlight;
    case Annotation::Kind::pen: return CaptureTool::pen;
    case Annotation::Kind::text: return CaptureTool::text;
    case Annotation::Kind::mosaic: return CaptureTool::mosaic;
    case Annotation::Kind::number: return CaptureTool::number;
    }
    return CaptureTool::select;
}

ToolStyleFields styleFields(CaptureTool tool)
{
    return info(tool).fields;
}

} // namespace captureTool

namespace shape {

Shape next(Shape shape)
{
    switch (shape) {
    case Shape::roundedRectangle:
        return Shape::ellipse;
    case Shape::ellipse:
        return Shape::line;
    case Shape::line:
        break;
    }
    return Shape::roundedRectangle;
}

Annotation::Kind annotationKind(Shape shape)
{
    switch (shape) {
    case Shape::ellipse:
        return Annotation::Kind::ellipse;
    case Shape::line:
        return Annotation::Kind::line;
    case Shape::roundedRectangle:
        break;
    }
    return Annotation::Kind::roundedRectangle;
}

std::optional<Shape> fromAnnotationKind(Annotation::Kind kind)
{
    switch (kind) {
    case Annotation::Kind::roundedRectangle:
        return Shape::roundedRectangle;
    case Annotation::Kind::ellipse:
        return Shape::ellipse;
    case Annotation::Kind::line:
        return Shape::line;
    default:
        return std::nullopt;
    }
}

} // namespace shape

size_t qHash(CaptureTool tool, size_t seed)
{
    return ::qHash(QStringView(info(tool).raw), seed);
}

} // namespace vorlith
