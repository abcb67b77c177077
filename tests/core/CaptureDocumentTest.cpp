#include "core/CaptureDocument.h"

#include "support/MarkFixtures.h"

#include <gtest/gtest.h>

#include <limits>

using namespace vorlith;
using namespace vorlith::test;

namespace {

constexpr CaptureDocument::HistoryBudget sessionBudget{50, 64 * 1024 * 1024};
const Rect area(0, 0, 200, 100);

CaptureDocument makeDocument(DocumentOrigin origin = DocumentOrigin::screenCapture,
                             CaptureDocument::HistoryBudget budget = sessionBudget, Rect selection = area)
{
    return CaptureDocument(QUuid::createUuid(), selection, origin, budget);
}

// The document's content with one more mark.
CaptureContent withMark(const CaptureDocument& document, double x)
{
    CaptureContent next = document.content();
    next.annotations.push_back(penMark(x));
    return next;
}

std::vector<ContentChange> values(const std::vector<CaptureDocument::Step>& steps)
{
    std::vector<ContentChange> out;
    for (const CaptureDocument::Step& step : steps)
        out.push_back(*step);
    return out;
}

} // namespace

TEST(CaptureDocument, StartsFromItsSelectionAndCountsOpenedFilesAsOutput)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        DocumentOrigin origin;
        Rect selection;
        int outputs;
        bool pending;
    };
    const Case cases[] = {
        {"capture", DocumentOrigin::screenCapture, area, 0, true},
        {"clipboard", DocumentOrigin::clipboardImage, area, 0, true},
        {"file", DocumentOrigin::localFile, area, 1, false},
        {"file without area", DocumentOrigin::localFile, Rect(0, 0, 0, 100), 1, false},
        {"file with invalid selection", DocumentOrigin::localFile, Rect(0, 0, nan, 100), 0, false},
        {"capture without area", DocumentOrigin::screenCapture, Rect(0, 0, 200, 0), 0, false},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        const CaptureDocument document = makeDocument(k.origin, sessionBudget, k.selection);
        EXPECT_EQ(document.outputCount(), k.outputs);
        EXPECT_EQ(document.isPendingOutput(), k.pending);
        EXPECT_TRUE(document.undoStack().empty());
        EXPECT_TRUE(document.redoStack().empty());
        EXPECT_FALSE(document.hasAnnotationEdits());
        EXPECT_FALSE(document.canRecover());
        EXPECT_EQ(document.content().annotations.size(), 0u);
        EXPECT_EQ(document.content().nextNumber, 1);
    }
}

TEST(CaptureDocument, IgnoresUnchangedAndInvalidContent)
{
    CaptureDocument document = makeDocument();
    const CaptureContent one = withMark(document, 0);
    document.commit(one);
    document.commit(one);
    EXPECT_EQ(document.undoStack().size(), 1u);

    CaptureContent invalid = withMark(document, 10);
    invalid.annotations.push_back(numberMark(0));
    document.commit(invalid);
    CaptureContent badCounter = one;
    badCounter.nextNumber = 1000;
    document.commit(badCounter);
    EXPECT_EQ(document.undoStack().size(), 1u);
    EXPECT_EQ(document.content(), one);
}

TEST(CaptureDocument, KeepsFiftyStepsButCountsEveryMarkEdit)
{
    CaptureDocument document = makeDocument();
    std::vector<CaptureContent> committed{document.content()};
    for (int i = 0; i < 51; ++i) {
        document.commit(withMark(document, i));
        committed.push_back(document.content());
    }
    EXPECT_EQ(document.undoStack().size(), 50u);
    for (int i = 0; i < 50; ++i)
        document.undo();
    EXPECT_TRUE(document.undoStack().empty());
    EXPECT_EQ(document.redoStack().size(), 50u);
    // The first commit was trimmed away, so its mark stays; the count still holds it.
    EXPECT_EQ(document.content(), committed[1]);
    EXPECT_TRUE(document.hasAnnotationEdits());
    EXPECT_TRUE(document.canRecover());
    document.undo(); // nothing left
    EXPECT_EQ(document.content(), committed[1]);
    for (int i = 0; i < 50; ++i)
        document.redo();
    EXPECT_EQ(document.content(), committed[51]);
}

