// The floating text editor on its own: input-method composition, the placeholder, Esc and
// Return, pasting, growth notices, the zoom of a pin, and its text landing on the pixels the
// renderer later draws. Renders into build/test-output/textview-*.png (looked at by eye).
#include "app/base/InterfaceColors.h"
#include "app/editor/CaptureTextView.h"
#include "app/editor/EditorDocument.h"
#include "app/editor/TextEntryLayout.h"
#include "app/editor/TextMarkCommit.h"
#include "rendering/AnnotationRenderer.h"
#include "rendering/Bitmap.h"
#include "editor/TextInputFixtures.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextCharFormat>

#include <gtest/gtest.h>

#include <cmath>

using namespace vorlith;
using namespace vorlith::test;

namespace {

// A parent that records the keys that reach it: the editor beneath the text view.
class Canvas : public QWidget {
public:
    std::vector<int> keys;

protected:
    void keyPressEvent(QKeyEvent* event) override { keys.push_back(event->key()); }
};

struct Stage {
    Canvas canvas;
    CaptureTextView* view = new CaptureTextView(&canvas);
    int cancels = 0;
    int changes = 0;

    explicit Stage(double scale = 1)
    {
        canvas.resize(600, 400);
        view->setScale(scale);
        view->setGeometry(20, 20, int(260 * scale), int(100 * scale));
        view->onTextChanged = [this] { ++changes; };
        canvas.show();
        view->setFocus();
    }
};

QImage renderOn(QWidget* widget, QColor backdrop)
{
    QImage image(widget->size(), QImage::Format_ARGB32_Premultiplied);
    image.fill(backdrop);
    QPainter painter(&image);
    widget->render(&painter, QPoint(), QRegion(), QWidget::DrawChildren);
    return image;
}

int countNear(const QImage& image, const QRect& region, const QColor& colour, int tolerance)
{
    int count = 0;
    const QRect within = region & image.rect();
    for (int y = within.top(); y <= within.bottom(); ++y)
        for (int x = within.left(); x <= within.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) <= tolerance && std::abs(c.green() - colour.green()) <= tolerance
                && std::abs(c.blue() - colour.blue()) <= tolerance)
                ++count;
        }
    return count;
}

TEST(CaptureTextView, ChineseComposedThroughAnInputMethodShowsThenCommitsAndEscDuringItDoesNotCancel)
{
    Stage stage;
    CaptureTextView& view = *stage.view;
    view.onCancel = [&] { ++stage.cancels; };
    EXPECT_TRUE(view.showsPlaceholder());

    const int before = stage.changes;
    compose(&view, QStringLiteral("zhong"));
    EXPECT_TRUE(view.hasMarkedText());
    EXPECT_FALSE(view.showsPlaceholder()) << "the placeholder hides while composing";
    EXPECT_EQ(view.text(), QString()) << "a composition is not text yet";
    EXPECT_EQ(view.displayedText(), QStringLiteral("zhong"));
    EXPECT_GT(stage.changes, before) << "the owner grows the editor with the composition";

    QTest::keyClick(&view, Qt::Key_Escape);
    EXPECT_EQ(stage.cancels, 0) << "Esc belongs to the input method while it composes";
    EXPECT_TRUE(stage.canvas.keys.empty()) << "and never reaches the editor beneath";

    compose(&view, QStringLiteral("中"));
    commitComposition(&view, QStringLiteral("中文"));
    EXPECT_FALSE(view.hasMarkedText());
    EXPECT_EQ(view.text(), QStringLiteral("中文"));
    EXPECT_FALSE(view.showsPlaceholder());

    // A composition abandoned by the input method (an empty preedit, nothing committed).
    compose(&view, QStringLiteral("wen"));
    compose(&view, QString());
    EXPECT_EQ(view.text(), QStringLiteral("中文"));
    EXPECT_FALSE(view.hasMarkedText());

    // Replacing the text drops a composition with it.
    compose(&view, QStringLiteral("zi"));
    view.setText(QStringLiteral("字"));
    EXPECT_FALSE(view.hasMarkedText());
    EXPECT_EQ(view.displayedText(), QStringLiteral("字"));

    // Without a composition Esc cancels, once.
    QTest::keyClick(&view, Qt::Key_Escape);
    EXPECT_EQ(stage.cancels, 1);
    EXPECT_TRUE(stage.canvas.keys.empty());
}

