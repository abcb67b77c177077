#include "core/CaptureTool.h"

#include <QHash>

#include <gtest/gtest.h>

using namespace vorlith;

TEST(CaptureTool, RawValuesTitlesAndLettersInToolbarOrder)
{
    struct Row {
        CaptureTool tool;
        const char* raw;
        QString title;
        char letter;
    };
    const Row rows[] = {
        {CaptureTool::select, "select", QStringLiteral("选择"), 'Q'},
        {CaptureTool::shape, "shape", QStringLiteral("形状"), 'W'},
        {CaptureTool::arrow, "arrow", QStringLiteral("箭头"), 'E'},
        {CaptureTool::highlight, "highlight", QStringLiteral("高亮"), 'R'},
        {CaptureTool::pen, "pen", QStringLiteral("画笔"), 'A'},
        {CaptureTool::text, "text", QStringLiteral("文字"), 'S'},
        {CaptureTool::mosaic, "mosaic", QStringLiteral("马赛克"), 'D'},
        {CaptureTool::number, "number", QStringLiteral("数字"), 'F'},
    };
    ASSERT_EQ(std::size(rows), captureTool::allCases.size());
    for (size_t i = 0; i < std::size(rows); ++i) {
        const Row& row = rows[i];
        EXPECT_EQ(captureTool::allCases[i], row.tool);
        EXPECT_EQ(captureTool::rawValue(row.tool), QLatin1String(row.raw));
        EXPECT_EQ(captureTool::fromRawValue(QLatin1String(row.raw)), row.tool);
        EXPECT_EQ(captureTool::title(row.tool), row.title);
        EXPECT_EQ(captureTool::shortcutLetter(row.tool), QLatin1Char(row.letter));
        // A tool and its raw value hash alike.
        EXPECT_EQ(qHash(row.tool, 7), qHash(QString::fromLatin1(row.raw), 7));
    }
}

TEST(CaptureTool, OnlyExactRawValuesMakeATool)
{
    for (const char* raw : {"", "Select", "shape ", "rectangle", "undo", "selec"})
        EXPECT_EQ(captureTool::fromRawValue(QString::fromLatin1(raw)), std::nullopt) << raw;
    QHash<CaptureTool, int> byTool;
    for (CaptureTool tool : captureTool::allCases)
        byTool.insert(tool, int(tool));
    EXPECT_EQ(byTool.size(), 8);
    EXPECT_EQ(byTool.value(CaptureTool::mosaic), int(CaptureTool::mosaic));
}
