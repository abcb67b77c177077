// Text typed in the editor view, driven with QTest on the offscreen platform: a press with the
// text tool opens the floating editor, typing (keys and input-method compositions) fills it,
// a press elsewhere commits it as a text mark, Esc cancels. Renders into
// build/test-output/editor-text-*.png (looked at by eye).
#include "app/editor/CaptureTextView.h"
#include "app/editor/TextEntryLayout.h"
#include "app/editor/chrome/CaptureToolbar.h"
#include "app/editor/chrome/ToolProperties.h"
#include "editor/HostViewFixture.h"
#include "editor/TextInputFixtures.h"
#include "rendering/AnnotationRenderer.h"

#include <QInputMethodEvent>
#include <QLabel>
#include <QTest>
#include <QTextCharFormat>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

QPoint viewPoint(const EditorHostView& view, Point p)
{
    return view.documentToView().map(toQPointF(p)).toPoint();
}

void click(EditorHostView& view, Point p)
{
    QTest::mouseClick(&view, Qt::LeftButton, {}, viewPoint(view, p));
}

void doubleClick(EditorHostView& view, Point p)
{
    click(view, p);
    QTest::mouseDClick(&view, Qt::LeftButton, {}, viewPoint(view, p));
}

// A text mark as a commit leaves it: the default text style, points spanning its box.
Annotation committedText(const QString& text, Point at)
{
    const AnnotationStyle style = EditorDocument::defaultStyle(CaptureTool::text);
    const Rect box = AnnotationRenderer::textBounds(text, at, style.fontSize);
    return {QUuid::createUuid(), Annotation::Kind::text, {box.origin, {box.maxX(), box.maxY()}}, style, text, 1};
}

struct TextStage {
    HostViewFixture f;
    std::unique_ptr<EditorHostView> view;
    int changes = 0;

    explicit TextStage(const Rect& selection = Rect(100, 100, 1200, 700), std::vector<Annotation> marks = {})
    {
        f.commitSelection(selection);
        if (!marks.empty())
            f.commitMarks(std::move(marks));
        f.document->tool = CaptureTool::text;
        view.reset(f.make());
        view->onContentChanged = [this] { ++changes; };
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }
    CaptureTextView* editor() const { return view->textEditor(); }
    const std::vector<Annotation>& marks() const { return f.document->session.annotations(); }
    void type(const QString& keys) const { QTest::keyClicks(editor(), keys); }
};

} // namespace

TEST(EditorTextEntry, APressWithTheTextToolOpensTheEditorAndAPressElsewhereCommitsIt)
{
    TextStage s;
    click(*s.view, {300, 200});
    CaptureTextView* editor = s.editor();
    ASSERT_TRUE(editor);
    EXPECT_EQ(s.view->textScroll(), editor);
    EXPECT_EQ(editor->geometry().topLeft(), QPoint(300, 200));
    EXPECT_GE(editor->width(), 180);
    EXPECT_TRUE(runUntil([&] { return editor->hasFocus(); }));
    EXPECT_EQ(s.f.document->session.phase(), EditorSession::Phase::draft(EditorSession::EditKind::text));

    s.type(QStringLiteral("Hello"));
    // Return twice: a blank line. (Qt's own Return on an empty line with a fixed line height
    // only resets the line's format.)
    QTest::keyClick(editor, Qt::Key_Return);
    QTest::keyClick(editor, Qt::Key_Return);
    EXPECT_EQ(editor->text(), QStringLiteral("Hello\n\n"));
    click(*s.view, {900, 600}); // only commits: no new text there
    EXPECT_FALSE(s.editor());
    ASSERT_EQ(s.marks().size(), 1u);
    const Annotation& mark = s.marks().front();
    EXPECT_EQ(mark.kind, Annotation::Kind::text);
    EXPECT_EQ(mark.text, QStringLiteral("Hello\n\n")); // trailing line breaks kept
    EXPECT_EQ(mark.bounds(), AnnotationRenderer::textBounds(mark.text, {300, 200}, 28));
    EXPECT_EQ(s.f.document->selectedMarkID, mark.id);
    EXPECT_EQ(s.f.document->session.document()->content().annotations.size(), 1u);
    EXPECT_EQ(s.changes, 1);
    EXPECT_TRUE(s.view->hasFocus());
}

