// The chrome's frames, written y-up as designed and checked through the one helper that turns
// them into Qt geometry.
#include "app/editor/chrome/CaptureHint.h"
#include "app/editor/chrome/CaptureToolbar.h"
#include "app/editor/chrome/ColorSwatch.h"
#include "app/editor/chrome/CompletionSlider.h"
#include "app/editor/chrome/ShapeOptionButton.h"
#include "app/editor/chrome/FilledLine.h"
#include "app/editor/chrome/HintExitButton.h"
#include "app/editor/chrome/NumberStepper.h"
#include "app/editor/chrome/StripField.h"
#include "app/editor/chrome/StripLabel.h"
#include "app/editor/chrome/ToolButton.h"
#include "app/editor/chrome/ToolProperties.h"
#include "app/base/UnflippedFrame.h"

#include <QFontMetricsF>

#include <gtest/gtest.h>

#include <cmath>

using namespace vorlith;

namespace {

Rect frame(const QWidget* w)
{
    return UnflippedFrame::of(w);
}

} // namespace

TEST(UnflippedFrame, PlacesAChildFromTheParentsBottomAndKeepsItThroughAResize)
{
    QWidget parent;
    parent.resize(100, 63);
    QWidget child(&parent);
    UnflippedFrame::place(&child, Rect(6, 6, 44, 47));
    EXPECT_EQ(child.geometry(), QRect(6, 10, 44, 47));
    EXPECT_EQ(frame(&child), Rect(6, 6, 44, 47));
    parent.resize(100, 110);
    UnflippedFrame::replaceChildren(&parent);
    EXPECT_EQ(child.geometry(), QRect(6, 57, 44, 47)) << "still 6 above the bottom edge";
    EXPECT_EQ(UnflippedFrame::toYDown(Rect(0, 0, 10, 5), 20), QRectF(0, 15, 10, 5));
}

TEST(CaptureToolbar, CaptureSetFrames)
{
    CaptureToolbar bar;
    EXPECT_EQ(bar.size(), QSize(728, 63));
    EXPECT_EQ(bar.mainBarWidth(), 728);
    const QStringList keys{"select", "shape", "arrow", "highlight", "pen", "text", "mosaic",
                           "number", "undo",  "redo",  "pin",       "save", "copy", "exit"};
    EXPECT_EQ(bar.buttonKeys(), keys);
    EXPECT_EQ(bar.buttons().size(), 14);
    ASSERT_EQ(bar.separators().size(), 3u);

    const struct {
        const char* key;
        double x;
        double width;
    } origins[] = {
        {"select", 6, 44}, {"shape", 53, 62}, {"arrow", 118, 44}, {"undo", 410, 44}, {"redo", 457, 44},
        {"pin", 514, 44},  {"save", 561, 44}, {"copy", 608, 57},  {"exit", 678, 44},
    };
    for (const auto& o : origins) {
        SCOPED_TRACE(o.key);
        ToolButton* b = bar.button(QString::fromLatin1(o.key));
        ASSERT_TRUE(b);
        EXPECT_EQ(frame(b), Rect(o.x, 6, o.width, 47));
        EXPECT_EQ(b->geometry(), QRect(int(o.x), 10, int(o.width), 47)) << "10 below the top of a 63-high bar";
    }
    const double separatorX[] = {403, 507, 671};
    for (size_t i = 0; i < 3; ++i)
        EXPECT_EQ(frame(bar.separators()[i]), Rect(separatorX[i], 16, 1, 27));
    EXPECT_TRUE(bar.button("copy")->primary());
    EXPECT_FALSE(bar.button("save")->primary());
}

TEST(CaptureToolbar, PinnedEditingSetEndsWithDone)
{
    CaptureToolbar bar;
    bar.isPinnedEditing = true;
    bar.rebuildButtons();
    EXPECT_EQ(bar.size(), QSize(681, 63));
    EXPECT_EQ(bar.buttons().size(), 13);
    EXPECT_FALSE(bar.button("pin"));
    EXPECT_FALSE(bar.button("exit"));
    ASSERT_EQ(bar.buttonKeys().last(), "done");
    ToolButton* done = bar.button("done");
    EXPECT_EQ(done->text(), "Done");
    EXPECT_EQ(done->accessibleName(), "Done");
    EXPECT_EQ(done->toolTip(), "Done");
    ASSERT_EQ(bar.separators().size(), 3u);
    // Before undo, before save (the first output), before done.
    EXPECT_EQ(frame(bar.separators()[0]).origin.x, 403);
    EXPECT_EQ(frame(bar.separators()[1]).origin.x, 507);
    EXPECT_EQ(frame(bar.button("save")).origin.x, 514);
    EXPECT_EQ(frame(bar.button("done")).origin.x, 631);
}

