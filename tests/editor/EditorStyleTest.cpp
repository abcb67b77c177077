// The property strip's requests in the editor view: style, shape and marker changes, their
// previews, and the two mark operations the pointer code uses.
#include "app/editor/TextMarkCommit.h"
#include "editor/HostViewFixture.h"

#include <QLabel>

using namespace vorlith;
using namespace vorlith::test;
using Kind = Annotation::Kind;

namespace {

const Rect selection(100, 100, 400, 300);

struct StyleFixture {
    HostViewFixture f;
    std::unique_ptr<EditorHostView> view;
    std::vector<Annotation> marks;

    explicit StyleFixture(std::vector<Annotation> initial)
    {
        f.commitSelection(selection);
        f.commitMarks(initial);
        marks = std::move(initial);
        view.reset(f.make());
    }

    const CaptureDocument& document() const { return *f.document->session.document(); }
    const Annotation& draftMark(size_t i) const { return f.document->session.annotations().at(i); }
    size_t undoSteps() const { return document().undoStack().size(); }
};

Annotation shapeMark(Kind kind, const Rect& r = Rect(150, 150, 80, 60))
{
    return {QUuid::createUuid(), kind, {r.origin, {r.maxX(), r.maxY()}}, plainStyle, QString(), 1};
}

} // namespace

TEST(EditorStyle, PickingAMarkerTakesTheNumberToolButNotItsStyle)
{
    AnnotationStyle big = plainStyle;
    big.color = RGBA{0, 0, 1, 1};
    const Annotation marker = Annotation::numbered(3, {200, 200}, 40, big);
    StyleFixture s({marker});
    const AnnotationStyle before = s.f.document->styles.value(CaptureTool::number);
    s.view->chooseStyle(marker);
    EXPECT_EQ(s.f.document->tool, CaptureTool::number);
    EXPECT_TRUE(s.view->propertiesOpen());
    EXPECT_EQ(s.f.document->styles.value(CaptureTool::number), before);

    // Nothing selected: only markers to come get the new diameter.
    s.view->changeDiameter(36);
    EXPECT_EQ(s.f.document->styles.value(CaptureTool::number).fontSize, 36);
    EXPECT_EQ(s.draftMark(0), marker);
    EXPECT_EQ(s.undoSteps(), 1u);
}

TEST(EditorStyle, PickingAShapeTakesItsToolKindAndStyle)
{
    AnnotationStyle blue = plainStyle;
    blue.color = RGBA{0, 0, 1, 1};
    Annotation ellipse = shapeMark(Kind::ellipse);
    ellipse.style = blue;
    StyleFixture s({ellipse});
    s.view->chooseStyle(ellipse);
    EXPECT_EQ(s.f.document->tool, CaptureTool::shape);
    EXPECT_EQ(s.f.document->shapeKind, Shape::ellipse);
    EXPECT_EQ(s.f.document->styles.value(CaptureTool::shape), blue);
}

TEST(EditorStyle, ASelectedMarkersNewDiameterKeepsItsCentreAndCommits)
{
    const Annotation marker = Annotation::numbered(1, {200, 210}, 24, plainStyle);
    StyleFixture s({marker});
    s.f.document->selectedMarkID = marker.id;
    s.view->changeDiameter(50);
    const Rect box = s.draftMark(0).bounds();
    EXPECT_EQ(box, Rect(175, 185, 50, 50));
    EXPECT_EQ(s.document().content().annotations.front().bounds(), box);
    EXPECT_EQ(s.undoSteps(), 2u);
}

TEST(EditorStyle, ASliderDragPreviewsEveryStepAndCommitsOnceOnRelease)
{
    Annotation highlight = shapeMark(Kind::highlight);
    StyleFixture s({highlight});
    s.f.document->tool = CaptureTool::highlight;
    s.f.document->selectedMarkID = highlight.id;
    AnnotationStyle style = highlight.style;
    for (double opacity : {0.9, 0.7, 0.5}) {
        style.opacity = opacity;
        s.view->changeStyle(style, Kind::highlight, true);
        EXPECT_EQ(s.draftMark(0).style.opacity, opacity);
        EXPECT_EQ(s.document().content().annotations.front().style.opacity, highlight.style.opacity);
        EXPECT_EQ(s.undoSteps(), 1u);
    }
    ASSERT_TRUE(runUntil([&] { return s.f.document->compositor().cachedMarks() == s.f.document->session.annotations(); }));
    style.opacity = 0.4;
    s.view->changeStyle(style, Kind::highlight, false);
    EXPECT_EQ(s.document().content().annotations.front().style.opacity, 0.4);
    EXPECT_EQ(s.undoSteps(), 2u);
    EXPECT_FALSE(s.f.document->session.hasDraft());
    EXPECT_EQ(s.f.document->styles.value(CaptureTool::highlight).opacity, 0.4);
}

