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

TEST(CaptureTool, ShortcutLettersInEitherCaseNameTheirTool)
{
    for (CaptureTool tool : captureTool::allCases) {
        const QChar letter = captureTool::shortcutLetter(tool);
        EXPECT_EQ(captureTool::fromShortcutLetter(letter), tool);
        EXPECT_EQ(captureTool::fromShortcutLetter(letter.toLower()), tool);
    }
    for (QChar other : {QChar(u'c'), QChar(u'Z'), QChar(u'1'), QChar(u' '), QChar(u'秋')})
        EXPECT_EQ(captureTool::fromShortcutLetter(other), std::nullopt) << int(other.unicode());
}

TEST(CaptureTool, EachToolEditsItsOwnStyleFields)
{
    using F = ToolStyleFields;
    const std::pair<CaptureTool, F> rows[] = {
        {CaptureTool::select, F{}},
        {CaptureTool::shape, F{.color = true, .width = true}},
        {CaptureTool::arrow, F{.color = true, .width = true}},
        {CaptureTool::highlight, F{.color = true, .opacity = true}},
        {CaptureTool::pen, F{.color = true, .width = true}},
        {CaptureTool::text, F{.color = true, .fontSize = true, .background = true}},
        {CaptureTool::mosaic, F{.mosaicSize = true}},
        {CaptureTool::number, F{.color = true, .marker = true}},
    };
    for (const auto& [tool, fields] : rows)
        EXPECT_EQ(captureTool::styleFields(tool), fields) << captureTool::rawValue(tool).toStdString();
}

TEST(Shape, CyclesAndMapsToMarkKinds)
{
    EXPECT_EQ(shape::next(Shape::roundedRectangle), Shape::ellipse);
    EXPECT_EQ(shape::next(Shape::ellipse), Shape::line);
    EXPECT_EQ(shape::next(Shape::line), Shape::roundedRectangle);
    for (Shape s : shape::allCases)
        EXPECT_EQ(shape::fromAnnotationKind(shape::annotationKind(s)), s);
    int shapes = 0;
    for (Annotation::Kind kind : Annotation::allKinds)
        shapes += shape::fromAnnotationKind(kind).has_value();
    EXPECT_EQ(shapes, 3);
}

TEST(CaptureTool, EveryMarkKindBelongsToTheToolThatDrawsIt)
{
    using Kind = Annotation::Kind;
    const std::vector<std::pair<Kind, CaptureTool>> table{
        {Kind::roundedRectangle, CaptureTool::shape}, {Kind::ellipse, CaptureTool::shape},
        {Kind::line, CaptureTool::shape},             {Kind::arrow, CaptureTool::arrow},
        {Kind::highlight, CaptureTool::highlight},    {Kind::pen, CaptureTool::pen},
        {Kind::text, CaptureTool::text},              {Kind::mosaic, CaptureTool::mosaic},
        {Kind::number, CaptureTool::number},
    };
    ASSERT_EQ(table.size(), Annotation::allKinds.size());
    for (const auto& [kind, tool] : table)
        EXPECT_EQ(captureTool::forAnnotationKind(kind), tool);
}