TEST(CaptureToolbar, ToolTipsAndAccessibleNames)
{
    CaptureToolbar bar;
    EXPECT_EQ(bar.button("select")->toolTip(), "选择（Q）");
    EXPECT_EQ(bar.button("number")->toolTip(), "数字（F）");
    EXPECT_EQ(bar.button("undo")->toolTip(), "撤销（Ctrl+Z）");
    EXPECT_EQ(bar.button("redo")->toolTip(), "重做（Ctrl+Shift+Z）");
    EXPECT_EQ(bar.button("pin")->toolTip(), "将当前截图置顶悬浮显示");
    EXPECT_EQ(bar.button("copy")->toolTip(), "复制图片（Enter）");
    EXPECT_EQ(bar.button("exit")->toolTip(), "退出截图（Esc）");
    // The shape button is retitled at once for the current shape.
    EXPECT_EQ(bar.button("shape")->text(), "圆角矩形");
    EXPECT_EQ(bar.button("shape")->toolTip(), "圆角矩形（W；再次按 W 切换形状）");
    for (ToolButton* b : bar.buttons())
        EXPECT_EQ(b->focusPolicy(), Qt::NoFocus) << b->key.toStdString();
}

TEST(CaptureToolbar, ShapeKindRetitlesOnlyForTheThreeShapes)
{
    CaptureToolbar bar;
    bar.setShapeKind(Annotation::Kind::arrow);
    EXPECT_EQ(bar.shapeKind(), Annotation::Kind::roundedRectangle);
    EXPECT_EQ(bar.button("shape")->text(), "圆角矩形");
    bar.setShapeKind(Annotation::Kind::ellipse);
    ToolButton* shape = bar.button("shape");
    EXPECT_EQ(shape->text(), "椭圆");
    EXPECT_EQ(shape->accessibleName(), "椭圆");
    EXPECT_EQ(shape->toolTip(), "椭圆（W；再次按 W 切换形状）");
    EXPECT_EQ(shape->displayedIconName, "ellipse");
    bar.setShapeKind(Annotation::Kind::line);
    EXPECT_EQ(shape->text(), "直线");
    EXPECT_EQ(shape->displayedIconName, "line");
    // A rebuild keeps the shape.
    bar.rebuildButtons();
    EXPECT_EQ(bar.button("shape")->text(), "直线");
}

TEST(CaptureToolbar, RefreshSetsChosenAndEnabledStates)
{
    CaptureToolbar bar;
    bar.refresh(CaptureTool::pen, true, true, true);
    for (ToolButton* b : bar.buttons())
        EXPECT_FALSE(b->isEnabled()) << b->key.toStdString();
    EXPECT_TRUE(bar.button("pen")->chosen());
    EXPECT_FALSE(bar.acceptsFirstMouse());

    bar.refresh(CaptureTool::text, false, true, false);
    for (ToolButton* b : bar.buttons()) {
        EXPECT_EQ(b->isEnabled(), b->key != "undo") << b->key.toStdString();
        EXPECT_EQ(b->chosen(), b->key == "text") << b->key.toStdString();
    }
    // A rebuild restores the chosen and enabled states.
    bar.isPinnedEditing = true;
    bar.rebuildButtons();
    EXPECT_TRUE(bar.button("text")->chosen());
    EXPECT_FALSE(bar.button("undo")->isEnabled());
    EXPECT_TRUE(bar.button("redo")->isEnabled());
}

TEST(CaptureToolbar, EmbeddedStripFrames)
{
    CaptureToolbar bar;
    auto* strip = new ToolProperties;
    strip->resize(300, 40);
    bar.embedProperties(strip);
    EXPECT_TRUE(strip->isEmbedded());
    EXPECT_EQ(strip->parentWidget(), &bar);
    EXPECT_EQ(bar.size(), QSize(728, 110));
    for (ToolButton* b : bar.buttons())
        EXPECT_EQ(frame(b).origin.y, 53) << b->key.toStdString();
    for (FilledLine* line : bar.separators())
        EXPECT_EQ(frame(line).origin.y, 63);
    EXPECT_EQ(frame(strip), Rect(11, 6, 300, 40));
    EXPECT_EQ(strip->geometry(), QRect(11, 64, 300, 40)) << "6 above the bar's bottom edge";
    EXPECT_EQ(bar.button("select")->geometry().top(), 10) << "the main row keeps its place under the top edge";
    ASSERT_TRUE(bar.propertySeparatorLine());
    EXPECT_EQ(*bar.propertySeparatorLine(), Rect(6, 49, 716, 1));

    // A wide strip widens the bar.
    strip->resize(800, 40);
    bar.layoutEmbeddedProperties();
    EXPECT_EQ(bar.size(), QSize(822, 110));

    strip->hide();
    bar.layoutEmbeddedProperties();
    EXPECT_EQ(bar.size(), QSize(728, 63));
    EXPECT_FALSE(bar.propertySeparatorLine());
    for (ToolButton* b : bar.buttons())
        EXPECT_EQ(frame(b).origin.y, 6);

    // Embedding the same strip again changes nothing; another replaces it.
    strip->show();
    bar.embedProperties(strip);
    EXPECT_EQ(bar.size(), QSize(822, 110));
    ToolProperties other;
    bar.embedProperties(&other);
    EXPECT_EQ(strip->parentWidget(), nullptr);
    delete strip;
    EXPECT_EQ(bar.embeddedProperties(), &other);
}