TEST(EditorTextEntry, BlankTextAddsNoMarkAndEmptyingAnExistingTextRemovesIt)
{
    const Annotation a = boxMark(Rect(600, 500, 40, 40));
    const Annotation text = committedText(QStringLiteral("旧文字"), {300, 200});
    const Annotation b = boxMark(Rect(700, 500, 40, 40));
    TextStage s(Rect(100, 100, 1200, 700), {a, text, b});

    click(*s.view, {400, 400});
    ASSERT_TRUE(s.editor());
    s.type(QStringLiteral("  "));
    QTest::keyClick(s.editor(), Qt::Key_Return);
    click(*s.view, {900, 650});
    EXPECT_FALSE(s.editor());
    EXPECT_EQ(s.marks(), (std::vector<Annotation>{a, text, b}));

    // A double click on the text edits it: the editor shows its text, the mark leaves the picture.
    doubleClick(*s.view, {310, 210});
    ASSERT_TRUE(s.editor());
    EXPECT_EQ(s.editor()->text(), QStringLiteral("旧文字"));
    EXPECT_EQ(s.view->visibleMarks(), (std::vector<Annotation>{a, b}));
    s.editor()->selectAll();
    QTest::keyClick(s.editor(), Qt::Key_Delete);
    s.type(QStringLiteral(" "));
    click(*s.view, {900, 650});
    EXPECT_EQ(s.marks(), (std::vector<Annotation>{a, b}));
    EXPECT_FALSE(s.f.document->selectedMarkID);
}

TEST(EditorTextEntry, EditingKeepsTheMarksIdAndPlaceAmongTheMarksANewTextGoesOnTop)
{
    const Annotation a = boxMark(Rect(600, 500, 40, 40));
    const Annotation text = committedText(QStringLiteral("one"), {300, 200});
    const Annotation b = boxMark(Rect(700, 500, 40, 40));
    TextStage s(Rect(100, 100, 1200, 700), {a, text, b});
    doubleClick(*s.view, {310, 210});
    ASSERT_TRUE(s.editor());
    s.type(QStringLiteral(" two"));
    click(*s.view, {900, 650});
    ASSERT_EQ(s.marks().size(), 3u);
    EXPECT_EQ(s.marks()[1].id, text.id);
    EXPECT_EQ(s.marks()[1].text, QStringLiteral("one two"));
    EXPECT_EQ(s.marks()[1].bounds().origin, text.bounds().origin);

    click(*s.view, {800, 300});
    s.type(QStringLiteral("new"));
    click(*s.view, {900, 650});
    ASSERT_EQ(s.marks().size(), 4u);
    EXPECT_EQ(s.marks()[3].text, QStringLiteral("new"));
}

TEST(EditorTextEntry, ARefusedCommitLeavesTheEditorOpenWithItsText)
{
    TextStage s;
    click(*s.view, {300, 200});
    s.type(QStringLiteral("keep me"));
    bool refuse = true;
    s.f.document->canCommitSession = [&](const EditorSession&) { return !refuse; };
    click(*s.view, {900, 600});
    ASSERT_TRUE(s.editor());
    EXPECT_EQ(s.editor()->text(), QStringLiteral("keep me"));
    EXPECT_TRUE(s.marks().empty());
    EXPECT_EQ(s.view->feedbackLabel()->text(),
              QStringLiteral("内存预算不足，文字输入已保留，请缩短内容或关闭其他贴图后重试。"));
    EXPECT_TRUE(runUntil([&] { return s.editor()->hasFocus(); }));
    EXPECT_EQ(s.changes, 0);
    refuse = false;
    click(*s.view, {900, 600});
    EXPECT_FALSE(s.editor());
    ASSERT_EQ(s.marks().size(), 1u);
    EXPECT_EQ(s.marks().front().text, QStringLiteral("keep me"));
}