TEST(CaptureDocument, SelectionOnlyStepsAreNotMarkEdits)
{
    CaptureDocument document = makeDocument();
    CaptureContent moved = document.content();
    moved.selection = Rect(10, 10, 50, 50);
    document.commit(moved);
    CaptureContent counter = moved;
    counter.nextNumber = 7;
    document.commit(counter);
    EXPECT_EQ(document.undoStack().size(), 2u);
    EXPECT_FALSE(document.hasAnnotationEdits());
    EXPECT_FALSE(document.canRecover());
}

TEST(CaptureDocument, UndoAndRedoReturnContentExactly)
{
    CaptureDocument document = makeDocument();
    const CaptureContent start = document.content();
    document.commit(withMark(document, 0));
    CaptureContent second = withMark(document, 30);
    second.nextNumber = std::nullopt;
    second.selection = Rect(1, 2, 3, 4);
    document.commit(second);

    document.undo();
    document.undo();
    EXPECT_EQ(document.content(), start);
    document.redo();
    document.redo();
    EXPECT_EQ(document.content(), second);
    document.redo(); // nothing to redo
    EXPECT_EQ(document.content(), second);

    document.undo();
    EXPECT_EQ(document.redoStack().size(), 1u);
    document.commit(withMark(document, 90));
    EXPECT_TRUE(document.redoStack().empty());
    EXPECT_EQ(document.undoStack().size(), 2u);
}

TEST(CaptureDocument, DeletingTheFirstOfThreeMarksUndoesInOrder)
{
    CaptureDocument document = makeDocument();
    const CaptureContent three = contentWith({penMark(0), penMark(20), penMark(40)});
    document.commit(three);
    document.commit(contentWith({three.annotations[1], three.annotations[2]}));
    const ContentChange& step = *document.undoStack().back();
    ASSERT_EQ(step.marks.size(), 3u);
    EXPECT_EQ(step.marks[2].index, 2u);
    EXPECT_FALSE(step.marks[2].after.has_value());
    document.undo();
    EXPECT_EQ(document.content(), three);
}

TEST(CaptureDocument, TrimsOldestStepsToTheByteBudget)
{
    // Each step appends one pen mark: 128 + 32 + 224 = 384 estimated bytes.
    CaptureDocument document = makeDocument(DocumentOrigin::screenCapture, {50, 1000});
    for (int i = 0; i < 3; ++i)
        document.commit(withMark(document, i * 10));
    EXPECT_EQ(document.undoStack().size(), 2u);
    EXPECT_EQ(document.estimatedHistoryBytes(), 768);
    EXPECT_EQ(document.undoStack().front()->afterCount, 2u); // the first step went

    // One step larger than the whole budget: nothing can be undone, the content stays.
    Annotation big = penMark(0);
    big.points.resize(100, Point{1, 1});
    CaptureContent huge = document.content();
    huge.annotations.push_back(big);
    document.commit(huge);
    EXPECT_TRUE(document.undoStack().empty());
    EXPECT_EQ(document.content(), huge);
    EXPECT_TRUE(document.hasAnnotationEdits());

    CaptureDocument none = makeDocument(DocumentOrigin::screenCapture, {0, 1 << 20});
    none.commit(withMark(none, 0));
    EXPECT_TRUE(none.undoStack().empty());
    EXPECT_EQ(none.content().annotations.size(), 1u);
}