TEST(ToolProperties, ShapeStripLayout)
{
    ToolProperties strip;
    strip.configure(CaptureTool::shape, Annotation::Kind::ellipse, AnnotationStyle{.color = RGBA::Red, .width = 3});
    ASSERT_EQ(strip.shapeButtons().size(), 3u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(frame(strip.shapeButtons()[i]), Rect(39.0 * i, 6, 36, 35));
    EXPECT_TRUE(strip.shapeButtons()[1]->selected());
    ASSERT_EQ(strip.swatches().size(), 6u);
    // Options take 117 less 3, then a separator of 25.
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(frame(strip.swatches()[i]), Rect(139 + 29.0 * i, 9.5, 28, 28));
    EXPECT_TRUE(strip.swatches()[0]->selected());
    const Rect box = strip.fieldFrames().at(ToolProperties::FieldRole::width);
    EXPECT_EQ(box.origin.y, 11);
    EXPECT_EQ(box.size, (Size{43, 25}));
    EXPECT_EQ(frame(strip.field(ToolProperties::FieldRole::width)),
              Rect(box.origin.x + 2, 15, 23, 17));
    EXPECT_EQ(frame(strip.stepper(ToolProperties::FieldRole::width)), Rect(box.origin.x + 26, 13, 15, 21));
    EXPECT_EQ(strip.contentWidth(), box.maxX());
    EXPECT_EQ(strip.size(), QSize(int(box.maxX()), 47));
    EXPECT_EQ(strip.field(ToolProperties::FieldRole::width)->text(), "3");
    EXPECT_EQ(strip.cornerRadius(), 11) << "a strip of its own is rounded 11";
}

TEST(ToolProperties, NumberStripGrowsByTheExhaustionNotice)
{
    ToolProperties strip;
    strip.configure(CaptureTool::number, Annotation::Kind::number, AnnotationStyle{.color = RGBA::Red, .width = 2});
    const double content = strip.contentWidth();
    EXPECT_EQ(strip.width(), int(content));
    ASSERT_TRUE(strip.exhaustionLabel());
    EXPECT_TRUE(strip.exhaustionLabel()->isHidden());
    EXPECT_EQ(strip.fieldFrames().at(ToolProperties::FieldRole::number).size.width, 53);

    strip.setNumberContext(std::nullopt, std::nullopt, 24);
    EXPECT_FALSE(strip.exhaustionLabel()->isHidden());
    EXPECT_EQ(strip.width(), int(content + 157));
    EXPECT_EQ(strip.field(ToolProperties::FieldRole::number)->text(), "");
    const Rect notice = frame(strip.exhaustionLabel());
    EXPECT_EQ(notice.origin.x, content + 12);
    EXPECT_GE(notice.width(), 145);
}

TEST(ToolProperties, SliderStripsLayOutTheirBlocks)
{
    ToolProperties strip;
    strip.configure(CaptureTool::mosaic, Annotation::Kind::mosaic, AnnotationStyle{.mosaicSize = 16});
    EXPECT_TRUE(strip.swatches().empty()) << "no palette for the mosaic";
    ASSERT_TRUE(strip.slider());
    const Rect slider = frame(strip.slider());
    EXPECT_EQ(slider.size, (Size{130, 16}));
    EXPECT_EQ(slider.origin.y, 15.5);
    const Rect readout = frame(strip.numberLabel());
    EXPECT_EQ(readout.origin.x, slider.origin.x + 136);
    EXPECT_EQ(readout.width(), 40);
    EXPECT_EQ(strip.contentWidth(), readout.maxX());
    EXPECT_EQ(strip.numberLabel()->text(), "16");
    EXPECT_EQ(strip.slider()->minimum(), 8);
    EXPECT_EQ(strip.slider()->maximum(), 32);
}

TEST(CaptureHint, WidthComesFromTheMessageFontMetrics)
{
    CaptureHint pill;
    const QString initial = QStringLiteral("单击选取窗口 · 拖动自定义区域");
    EXPECT_EQ(pill.text(), initial);
    EXPECT_EQ(pill.objectName(), "capture-guidance");
    const auto textWidth = [](const QString& text) {
        return std::ceil(QFontMetricsF(CaptureHint::messageFont()).size(Qt::TextSingleLine, text).width()) + 4;
    };
    EXPECT_EQ(pill.height(), 34);
    EXPECT_EQ(pill.width(), int(13 + textWidth(initial) + 7 + 112));
    EXPECT_FALSE(pill.exitButton()->isHidden());
    EXPECT_EQ(pill.exitButton()->geometry(), QRect(pill.width() - 94, 5, 87, 24));
    EXPECT_EQ(pill.exitButton()->toolTip(), "退出截图（Esc）");

    const QString longer = QStringLiteral("松开确定截图范围");
    pill.configure(longer, false);
    EXPECT_TRUE(pill.exitButton()->isHidden());
    EXPECT_EQ(pill.width(), int(13 + textWidth(longer) + 7 + 6));
    EXPECT_EQ(pill.messageFrame().left(), 13);
    EXPECT_EQ(pill.messageFrame().width(), textWidth(longer));
}