TEST(EditorTextEntry, ChineseComposedThroughAnInputMethodCommitsAndEscDuringTheCompositionDoesNotCancel)
{
    TextStage s;
    const Annotation edited = committedText(QStringLiteral("旧"), {500, 400});
    s.f.commitMarks({edited});
    click(*s.view, {300, 200});
    CaptureTextView* editor = s.editor();
    ASSERT_TRUE(editor);
    compose(editor, QStringLiteral("ni"));
    const int narrow = editor->width();
    compose(editor, QStringLiteral("nihaoshijiezhongwenshurufa"));
    EXPECT_GE(editor->width(), narrow); // grows with the composition
    QTest::keyClick(editor, Qt::Key_Escape);
    ASSERT_EQ(s.editor(), editor); // Esc went to the composition
    commitComposition(editor, QStringLiteral("你好世界"));
    click(*s.view, {900, 600});
    ASSERT_EQ(s.marks().size(), 2u);
    EXPECT_EQ(s.marks()[1].text, QStringLiteral("你好世界"));

    // Esc without a composition cancels: an edited mark comes back unchanged.
    doubleClick(*s.view, {505, 405});
    ASSERT_TRUE(s.editor());
    s.type(QStringLiteral("xyz"));
    QTest::keyClick(s.editor(), Qt::Key_Escape);
    EXPECT_FALSE(s.view->textEditor());
    EXPECT_EQ(s.marks()[0], edited);
    EXPECT_EQ(s.view->visibleMarks().size(), 2u);
    EXPECT_FALSE(s.f.document->session.hasDraft());
    EXPECT_TRUE(s.view->hasFocus());
}

// A new text begun near the right or bottom edge is shown pulled inward; it is committed where
// it was shown, inside the image.
TEST(EditorTextEntry, ATextBegunNearAnEdgeIsCommittedWhereTheEditorShowedIt)
{
    struct Case {
        Point press;
        QPoint shown; // 40 view pixels inside the bounds inset by 8
    };
    for (const Case c : {Case{{1425, 300}, {1392, 300}}, Case{{60, 885}, {60, 852}}, Case{{1425, 885}, {1392, 852}}}) {
        SCOPED_TRACE(testing::Message() << c.press.x << "," << c.press.y);
        TextStage s(Rect(0, 0, 1440, 900));
        // Out of the way of the presses at the edges (which stay clear of the selection's
        // handles and edge bands).
        s.view->toolbar()->hide();
        const QWidget* hit = s.view->childAt(viewPoint(*s.view, c.press));
        ASSERT_TRUE(!hit || hit->testAttribute(Qt::WA_TransparentForMouseEvents)) << hit->metaObject()->className();
        click(*s.view, c.press);
        CaptureTextView* editor = s.editor();
        ASSERT_TRUE(editor);
        EXPECT_EQ(editor->geometry().topLeft(), c.shown);
        s.type(QStringLiteral("edge"));
        click(*s.view, {600, 400});
        ASSERT_EQ(s.marks().size(), 1u);
        const Rect box = s.marks().front().bounds();
        EXPECT_EQ(box.origin, (Point{double(c.shown.x()), double(c.shown.y())}));
    }
}