TEST(CaptureTextView, ThePlaceholderShowsOnlyWhileEmptyWithoutCompositionAndRepaintsAsThatChanges)
{
    Stage stage;
    CaptureTextView& view = *stage.view;
    const QRect placeholderArea(6, 4, 90, 16);
    const auto secondaryInk = [&] {
        return countNear(renderOn(&view, Qt::white), placeholderArea, InterfaceColors::secondary(), 40);
    };
    EXPECT_GT(secondaryInk(), 20) << "empty: the placeholder is drawn at the inset";
    compose(&view, QStringLiteral("hao"));
    EXPECT_EQ(secondaryInk(), 0) << "hidden while composing";
    compose(&view, QString());
    EXPECT_GT(secondaryInk(), 20) << "shown again when the composition ends empty";
    QTest::keyClicks(&view, QStringLiteral("x"));
    EXPECT_EQ(secondaryInk(), 0);
    QTest::keyClick(&view, Qt::Key_Backspace);
    EXPECT_TRUE(view.showsPlaceholder());
    EXPECT_GT(secondaryInk(), 20);
}

TEST(CaptureTextView, EscWithoutACancelHandlerIsStillConsumedAndReturnBreaksTheLine)
{
    Stage stage;
    CaptureTextView& view = *stage.view;
    QTest::keyClick(&view, Qt::Key_Escape);
    QTest::keyClick(&view, Qt::Key_F5); // a key the text has no use for
    EXPECT_TRUE(stage.canvas.keys.empty()) << "no key leaks to the editor beneath";

    QTest::keyClicks(&view, QStringLiteral("ab"));
    QTest::keyClick(&view, Qt::Key_Return);
    QTest::keyClicks(&view, QStringLiteral("c"));
    QTest::keyClick(&view, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(view.text(), QStringLiteral("ab\nc\n"));
    EXPECT_TRUE(stage.canvas.keys.empty());
    // Every new line keeps the fixed line height.
    for (QTextBlock block = view.document()->begin(); block.isValid(); block = block.next()) {
        EXPECT_EQ(block.blockFormat().lineHeightType(), int(QTextBlockFormat::FixedHeight));
        EXPECT_EQ(block.blockFormat().lineHeight(), 38.0);
    }

    // Undo takes the typing back.
    while (view.document()->isUndoAvailable())
        view.undo();
    EXPECT_EQ(view.text(), QString());
}

TEST(CaptureTextView, TextIsPlainWithLineBreaksNormalisedAndAnUnfinishedCompositionIsKept)
{
    Stage stage;
    CaptureTextView& view = *stage.view;
    view.setText(QStringLiteral("one\r\ntwo\rthree"));
    EXPECT_EQ(view.text(), QStringLiteral("one\ntwo\nthree"));
    EXPECT_FALSE(view.document()->isUndoAvailable()) << "the starting text is not an edit";
    EXPECT_EQ(view.textCursor().position(), view.text().size()) << "typing continues at the end";

    view.clear();
    QGuiApplication::clipboard()->setText(QStringLiteral("a\r\nb"));
    view.paste();
    EXPECT_EQ(view.text(), QStringLiteral("a\nb")) << "CR LF pasted is one line break, as the mark draws it";
    auto* rich = new QMimeData;
    rich->setHtml(QStringLiteral("<b>bold</b>"));
    rich->setText(QStringLiteral("bold"));
    QGuiApplication::clipboard()->setMimeData(rich);
    view.paste();
    EXPECT_EQ(view.text(), QStringLiteral("a\nbbold"));
    EXPECT_FALSE(view.document()->toHtml().contains(QStringLiteral("font-weight:700")));

    // A composition in the middle of the text is measured where it shows.
    view.setText(QStringLiteral("ab"));
    QTest::keyClick(&view, Qt::Key_Left);
    compose(&view, QStringLiteral("XY"));
    EXPECT_EQ(view.displayedText(), QStringLiteral("aXYb"));
    EXPECT_EQ(view.text(), QStringLiteral("ab"));
    view.unmarkText(); // no input method runs here: the composition is kept as typed
    EXPECT_FALSE(view.hasMarkedText());
    EXPECT_EQ(view.text(), QStringLiteral("aXYb"));
}

TEST(CaptureTextView, AtScaleTwoFontInsetAndLinesDoubleWhileTheBorderStaysOneViewPixel)
{
    Stage one(1), two(2);
    for (Stage* stage : {&one, &two})
        stage->view->setText(QStringLiteral("字"));
    EXPECT_EQ(one.view->lineHeight(), 38);
    EXPECT_EQ(two.view->lineHeight(), 76);
    const QFontMetricsF m1(one.view->textFont(), one.view);
    const QFontMetricsF m2(two.view->textFont(), two.view);
    EXPECT_NEAR(m2.horizontalAdvance(QStringLiteral("字")), 2 * m1.horizontalAdvance(QStringLiteral("字")), 0.1);

    // The border: one view pixel of fieldBorder at the top edge, at both scales.
    for (Stage* stage : {&one, &two}) {
        const QImage image = renderOn(stage->view, QColor(40, 60, 80));
        const QColor border = InterfaceColors::fieldBorder();
        const int x = image.width() / 2;
        EXPECT_LE(std::abs(image.pixelColor(x, 0).green() - border.green()), 12) << stage->view->scale();
        EXPECT_GT(image.pixelColor(x, 1).green(), 240) << "inside the border: the white body";
        EXPECT_EQ(image.pixelColor(0, 0), QColor(40, 60, 80)) << "rounded corners show what lies beneath";
    }
}

// Where the view's edge cuts the editor, its text scrolls with the insertion point while the
// box and its border stay where they are.
TEST(CaptureTextView, TextLongerThanTheEditorScrollsInsideAStillBox)
{
    Stage stage;
    CaptureTextView& view = *stage.view;
    view.resize(60, 70);
    const QImage before = renderOn(&view, QColor(40, 60, 80));
    QTest::keyClicks(&view, QStringLiteral("a long line of text"));
    EXPECT_GT(view.horizontalScrollBar()->value(), 0) << "the insertion point stays in view";
    EXPECT_FALSE(view.horizontalScrollBar()->isVisible());
    const QImage after = renderOn(&view, QColor(40, 60, 80));
    for (const QPoint& p : {QPoint(30, 0), QPoint(0, 35), QPoint(59, 35), QPoint(30, 69), QPoint(0, 0)})
        EXPECT_EQ(after.pixelColor(p), before.pixelColor(p)) << p.x() << "," << p.y();
}

// The text typed in the editor and the mark the renderer draws from it cover the same pixels:
// the box starts at the editor's origin and each line's ink (a tab included) matches within 1 pixel.
TEST(CaptureTextView, TypedTextLandsOnThePixelsTheRendererDraws)
{
    const QString text = QStringLiteral("Hg中\t文j\n好 fy 7");
    const AnnotationStyle style = EditorDocument::defaultStyle(CaptureTool::text);
    const Rect box = AnnotationRenderer::textBounds(text, {0, 0}, style.fontSize);
    const double line = std::ceil(28 * 1.35);
    for (double scale : {1.0, 1.5, 2.0}) {
        SCOPED_TRACE(scale);
        Stage stage(scale);
        CaptureTextView& view = *stage.view;
        view.setText(text);
        view.resize(QSizeF(box.width() * scale + 20, box.height() * scale + 20).toSize());
        const QImage typed = renderOn(&view, Qt::white);

        Annotation mark;
        mark.id = QUuid::createUuid();
        mark.kind = Annotation::Kind::text;
        mark.points = TextMarkCommit::boxPoints(text, {0, 0}, style.fontSize);
        mark.style = style;
        mark.text = text;
        const Size logical{box.width() + 20, box.height() + 20};
        QImage source = Bitmap::create(int(std::round(logical.width * scale)), int(std::round(logical.height * scale)));
        source.fill(Qt::white);
        const QImage drawn = AnnotationRenderer::render(source, logical, {mark});

        for (int i = 0; i < 2; ++i) {
            const QRect slot(0, int(std::floor((4 + i * line) * scale)), typed.width(),
                             int(std::ceil(line * scale)));
            SCOPED_TRACE(testing::Message() << "line " << i);
            expectSameInk(typed, drawn, slot);
        }
        saveTestImage(typed, QStringLiteral("textview-ink-typed-%1x").arg(scale));
        saveTestImage(drawn, QStringLiteral("textview-ink-drawn-%1x").arg(scale));
    }
}

void paintBackdrop(QPainter& painter, const QSize& size)
{
    painter.fillRect(QRect(QPoint(0, 0), size), QColor(58, 74, 92));
    for (int x = -size.height(); x < size.width(); x += 40)
        painter.fillRect(QRect(x, 0, 20, size.height()), QColor(96, 120, 88));
    painter.fillRect(QRect(0, size.height() / 2, size.width(), size.height() / 2), QColor(232, 228, 214));
}

QImage onBackdrop(CaptureTextView& view, int margin = 16)
{
    QImage image(view.size() + QSize(2 * margin, 2 * margin), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&image);
    paintBackdrop(painter, image.size());
    view.render(&painter, QPoint(margin, margin), QRegion(), QWidget::DrawChildren);
    return image;
}

// Every look of the editor, for the eye: empty with its placeholder, Chinese text, a
// composition in progress, at 1x and in a pin zoomed 2x; and an editor that gave way to the
// toolbar, beside the mark committed from it.
TEST(CaptureTextView, Gallery)
{
    for (double scale : {1.0, 2.0}) {
        const QString suffix = QStringLiteral("-%1x").arg(scale);
        Stage stage(scale);
        CaptureTextView& view = *stage.view;
        view.resize(QSizeF(180 * scale, 70 * scale).toSize());
        saveTestImage(onBackdrop(view), QStringLiteral("textview-empty") + suffix);
        compose(&view, QStringLiteral("zhong wen"));
        saveTestImage(onBackdrop(view), QStringLiteral("textview-composing") + suffix);
        commitComposition(&view, QStringLiteral("中文"));
        QTest::keyClicks(&view, QStringLiteral(" label"));
        QTest::keyClick(&view, Qt::Key_Return);
        commitComposition(&view, QStringLiteral("第二行 Ag"));
        const Rect box = AnnotationRenderer::textBounds(view.text(), {0, 0}, 28);
        view.resize(QSizeF(std::max(box.width() + 12, 180.0) * scale, std::max(box.height() + 12, 70.0) * scale).toSize());
        saveTestImage(onBackdrop(view), QStringLiteral("textview-chinese") + suffix);
    }

    // A text begun left of the toolbar: the editor ends 8 points before it.
    const Rect bounds(0, 0, 560, 240);
    const Rect toolbar(300, 96, 200, 44);
    Stage stage;
    CaptureTextView& view = *stage.view;
    view.setText(QStringLiteral("说明"));
    const Rect box = AnnotationRenderer::textBounds(view.text(), {0, 0}, 28);
    const auto placed = TextEntryLayout::layout(
        {.bounds = bounds, .scale = 1, .textOrigin = {160, 80}, .textBox = box.size, .toolbar = toolbar});
    EXPECT_EQ(placed.frame.maxX(), toolbar.minX() - 8);
    view.resize(toQRectF(placed.frame).size().toSize());

    QImage scene(QSize(int(bounds.width()), int(bounds.height()) * 2), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&scene);
    paintBackdrop(painter, QSize(int(bounds.width()), int(bounds.height())));
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(32, 39, 33, 40), 1));
    painter.setBrush(QColor(250, 251, 248));
    painter.drawRoundedRect(toQRectF(toolbar), 13, 13);
    painter.setPen(QPen(Qt::white, 1, Qt::DashLine));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(160, 80, 180, 70)); // where it would have stood
    view.render(&painter, toQRectF(placed.frame).topLeft().toPoint(), QRegion(), QWidget::DrawChildren);

    // Below: the mark committed from it, drawn by the renderer on the same backdrop.
    QImage source = Bitmap::create(int(bounds.width()), int(bounds.height()));
    {
        QPainter backdrop(&source);
        paintBackdrop(backdrop, source.size());
    }
    const auto committed = TextMarkCommit::apply({.text = view.text(), .textOrigin = {160, 80},
                                                  .shownOrigin = placed.frame.origin,
                                                  .style = EditorDocument::defaultStyle(CaptureTool::text)});
    painter.drawImage(QPointF(0, bounds.height()),
                      AnnotationRenderer::render(source, bounds.size, committed.marks));
    painter.end();
    saveTestImage(scene, QStringLiteral("textview-toolbar-avoidance"));
}

} // namespace