TEST(CaptureDocument, OutputRecordsFollowTheImageNotTheCounter)
{
    CaptureDocument file = makeDocument(DocumentOrigin::localFile);
    file.commit(withMark(file, 0));
    EXPECT_TRUE(file.isPendingOutput());
    file.undo();
    EXPECT_FALSE(file.isPendingOutput());

    CaptureDocument capture = makeDocument();
    capture.commit(withMark(capture, 0));
    capture.recordOutput();
    capture.recordOutput();
    EXPECT_EQ(capture.outputCount(), 1);
    EXPECT_FALSE(capture.isPendingOutput());
    CaptureContent counter = capture.content();
    counter.nextNumber = 40;
    capture.commit(counter);
    EXPECT_FALSE(capture.isPendingOutput());
    capture.recordOutput();
    EXPECT_EQ(capture.outputCount(), 1);
    capture.commit(withMark(capture, 50));
    EXPECT_TRUE(capture.isPendingOutput());
    capture.recordOutput();
    EXPECT_EQ(capture.outputCount(), 2);

    CaptureDocument invalid = makeDocument(DocumentOrigin::screenCapture, sessionBudget,
                                           Rect(0, 0, std::numeric_limits<double>::infinity(), 1));
    invalid.recordOutput();
    EXPECT_EQ(invalid.outputCount(), 0);
}

TEST(CaptureDocument, UndoingEveryMarkEndsRecovery)
{
    CaptureDocument document = makeDocument();
    document.commit(withMark(document, 0));
    document.commit(withMark(document, 20));
    EXPECT_TRUE(document.canRecover());
    document.undo();
    document.undo();
    EXPECT_FALSE(document.hasAnnotationEdits());
    EXPECT_FALSE(document.canRecover());
    document.redo();
    EXPECT_TRUE(document.canRecover());

    CaptureDocument clipboard = makeDocument(DocumentOrigin::clipboardImage);
    clipboard.commit(withMark(clipboard, 0));
    EXPECT_TRUE(clipboard.hasAnnotationEdits());
    EXPECT_FALSE(clipboard.canRecover()); // only screen captures are recovered
}

TEST(CaptureDocument, RetainedBytesCountContentHistoryAndOutputs)
{
    CaptureDocument document = makeDocument();
    EXPECT_EQ(document.estimatedRetainedBytes(), 128 + 256);
    document.commit(withMark(document, 0)); // content 352, step 384
    document.recordOutput();                 // output 352
    EXPECT_EQ(document.estimatedHistoryBytes(), 384);
    EXPECT_EQ(document.estimatedRetainedBytes(), 352 + 256 + 384 + 352);
    document.undo(); // the step moves to the redo stack and still counts
    EXPECT_EQ(document.estimatedHistoryBytes(), 384);
    EXPECT_EQ(document.estimatedRetainedBytes(), 128 + 256 + 384 + 352);
}

TEST(CaptureDocument, CopiesShareStepsButNeverChangeEachOther)
{
    CaptureDocument original = makeDocument();
    std::vector<CaptureContent> history{original.content()};
    for (int i = 0; i < 4; ++i) {
        original.commit(withMark(original, i * 10));
        history.push_back(original.content());
    }
    original.recordOutput();
    original.undo();
    const std::vector<ContentChange> undoValues = values(original.undoStack());
    const std::vector<ContentChange> redoValues = values(original.redoStack());

    CaptureDocument copy = original;
    ASSERT_EQ(copy.undoStack().size(), original.undoStack().size());
    EXPECT_TRUE(copy.undoStack().back().sharesValueWith(original.undoStack().back()));

    copy.undo();
    copy.undo();
    CaptureContent edited = copy.content();
    edited.annotations[0].style.width = 30;
    edited.nextNumber = 9;
    copy.commit(edited);
    copy.recordOutput();
    copy.undo();
    copy.redo();

    EXPECT_EQ(original.content(), history[3]);
    EXPECT_EQ(values(original.undoStack()), undoValues);
    EXPECT_EQ(values(original.redoStack()), redoValues);
    EXPECT_EQ(original.outputCount(), 1);
    // The original's own history still walks through exactly what it committed.
    original.redo();
    EXPECT_EQ(original.content(), history[4]);
    for (int i = 3; i >= 0; --i) {
        original.undo();
        EXPECT_EQ(original.content(), history[static_cast<std::size_t>(i)]);
    }
    EXPECT_EQ(copy.content(), edited);
}