// The text typed in the editor and the mark committed from it cover the same pixels: the
// committed box starts at the editor's text origin and the glyph ink matches within 1 pixel,
// on a capture overlay and in a pin zoomed 1.5 and 2 times.
TEST(EditorTextEntry, TheCommittedTextLandsOnThePixelsTheEditorShowed)
{
    const QString text = QStringLiteral("Hg中文j\n好 fy");
    for (double scale : {1.0, 1.5, 2.0}) {
        SCOPED_TRACE(scale);
        HostViewFixture f(solidImage(QSize(600, 400), QColor(230, 236, 244)), Size{600, 400});
        f.commitSelection(Rect(0, 0, 600, 400));
        f.document->tool = CaptureTool::text;
        std::unique_ptr<EditorHostView> view(f.make(scale != 1));
        if (scale != 1)
            view->setViewScale(scale);
        view->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        const Point at{120, 80};
        click(*view, at);
        CaptureTextView* editor = view->textEditor();
        ASSERT_TRUE(editor);
        EXPECT_EQ(editor->scale(), scale);
        EXPECT_EQ(editor->geometry().topLeft(), viewPoint(*view, at));
        // Latin from the keyboard, Chinese committed by an input method.
        QTest::keyClicks(editor, QStringLiteral("Hg"));
        compose(editor, QStringLiteral("zhongwen"));
        commitComposition(editor, QStringLiteral("中文"));
        QTest::keyClicks(editor, QStringLiteral("j"));
        QTest::keyClick(editor, Qt::Key_Return);
        commitComposition(editor, QStringLiteral("好"));
        QTest::keyClicks(editor, QStringLiteral(" fy"));
        ASSERT_EQ(editor->text(), text);
        const QImage typed = renderedView(*view);
        const Rect box = AnnotationRenderer::textBounds(text, at, 28);
        const QRect region = toQRectF(Rect(box.origin, box.size)).adjusted(-4, -4, 4, 4).toAlignedRect();

        view->setFocus();
        click(*view, {500, 350});
        ASSERT_FALSE(view->textEditor());
        ASSERT_EQ(f.document->session.annotations().size(), 1u);
        EXPECT_EQ(f.document->session.annotations().front().bounds(), box);
        ASSERT_TRUE(runUntil([&] { return f.document->compositor().cachedMarks() == view->visibleMarks(); }));
        const QImage drawn = renderedView(*view);

        const double line = std::ceil(28 * 1.35);
        for (int i = 0; i < 2; ++i) {
            QRect slot(QPointF(region.left() * scale, (box.minY() + 4 + i * line) * scale).toPoint(),
                       QSize(int(region.width() * scale), int(std::ceil(line * scale))));
            SCOPED_TRACE(testing::Message() << "line " << i);
            expectSameInk(typed, drawn, slot);
        }
        saveTestImage(typed.copy(typed.rect() & QRect(0, 0, int(400 * scale), int(250 * scale))),
                      QStringLiteral("editor-text-typed-%1x").arg(scale));
        saveTestImage(drawn.copy(drawn.rect() & QRect(0, 0, int(400 * scale), int(250 * scale))),
                      QStringLiteral("editor-text-committed-%1x").arg(scale));
    }
}

TEST(EditorTextEntry, ARestyledTextMarkRefitsItsBox)
{
    TextStage s(Rect(100, 100, 1200, 700), {committedText(QStringLiteral("abc"), {300, 200})});
    std::vector<Annotation> marks = s.marks();
    marks[0].style.fontSize = 48;
    s.f.document->session.beginEdit(EditorSession::EditKind::style);
    s.f.document->session.setAnnotations(marks);
    EditorHostViewProbe::resizeTextMark(*s.view, 0);
    EXPECT_EQ(s.marks()[0].bounds(), AnnotationRenderer::textBounds(QStringLiteral("abc"), {300, 200}, 48));
}

TEST(EditorTextEntry, ZoomingAPinWhileTypingScalesTheEditorWithThePicture)
{
    HostViewFixture f(solidImage(QSize(600, 400)), Size{600, 400});
    f.commitSelection(Rect(0, 0, 600, 400));
    f.document->tool = CaptureTool::text;
    std::unique_ptr<EditorHostView> view(f.make(true));
    view->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    click(*view, {100, 80});
    ASSERT_TRUE(view->textEditor());
    QTest::keyClicks(view->textEditor(), QStringLiteral("zoom"));
    const QSize before = view->textEditor()->size();
    view->setViewScale(2);
    EXPECT_EQ(view->textEditor()->scale(), 2);
    EXPECT_EQ(view->textEditor()->geometry().topLeft(), QPoint(200, 160));
    EXPECT_EQ(view->textEditor()->width(), before.width() * 2); // its height may end above the toolbar
    click(*view, {500, 350});
    ASSERT_EQ(f.document->session.annotations().size(), 1u);
    EXPECT_EQ(f.document->session.annotations().front().bounds().origin, (Point{100, 80}));
}
