#include "core/ContentChange.h"

#include "support/MarkFixtures.h"

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

struct Expected {
    std::size_t index;
    bool hasBefore;
    bool hasAfter;
};

} // namespace

TEST(ContentChange, RecordsThePositionsThatDifferAndAppliesBothWays)
{
    const Annotation a = penMark(0), b = penMark(20), c = penMark(40), d = penMark(60);
    struct Case {
        const char* name;
        CaptureContent before;
        CaptureContent after;
        std::vector<Expected> changes;
    };
    const Case cases[] = {
        {"append one", contentWith({a, b}), contentWith({a, b, c}), {{2, false, true}}},
        // Marks match by position: removing the first shifts every later one.
        {"delete the first of three", contentWith({a, b, c}), contentWith({b, c}),
         {{0, true, true}, {1, true, true}, {2, true, false}}},
        {"replace the middle", contentWith({a, b, c}), contentWith({a, d, c}), {{1, true, true}}},
        {"clear", contentWith({a, b}), contentWith({}), {{0, true, false}, {1, true, false}}},
        {"selection and counter only", contentWith({a, b}, 3), contentWith({a, b}, std::nullopt, Rect(5, 5, 10, 10)), {}},
        {"same id, moved", contentWith({a}), contentWith({a.moved(Size{1, 0})}), {{0, true, true}}},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        const ContentChange change(k.before, k.after);
        EXPECT_EQ(change.beforeSelection, k.before.selection);
        EXPECT_EQ(change.afterSelection, k.after.selection);
        EXPECT_EQ(change.beforeNextNumber, k.before.nextNumber);
        EXPECT_EQ(change.afterNextNumber, k.after.nextNumber);
        EXPECT_EQ(change.beforeCount, k.before.annotations.size());
        EXPECT_EQ(change.afterCount, k.after.annotations.size());
        ASSERT_EQ(change.marks.size(), k.changes.size());
        for (std::size_t i = 0; i < k.changes.size(); ++i) {
            const ContentChange::MarkChange& m = change.marks[i];
            EXPECT_EQ(m.index, k.changes[i].index);
            EXPECT_EQ(m.before.has_value(), k.changes[i].hasBefore);
            EXPECT_EQ(m.after.has_value(), k.changes[i].hasAfter);
            if (m.before) {
                EXPECT_EQ(*m.before, k.before.annotations[m.index]);
            }
            if (m.after) {
                EXPECT_EQ(*m.after, k.after.annotations[m.index]);
            }
        }
        EXPECT_EQ(change.changesMarks(), !k.changes.empty());
        EXPECT_EQ(change.applying(k.before, true), k.after);
        EXPECT_EQ(change.applying(k.after, false), k.before);
    }
}

TEST(ContentChange, EstimatesItsStoredMarksOnly)
{
    Annotation text = penMark(0);
    text.text = QStringLiteral("ab");
    const Annotation other = penMark(100);
    // 128 + (32 + 226 before + 224 after).
    EXPECT_EQ(ContentChange(contentWith({text, other}), contentWith({other, other})).estimatedBytes(), 128 + 32 + 226 + 224);
    EXPECT_EQ(ContentChange(contentWith({other}), contentWith({other}, 9)).estimatedBytes(), 128);
}

TEST(ContentChange, EqualityComparesEveryField)
{
    const CaptureContent before = contentWith({penMark(0)});
    const CaptureContent after = contentWith({before.annotations[0], penMark(30)});
    const ContentChange change(before, after);
    EXPECT_EQ(change, ContentChange(before, after));

    ContentChange counter = change;
    counter.afterNextNumber = 2;
    ContentChange selection = change;
    selection.beforeSelection = Rect(0, 0, 1, 1);
    ContentChange count = change;
    count.afterCount = 3;
    ContentChange mark = change;
    mark.marks[0].after->style.width = 9;
    ContentChange index = change;
    index.marks[0].index = 0;
    for (const ContentChange* other : {&counter, &selection, &count, &mark, &index})
        EXPECT_NE(change, *other);
}

// A step applied to a content it was not made from would read past the marks. Debug builds
// stop there; release builds keep the content.
TEST(ContentChangeDeathTest, RefusesAContentTooShortForTheStep)
{
    const Annotation a = penMark(0), b = penMark(20), c = penMark(40);
    // Moves the third mark only, so positions 0 and 1 come from the content it is applied to.
    const ContentChange change(contentWith({a, b, c}), contentWith({a, b, c.moved(Size{5, 0})}));
    const CaptureContent shorter = contentWith({a}, 4);
#ifdef QT_NO_DEBUG
    EXPECT_EQ(change.applying(shorter, true), shorter);
    EXPECT_EQ(change.applying(shorter, false), shorter);
#else
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(change.applying(shorter, true), "does not match");
#endif
}