TEST(EditorStyle, AMemoryRefusalOfARestyleKeepsTheCommittedMark)
{
    Annotation pen = penMark(150, 150);
    StyleFixture s({pen});
    s.f.document->tool = CaptureTool::pen;
    s.f.document->selectedMarkID = pen.id;
    s.f.document->canCommitSession = [](const EditorSession&) { return false; };
    AnnotationStyle wide = pen.style;
    wide.width = 12;
    s.view->changeStyle(wide, Kind::pen, false);
    EXPECT_EQ(s.draftMark(0).style.width, pen.style.width);
    EXPECT_EQ(s.view->feedbackLabel()->text(), QStringLiteral("内存预算不足，本次修改未提交，已有内容已保留。"));
}

TEST(EditorStyle, ANewFontSizeRefitsASelectedTextAtItsTopLeft)
{
    const QString text = QStringLiteral("标注 text");
    Annotation mark{QUuid::createUuid(), Kind::text, TextMarkCommit::boxPoints(text, {160, 170}, 20), plainStyle, text, 1};
    StyleFixture s({mark});
    s.f.document->tool = CaptureTool::text;
    s.f.document->selectedMarkID = mark.id;
    AnnotationStyle larger = mark.style;
    larger.fontSize = 40;
    s.view->changeStyle(larger, Kind::text, false);
    const Annotation& refit = s.document().content().annotations.front();
    EXPECT_EQ(refit.points, TextMarkCommit::boxPoints(text, {160, 170}, 40));
    EXPECT_EQ(refit.bounds().origin, (Point{160, 170}));
    EXPECT_GT(refit.bounds().width(), mark.bounds().width() * 1.5);
}

TEST(EditorStyle, TheStripsShapeChoiceDeselectsButItsStyleCallbackReshapesTheSelection)
{
    const Annotation rectangle = shapeMark(Kind::roundedRectangle);
    StyleFixture s({rectangle});
    s.f.document->tool = CaptureTool::shape;
    s.f.document->selectedMarkID = rectangle.id;
    s.view->changeStyle(rectangle.style, Kind::ellipse, false);
    EXPECT_EQ(s.document().content().annotations.front().kind, Kind::ellipse);
    EXPECT_EQ(s.f.document->shapeKind, Shape::ellipse);

    s.view->chooseShape(Kind::line);
    EXPECT_FALSE(s.f.document->selectedMarkID);
    EXPECT_EQ(s.f.document->shapeKind, Shape::line);
    EXPECT_EQ(s.document().content().annotations.front().kind, Kind::ellipse);
}

TEST(EditorStyle, MarkerNumbers)
{
    const Annotation marker = Annotation::numbered(1, {200, 200}, 24, plainStyle);
    StyleFixture s({marker});
    s.view->changeNumber(7);
    EXPECT_EQ(s.f.document->session.nextNumber(), 7);

    // The strip edits the selected marker's number once one is selected.
    s.f.document->tool = CaptureTool::number;
    s.f.document->selectedMarkID = marker.id;
    ASSERT_TRUE(s.view->refresh());
    s.view->changeNumber(5);
    EXPECT_EQ(s.document().content().annotations.front().number, 5);

    // During a gesture nothing changes.
    s.view->setGesture(gesture::PinMove{{0, 0}});
    s.view->changeNumber(9);
    EXPECT_EQ(s.document().content().annotations.front().number, 5);
    s.view->setGesture(std::nullopt);

    // A refusal by the session or the gate keeps the numbers and says so.
    s.view->changeNumber(1000);
    EXPECT_EQ(s.document().content().annotations.front().number, 5);
    EXPECT_EQ(s.view->feedbackLabel()->text(), QStringLiteral("无法提交编号，已有内容已保留。"));
    s.f.document->canCommitSession = [](const EditorSession&) { return false; };
    s.view->changeNumber(6);
    EXPECT_EQ(s.document().content().annotations.front().number, 5);
}

TEST(EditorStyle, ReplacePutsAMarkBackInItsPlaceAndIgnoresAStranger)
{
    const Annotation a = penMark(120, 120), b = penMark(150, 150);
    StyleFixture s({a, b});
    Annotation moved = a.moved(Size{10, 0});
    s.view->replace(moved);
    EXPECT_EQ(s.f.document->session.annotations(), (std::vector<Annotation>{moved, b}));
    s.view->replace(penMark(0, 0));
    EXPECT_EQ(s.f.document->session.annotations().size(), 2u);
}
