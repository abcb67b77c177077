// The arithmetic of text entry without any widget: where the editor stands while a text is
// typed (area, pulled-in origin, size, toolbar avoidance) and what committing it does to the
// marks.
#include "app/editor/EditorDocument.h"
#include "app/editor/TextEntryLayout.h"
#include "app/editor/TextMarkCommit.h"
#include "rendering/AnnotationRenderer.h"

#include <gtest/gtest.h>

#include <ostream>

using namespace vorlith;

namespace vorlith {
void PrintTo(const Rect& r, std::ostream* os)
{
    *os << "(" << r.origin.x << ", " << r.origin.y << ", " << r.size.width << ", " << r.size.height << ")";
}
void PrintTo(const Point& p, std::ostream* os)
{
    *os << "(" << p.x << ", " << p.y << ")";
}
void PrintTo(const Size& s, std::ostream* os)
{
    *os << s.width << " x " << s.height;
}
} // namespace vorlith

namespace {

const Rect view(0, 0, 800, 600);
// The box of an empty text at 28 (12 wide, one line of 38 + 8): the layout only reads its size.
const Size emptyBox{12, 46};

TEST(TextEntryLayout, AreaIsTheBoundsInsetByAQuarterOfTheShorterSideAtMostEightViewPixels)
{
    struct Case {
        Rect bounds;
        double scale;
        Rect area;
    } cases[] = {
        {view, 1, Rect(8, 8, 784, 584)},
        {view, 2, Rect(4, 4, 792, 592)},          // 8 view pixels are 4 points at 2×
        {view, 0.5, Rect(16, 16, 768, 568)},
        {Rect(0, 0, 20, 100), 1, Rect(5, 5, 10, 90)}, // a quarter of 20
        {Rect(100, 50, 400, 300), 1, Rect(108, 58, 384, 284)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextEntryLayout::area(c.bounds, c.scale), c.area) << c.scale;
}

TEST(TextEntryLayout, OriginIsPulledInSoFortyViewPixelsOfTheTextStayInside)
{
    struct Case {
        Point textOrigin;
        double scale;
        Point origin;
    } cases[] = {
        {{100, 120}, 1, {100, 120}},
        {{790, 300}, 1, {752, 300}},  // 10 points from the right edge: 40 stay inside the area
        {{300, 595}, 1, {300, 552}},  // near the bottom
        {{799, 599}, 1, {752, 552}},
        {{790, 300}, 2, {776, 300}},  // 20 points at 2×, inside an area inset by 4
        {{-30, 2}, 1, {8, 8}},        // before the area: its near edge
    };
    for (const Case& c : cases) {
        const Rect area = TextEntryLayout::area(view, c.scale);
        EXPECT_EQ(TextEntryLayout::origin(area, c.textOrigin, c.scale), c.origin)
            << c.textOrigin.x << "," << c.textOrigin.y << " at " << c.scale;
    }
    // An area narrower than 40: the origin is its near edge, not outside it.
    const Rect narrow = TextEntryLayout::area(Rect(0, 0, 30, 30), 1);
    EXPECT_EQ(TextEntryLayout::origin(narrow, {20, 20}, 1), (Point{7.5, 7.5}));
}

TEST(TextEntryLayout, SizeFollowsTheTextBoxWithinTheAreaAndNeverBelowTheMinimumWhereRoomAllows)
{
    const Rect area = TextEntryLayout::area(view, 1); // (8, 8) to (792, 592)
    struct Case {
        Point origin;
        Size box;
        Size size;
    } cases[] = {
        {{100, 100}, emptyBox, {180, 70}},        // an empty text still offers 180 × 70
        {{100, 100}, {400, 122}, {412, 134}},     // a large text: its box and 12 of slack
        {{752, 100}, {400, 46}, {40, 70}},        // the area's edge cuts it
        {{100, 560}, {100, 200}, {180, 32}},
        {{792, 592}, {100, 46}, {0, 0}},          // at the far corner: nothing, never negative
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextEntryLayout::size(area, c.origin, c.box), c.size) << c.origin.x << "," << c.origin.y;
}

TEST(TextEntryLayout, TheEditorClearsTheToolbarWhenAFortyByFortyPieceRemains)
{
    const Rect frame(100, 100, 180, 70);
    struct Case {
        const char* what;
        Rect toolbar;
        double scale;
        Size size;
    } cases[] = {
        {"apart: unchanged", Rect(500, 400, 200, 40), 1, {180, 70}},
        {"to the right: ends left of it", Rect(200, 120, 100, 40), 1, {92, 70}},
        {"below: ends above it", Rect(90, 150, 300, 40), 1, {180, 42}},
        {"both fit: the larger area", Rect(240, 150, 100, 100), 1, {132, 70}},
        {"a tie: ending left of it", Rect(252, 164, 100, 100), 1, {144, 70}},
        {"over the origin: left overlapping", Rect(90, 90, 50, 50), 1, {180, 70}},
        {"a piece under 40: left overlapping", Rect(135, 100, 100, 20), 1, {180, 70}},
        {"8 view pixels of clearance at 1x", Rect(285, 100, 50, 50), 1, {177, 70}},
        {"only 4 points of clearance at 2x", Rect(285, 100, 50, 50), 2, {180, 70}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextEntryLayout::avoidingToolbar(frame, c.toolbar, c.scale), c.size) << c.what;
}

TEST(TextEntryLayout, LayoutPutsTheStepsTogetherAndTheContentHoldsTheWholeText)
{
    // A long text begun near the right edge: the frame is cut at the area, the content is not.
    TextEntryLayout::Input input{.bounds = view, .scale = 1, .textOrigin = {790, 300}, .textBox = {300, 46}};
    auto placed = TextEntryLayout::layout(input);
    EXPECT_EQ(placed.frame, Rect(752, 300, 40, 70));
    EXPECT_EQ(placed.contentSize, (Size{312, 70}));

    // The toolbar right of a new text: the frame ends before it and still holds the text.
    input = {.bounds = view, .scale = 1, .textOrigin = {100, 100}, .textBox = emptyBox,
             .toolbar = Rect(200, 120, 100, 40)};
    placed = TextEntryLayout::layout(input);
    EXPECT_EQ(placed.frame, Rect(100, 100, 92, 70));
    EXPECT_EQ(placed.contentSize, (Size{92, 70}));

    // In a pin zoomed 2× the view's bounds are the document's points; the margins shrink.
    input = {.bounds = Rect(0, 0, 400, 300), .scale = 2, .textOrigin = {395, 295}, .textBox = emptyBox};
    placed = TextEntryLayout::layout(input);
    EXPECT_EQ(placed.frame, Rect(376, 276, 20, 20));
}

TEST(TextEntryLayout, KeepingTheWholeTextPullsItInAsItGrowsWhereItFits)
{
    struct Case {
        const char* what;
        Rect bounds;
        double scale;
        Point textOrigin;
        Size textBox;
        Rect frame;
    };
    const Case cases[] = {
        {"a long text begun 80 from the right edge", Rect(0, 0, 480, 300), 1, {400, 120}, {300, 38},
         Rect(160, 120, 312, 70)},
        {"an empty text stays where it was begun", Rect(0, 0, 480, 300), 1, {400, 120}, {0, 38}, Rect(400, 120, 72, 70)},
        {"wider than the image: all of it, scrolling", Rect(0, 0, 140, 90), 1, {60, 30}, {300, 38},
         Rect(8, 30, 124, 52)},
        {"two lines begun near the bottom", Rect(0, 0, 480, 300), 1, {100, 280}, {100, 76}, Rect(100, 204, 180, 88)},
        {"zoomed 2x: document points, margins halved", Rect(0, 0, 400, 300), 2, {300, 100}, {150, 20},
         Rect(234, 100, 162, 70)},
    };
    for (const Case& c : cases) {
        const TextEntryLayout::Input input{
            .bounds = c.bounds, .scale = c.scale, .textOrigin = c.textOrigin, .textBox = c.textBox, .keepWholeText = true};
        EXPECT_EQ(TextEntryLayout::layout(input).frame, c.frame) << c.what;
    }
}

TEST(TextEntryLayout, BeginningATextSizesTheEditorForANewTextOrTheMarkBeingEdited)
{
    struct Case {
        Point at;
        std::optional<Rect> mark;
        Size size;
    } cases[] = {
        {{100, 100}, std::nullopt, {260, 100}},
        {{780, 590}, std::nullopt, {40, 40}},  // at the corner: at least 40 × 40
        {{600, 520}, std::nullopt, {192, 72}}, // up to 8 before the edges
        {{100, 100}, Rect(100, 100, 120, 46), {180, 76}}, // a small mark: 180 wide, 30 taller
        {{100, 100}, Rect(100, 100, 400, 20), {400, 70}}, // at least 70 high
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextEntryLayout::initialSize(view, c.at, c.mark), c.size) << c.at.x << "," << c.at.y;
}

// --- Commit ---

struct Marks {
    AnnotationStyle textStyle = EditorDocument::defaultStyle(CaptureTool::text);
    Annotation first = shape(10);
    Annotation text = textMark(QStringLiteral("old"), {200, 200});
    Annotation last = shape(300);

    static Annotation shape(double at)
    {
        Annotation mark;
        mark.id = QUuid::createUuid();
        mark.kind = Annotation::Kind::roundedRectangle;
        mark.points = {{at, at}, {at + 50, at + 30}};
        mark.style = EditorDocument::defaultStyle(CaptureTool::shape);
        return mark;
    }
    Annotation textMark(const QString& content, Point at) const
    {
        Annotation mark;
        mark.id = QUuid::createUuid();
        mark.kind = Annotation::Kind::text;
        mark.points = TextMarkCommit::boxPoints(content, at, textStyle.fontSize);
        mark.style = textStyle;
        mark.text = content;
        return mark;
    }
    std::vector<Annotation> all() const { return {first, text, last}; }

    TextMarkCommit::Input newText(const QString& typed, Point at = {50, 60}) const
    {
        return {.marks = all(), .editingID = std::nullopt, .text = typed, .textOrigin = at, .shownOrigin = at,
                .style = textStyle, .selectedMarkID = first.id};
    }
    TextMarkCommit::Input editing(const QString& typed) const
    {
        return {.marks = all(), .editingID = text.id, .text = typed, .textOrigin = text.points.front(),
                .shownOrigin = text.points.front(), .style = textStyle, .selectedMarkID = text.id};
    }
};

TEST(TextMarkCommit, ANewTextGoesOnTopAsATextMarkSpanningItsBoxAndBecomesSelected)
{
    const Marks m;
    const auto result = TextMarkCommit::apply(m.newText(QStringLiteral("Hello 世界")));
    ASSERT_EQ(result.marks.size(), 4u);
    EXPECT_EQ(result.marks[0], m.first);
    EXPECT_EQ(result.marks[1], m.text);
    EXPECT_EQ(result.marks[2], m.last);
    const Annotation& added = result.marks.back();
    EXPECT_FALSE(added.id.isNull());
    EXPECT_NE(added.id, m.text.id);
    EXPECT_EQ(added.kind, Annotation::Kind::text);
    EXPECT_EQ(added.text, QStringLiteral("Hello 世界"));
    EXPECT_EQ(added.style, m.textStyle);
    EXPECT_EQ(added.number, 1);
    const Rect box = AnnotationRenderer::textBounds(added.text, {50, 60}, m.textStyle.fontSize);
    EXPECT_EQ(added.points, (std::vector<Point>{box.origin, {box.maxX(), box.maxY()}}));
    EXPECT_TRUE(added.isValid());
    EXPECT_EQ(result.selectedMarkID, added.id);
}

TEST(TextMarkCommit, BlankAndEditedTextsFollowTheEmptinessRuleAndKeepWhatWasTyped)
{
    const Marks m;
    struct Case {
        const char* what;
        TextMarkCommit::Input input;
        std::vector<QUuid> ids; // the marks after, in order; a null id stands for the new mark
        std::optional<QUuid> selected;
        QString committedText;  // of the new or edited mark
    } cases[] = {
        {"spaces and line breaks: no new mark", m.newText(QStringLiteral("  \n \r\n\t　")),
         {m.first.id, m.text.id, m.last.id}, m.first.id, {}},
        {"an emptied edit deletes the mark", m.editing(QStringLiteral(" \n\n ")),
         {m.first.id, m.last.id}, std::nullopt, {}},
        {"an edit keeps its id and stacking", m.editing(QStringLiteral("new")),
         {m.first.id, m.text.id, m.last.id}, m.text.id, QStringLiteral("new")},
        {"trailing line breaks are kept", m.editing(QStringLiteral("two\n\n")),
         {m.first.id, m.text.id, m.last.id}, m.text.id, QStringLiteral("two\n\n")},
        {"leading spaces are kept", m.newText(QStringLiteral("  indented")),
         {m.first.id, m.text.id, m.last.id, QUuid()}, std::nullopt, QStringLiteral("  indented")},
        {"CR LF and CR become LF", m.newText(QStringLiteral("a\r\nb\rc")),
         {m.first.id, m.text.id, m.last.id, QUuid()}, std::nullopt, QStringLiteral("a\nb\nc")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const auto result = TextMarkCommit::apply(c.input);
        ASSERT_EQ(result.marks.size(), c.ids.size());
        const Annotation* changed = nullptr;
        for (size_t i = 0; i < c.ids.size(); ++i) {
            if (c.ids[i].isNull() || (c.input.editingID && c.ids[i] == *c.input.editingID))
                changed = &result.marks[i];
            else
                EXPECT_EQ(result.marks[i].id, c.ids[i]) << i;
        }
        if (!changed) {
            EXPECT_EQ(result.selectedMarkID, c.selected);
            continue;
        }
        EXPECT_EQ(changed->text, c.committedText);
        EXPECT_EQ(result.selectedMarkID, changed->id);
        if (c.input.editingID) {
            EXPECT_EQ(changed->id, *c.input.editingID);
        }
        // The box is the renderer's for the committed text, lines and trailing breaks included.
        const Rect box = AnnotationRenderer::textBounds(c.committedText, c.input.textOrigin, m.textStyle.fontSize);
        EXPECT_EQ(changed->points.back(), (Point{box.maxX(), box.maxY()}));
    }
    // The edited mark with two trailing breaks is three lines high.
    const auto threeLines = TextMarkCommit::apply(m.editing(QStringLiteral("two\n\n")));
    const double lineHeight = std::ceil(28 * 1.35);
    EXPECT_EQ(threeLines.marks[1].bounds().height(), 3 * lineHeight + 8);
}

TEST(TextMarkCommit, ANewTextIsCommittedWhereTheEditorShowedItAnEditedOneWhereItStands)
{
    // A new text begun 10 points from the right edge of a 400 × 300 image is shown pulled in.
    const Marks m;
    const Rect image(0, 0, 400, 300);
    const Point begun{390, 290};
    const QString typed = QStringLiteral("edge");
    const Rect box = AnnotationRenderer::textBounds(typed, {0, 0}, m.textStyle.fontSize);
    const auto shown = TextEntryLayout::layout(
        {.bounds = image, .scale = 1, .textOrigin = begun, .textBox = box.size});
    ASSERT_EQ(shown.frame.origin, (Point{352, 252}));

    auto input = m.newText(typed, begun);
    input.shownOrigin = shown.frame.origin;
    const Annotation added = TextMarkCommit::apply(input).marks.back();
    EXPECT_EQ(added.points.front(), shown.frame.origin) << "committed where it was typed, not where it was begun";
    EXPECT_TRUE(image.contains(added.points.front()));
    EXPECT_GE(image.maxX() - added.points.front().x, 40) << "40 points of it inside the image";

    // An existing mark being edited stays where it stands, however the editor was placed.
    auto edit = m.editing(typed);
    edit.shownOrigin = Point{5, 5};
    EXPECT_EQ(TextMarkCommit::apply(edit).marks[1].points.front(), m.text.points.front());
}

} // namespace
