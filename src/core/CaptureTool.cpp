#include "core/CaptureTool.h"

#include <QHash>

namespace vorlith {

namespace {

struct ToolInfo {
    const char16_t* raw;
    const char16_t* title;
    char16_t letter;
};

// Indexed by CaptureTool.
constexpr std::array<ToolInfo, 8> kTools{{
    {u"select", u"选择", u'Q'},
    {u"shape", u"形状", u'W'},
    {u"arrow", u"箭头", u'E'},
    {u"highlight", u"高亮", u'R'},
    {u"pen", u"画笔", u'A'},
    {u"text", u"文字", u'S'},
    {u"mosaic", u"马赛克", u'D'},
    {u"number", u"数字", u'F'},
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

} // namespace captureTool

size_t qHash(CaptureTool tool, size_t seed)
{
    return ::qHash(QStringView(info(tool).raw), seed);
}

} // namespace vorlith
