#include "core/EditorSession.h"

#include "support/MarkFixtures.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>

using namespace vorlith;
using namespace vorlith::test;

namespace {

using Phase = EditorSession::Phase;
using EditKind = EditorSession::EditKind;

const Rect area(0, 0, 200, 100);
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

EditorSession preselected(DocumentOrigin origin = DocumentOrigin::screenCapture)
{
    return EditorSession(QUuid::createUuid(), area, origin);
}

// Everything a caller can observe, to tell "ignored" from "changed".
struct Observed {
    Phase phase;
    std::optional<Rect> selection;
    std::vector<Annotation> annotations;
    std::optional<int> nextNumber;
    std::optional<CaptureContent> content;
    std::size_t undoSteps = 0;
    int outputs = 0;

    friend bool operator==(const Observed&, const Observed&) = default;
};

Observed observe(const EditorSession& session)
{
    Observed o{session.phase(), session.selection(), session.annotations(), session.nextNumber(), {}, 0, 0};
    if (session.document()) {
        o.content = session.document()->content();
        o.undoSteps = session.document()->undoStack().size();
        o.outputs = session.document()->outputCount();
    }
    return o;
}

std::string describe(const Phase& phase)
{
    switch (phase.value) {
    case Phase::Case::draft:
        return "draft";
    case Phase::Case::preselection:
        return "preselection";
    case Phase::Case::editing:
        return "editing";
    case Phase::Case::output:
        return "output";
    }
    return "?";
}

// One session in each phase. Every draft holds a pen mark and marker 1, so that each
// operation has something to act on; the draft phase has moved both without committing.
struct Phases {
    QUuid markerID;
    EditorSession preselection = preselected();
    EditorSession editing = preselected();
    EditorSession draft = preselected();
    EditorSession output = preselected();

    Phases()
    {
        const Annotation marker = numberMark(1);
        markerID = marker.id;
        preselection.setAnnotations({penMark(0), marker});
        editing = preselection;
        editing.setNextNumber(2); // commits, creating the document
        draft = editing;
        draft.beginEdit(EditKind::gesture);
        draft.setAnnotations(shifted(draft.annotations(), 5));
        output = editing;
        output.beginOutput();
    }
};

} // namespace

TEST(EditorSession, PhasesFollowDocumentEditAndLock)
{
    Phases p;
    EXPECT_EQ(p.preselection.phase(), Phase::preselection());
    EXPECT_EQ(p.editing.phase(), Phase::editing());
    EXPECT_EQ(p.draft.phase(), Phase::draft(EditKind::gesture));
    EXPECT_EQ(p.output.phase(), Phase::output());
    EXPECT_TRUE(p.output.isOutputLocked());
    EXPECT_FALSE(p.editing.isOutputLocked());
}

TEST(EditorSession, RefusalTable)
{
    const CaptureDocument other(QUuid::createUuid(), Rect(0, 0, 40, 40), DocumentOrigin::clipboardImage,
                                EditorSession::historyBudget);
    const QUuid foreignToken = QUuid::createUuid();

    // The result text: "" for operations without one, "true"/"false", "value"/"absent".
    using Op = std::function<std::string(EditorSession&, const QUuid& markerID)>;
    auto flag = [](bool b) { return std::string(b ? "true" : "false"); };
    auto present = [](const auto& o) { return std::string(o ? "value" : "absent"); };

    struct Outcome {
        std::string result;
        Phase phase;
        bool changed;
    };
    const Phase pre = Phase::preselection(), editing = Phase::editing(), gesture = Phase::draft(EditKind::gesture),
                locked = Phase::output();
    const Outcome ignored{"", locked, false};
    struct Row {
        const char* name;
        Op op;
        Outcome preselection, editing, draft, output;
    };
    const std::vector<Row> rows = {
        {"set selection", [](EditorSession& s, const QUuid&) { s.setSelection(Rect(5, 5, 50, 40)); return std::string(); },
         {"", pre, true}, {"", editing, true}, {"", gesture, true}, ignored},
        {"drop selection", [](EditorSession& s, const QUuid&) { s.setSelection(std::nullopt); return std::string(); },
         {"", pre, true}, {"", editing, true}, {"", gesture, true}, ignored},
        {"set annotations", [](EditorSession& s, const QUuid&) { s.setAnnotations({}); return std::string(); },
         {"", pre, true}, {"", editing, true}, {"", gesture, true}, ignored},
        {"begin edit", [](EditorSession& s, const QUuid&) { s.beginEdit(EditKind::text); return std::string(); },
         {"", Phase::draft(EditKind::text), true}, {"", Phase::draft(EditKind::text), true}, {"", gesture, false}, ignored},
        {"commit", [&](EditorSession& s, const QUuid&) { return flag(s.commit()); },
         {"true", editing, true}, {"true", editing, false}, {"true", editing, true}, {"false", locked, false}},
        {"cancel edit", [](EditorSession& s, const QUuid&) { s.cancelEdit(); return std::string(); },
         {"", pre, false}, {"", editing, false}, {"", editing, true}, ignored},
        {"undo", [](EditorSession& s, const QUuid&) { s.undo(); return std::string(); },
         {"", pre, false}, {"", editing, true}, {"", editing, true}, ignored},
        {"redo", [](EditorSession& s, const QUuid&) { s.redo(); return std::string(); },
         {"", pre, false}, {"", editing, false}, {"", editing, true}, ignored},
        {"restore", [&](EditorSession& s, const QUuid&) { s.restore(other); return std::string(); },
         {"", editing, true}, {"", editing, true}, {"", editing, true}, ignored},
        {"set next number", [&](EditorSession& s, const QUuid&) { return flag(s.setNextNumber(5)); },
         {"true", editing, true}, {"true", editing, true}, {"false", gesture, false}, {"false", locked, false}},
        {"add number", [&](EditorSession& s, const QUuid&) { return present(s.addNumber({20, 20}, 24, plainStyle)); },
         {"value", editing, true}, {"value", editing, true}, {"absent", gesture, false}, {"absent", locked, false}},
        {"set number", [&](EditorSession& s, const QUuid& id) { return flag(s.setNumber(7, id)); },
         {"true", editing, true}, {"true", editing, true}, {"false", gesture, false}, {"false", locked, false}},
        {"begin output", [&](EditorSession& s, const QUuid&) { return present(s.beginOutput()); },
         {"absent", pre, false}, {"value", locked, true}, {"absent", gesture, false}, {"absent", locked, false}},
        {"finish output, foreign token", [&](EditorSession& s, const QUuid&) { return flag(s.finishOutput(foreignToken, true)); },
         {"false", pre, false}, {"false", editing, false}, {"false", gesture, false}, {"false", locked, false}},
    };

    for (const Row& row : rows) {
        Phases p;
        const std::pair<EditorSession*, const Outcome*> columns[] = {
            {&p.preselection, &row.preselection}, {&p.editing, &row.editing}, {&p.draft, &row.draft}, {&p.output, &row.output}};
        for (const auto& [session, expected] : columns) {
            SCOPED_TRACE(std::string(row.name) + " in " + describe(session->phase()));
            const Observed before = observe(*session);
            EXPECT_EQ(row.op(*session, p.markerID), expected->result);
            EXPECT_EQ(session->phase(), expected->phase) << describe(session->phase());
            EXPECT_EQ(observe(*session) != before, expected->changed);
        }
    }
}

TEST(EditorSession, CommitNeedsAValidDraftWithArea)
{
    EditorSession thin(QUuid::createUuid(), Rect(0, 0, 0, 50), DocumentOrigin::screenCapture);
    EXPECT_FALSE(thin.commit());
    EXPECT_FALSE(thin.document());

    EditorSession none(QUuid::createUuid(), std::nullopt, DocumentOrigin::screenCapture);
    EXPECT_FALSE(none.selection());
    EXPECT_FALSE(none.commit());

    EditorSession invalid = preselected();
    invalid.beginEdit(EditKind::gesture);
    invalid.setAnnotations({numberMark(1, {kNaN, 0})});
    EXPECT_FALSE(invalid.commit());
    EXPECT_EQ(invalid.phase(), Phase::draft(EditKind::gesture)); // the edit stays open

    const QUuid id = QUuid::createUuid();
    EditorSession fresh(id, area, DocumentOrigin::screenCapture);
    EXPECT_TRUE(fresh.commit());
    ASSERT_TRUE(fresh.document());
    EXPECT_EQ(fresh.document()->id(), id);
    EXPECT_EQ(fresh.document()->historyBudget(), (CaptureDocument::HistoryBudget{50, 67108864}));
    EXPECT_TRUE(fresh.document()->undoStack().empty());
    EXPECT_EQ(fresh.document()->content(), contentWith({}, 1, area));
}

TEST(EditorSession, FirstCommitOfAFileIsNotPendingOutput)
{
    EditorSession file = preselected(DocumentOrigin::localFile);
    ASSERT_TRUE(file.commit());
    EXPECT_EQ(file.document()->origin(), DocumentOrigin::localFile);
    EXPECT_FALSE(file.document()->isPendingOutput());
    file.setAnnotations({penMark(0)});
    ASSERT_TRUE(file.commit());
    EXPECT_TRUE(file.document()->isPendingOutput());
}

TEST(EditorSession, HasDraftWhenEditOpenOrContentDiffers)
{
    EditorSession empty(QUuid::createUuid(), std::nullopt, DocumentOrigin::screenCapture);
    EXPECT_FALSE(empty.hasDraft());
    empty.beginEdit(EditKind::gesture);
    EXPECT_TRUE(empty.hasDraft());

    EditorSession session = preselected();
    EXPECT_TRUE(session.hasDraft()); // a draft without a document
    session.commit();
    EXPECT_FALSE(session.hasDraft());
    session.setAnnotations({penMark(0)});
    EXPECT_TRUE(session.hasDraft());
    session.cancelEdit();
    EXPECT_FALSE(session.hasDraft());
    session.setSelection(std::nullopt);
    EXPECT_TRUE(session.hasDraft());
    EXPECT_TRUE(session.annotations().empty());
    EXPECT_FALSE(session.nextNumber());
}

TEST(EditorSession, CancelWithoutDocumentReturnsToTheBaselineOnlyWhenOneWasSaved)
{
    // An edit begun on a preselection returns to it.
    EditorSession session = preselected();
    session.beginEdit(EditKind::gesture);
    session.setSelection(Rect(5, 5, 10, 10));
    session.setAnnotations({penMark(0)});
    session.cancelEdit();
    EXPECT_EQ(session.selection(), area);
    EXPECT_TRUE(session.annotations().empty());
    EXPECT_EQ(session.phase(), Phase::preselection());

    // An edit begun without any draft keeps the draft the gesture made: the editor sets the
    // selection it wants and cancels the edit.
    EditorSession blank(QUuid::createUuid(), std::nullopt, DocumentOrigin::screenCapture);
    blank.beginEdit(EditKind::gesture);
    blank.setSelection(Rect(5, 5, 10, 10));
    blank.cancelEdit();
    EXPECT_EQ(blank.selection(), Rect(5, 5, 10, 10));
    EXPECT_EQ(blank.phase(), Phase::preselection());
}

TEST(EditorSession, UndoDuringAGestureShowsTheCommittedContent)
{
    EditorSession session = preselected();
    session.setAnnotations({penMark(0)});
    ASSERT_TRUE(session.commit());
    const CaptureContent first = session.document()->content();
    session.setAnnotations({first.annotations[0], penMark(40)});
    ASSERT_TRUE(session.commit());

    session.beginEdit(EditKind::gesture);
    session.setAnnotations(shifted(session.annotations(), 30));
    session.undo();
    EXPECT_EQ(session.phase(), Phase::editing());
    EXPECT_EQ(session.annotations(), first.annotations);
    EXPECT_FALSE(session.hasDraft());
    session.redo();
    EXPECT_EQ(session.annotations().size(), 2u);
}

TEST(EditorSession, RestoreAdoptsTheDocumentsIdentity)
{
    EditorSession source = preselected(DocumentOrigin::localFile);
    source.setAnnotations({penMark(0)});
    ASSERT_TRUE(source.commit());

    EditorSession session = preselected();
    session.beginEdit(EditKind::text);
    session.restore(*source.document());
    EXPECT_EQ(session.documentID(), source.documentID());
    EXPECT_EQ(session.origin(), DocumentOrigin::localFile);
    EXPECT_EQ(session.annotations(), source.annotations());
    EXPECT_EQ(session.phase(), Phase::editing());

    const EditorSession adopted(*source.document());
    EXPECT_EQ(adopted.documentID(), source.documentID());
    EXPECT_EQ(adopted.phase(), Phase::editing());
    EXPECT_FALSE(adopted.hasDraft());
}

TEST(EditorSession, MarkersTakeTheCounterAndDeletionKeepsIt)
{
    EditorSession session = preselected();
    std::vector<int> numbers;
    for (int i = 0; i < 3; ++i) {
        const auto marker = session.addNumber({20.0 + 30 * i, 20}, 24, plainStyle);
        ASSERT_TRUE(marker);
        EXPECT_EQ(marker->kind, Annotation::Kind::number);
        EXPECT_EQ(marker->points, (std::vector<Point>{{8.0 + 30 * i, 8}, {32.0 + 30 * i, 32}}));
        numbers.push_back(marker->number);
    }
    EXPECT_EQ(numbers, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(session.nextNumber(), 4);
    EXPECT_EQ(session.document()->undoStack().size(), 3u);

    std::vector<Annotation> marks = session.annotations();
    marks.pop_back();
    session.setAnnotations(marks);
    ASSERT_TRUE(session.commit());
    EXPECT_EQ(session.nextNumber(), 4);
    EXPECT_EQ(session.addNumber({100, 50}, 24, plainStyle)->number, 4);
}

TEST(EditorSession, CounterStopsAfter999UntilGivenAValue)
{
    EditorSession session = preselected();
    ASSERT_TRUE(session.setNextNumber(999));
    EXPECT_EQ(session.addNumber({20, 20}, 24, plainStyle)->number, 999);
    EXPECT_FALSE(session.nextNumber());
    EXPECT_FALSE(session.addNumber({60, 20}, 24, plainStyle));
    ASSERT_TRUE(session.setNextNumber(5));
    EXPECT_EQ(session.addNumber({60, 20}, 24, plainStyle)->number, 5);
    EXPECT_EQ(session.nextNumber(), 6);
}

TEST(EditorSession, RenumberingResetsTheCounterPastTheHighestMarker)
{
    EditorSession session = preselected();
    std::vector<QUuid> ids;
    for (int i = 0; i < 3; ++i)
        ids.push_back(session.addNumber({20.0 + 30 * i, 20}, 24, plainStyle)->id);
    session.setAnnotations([&] {
        auto marks = session.annotations();
        marks.push_back(penMark(0));
        return marks;
    }());
    ASSERT_TRUE(session.commit());
    const QUuid penID = session.annotations().back().id;

    struct Case {
        const char* name;
        int number;
        QUuid id;
        bool accepted;
        std::optional<int> counter;
    };
    const Case cases[] = {
        {"third to 12", 12, ids[2], true, 13},
        {"third to 999", 999, ids[2], true, std::nullopt},
        {"third back to 3", 3, ids[2], true, 4},
        {"first to 50 beats the others", 50, ids[0], true, 51},
        {"second to 20 stays below the highest", 20, ids[1], true, 51},
        {"a pen mark", 4, penID, false, 51},
        {"an unknown id", 4, QUuid::createUuid(), false, 51},
        {"zero", 0, ids[1], false, 51},
        {"1000", 1000, ids[1], false, 51},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        EXPECT_EQ(session.setNumber(k.number, k.id), k.accepted);
        EXPECT_EQ(session.nextNumber(), k.counter);
    }

    // Renumbering to the number it already has commits nothing.
    const std::size_t steps = session.document()->undoStack().size();
    EXPECT_TRUE(session.setNumber(20, ids[1]));
    EXPECT_EQ(session.document()->undoStack().size(), steps);
}

TEST(EditorSession, NumberingRefusesBadInputAndPutsTheDraftBack)
{
    EditorSession session = preselected();
    for (int bad : {0, 1000, -1})
        EXPECT_FALSE(session.setNextNumber(bad)) << bad;
    EXPECT_FALSE(session.document());

    struct Case {
        const char* name;
        Point center;
        double diameter;
    };
    const Case cases[] = {
        {"zero diameter", {20, 20}, 0}, {"negative diameter", {20, 20}, -4}, {"NaN diameter", {20, 20}, kNaN},
        {"infinite diameter", {20, 20}, kInf}, {"NaN centre", {kNaN, 20}, 24}, {"infinite centre", {20, -kInf}, 24},
    };
    for (const Case& k : cases)
        EXPECT_FALSE(session.addNumber(k.center, k.diameter, plainStyle)) << k.name;

    AnnotationStyle broken = plainStyle;
    broken.width = kNaN;
    EXPECT_FALSE(session.addNumber({20, 20}, 24, broken));
    EXPECT_TRUE(session.annotations().empty());
    EXPECT_EQ(session.nextNumber(), 1);
    EXPECT_FALSE(session.document());

    // A commit refused for the selection puts the draft back as it was.
    EditorSession thin(QUuid::createUuid(), Rect(0, 0, 100, 0), DocumentOrigin::screenCapture);
    EXPECT_FALSE(thin.setNextNumber(8));
    EXPECT_EQ(thin.nextNumber(), 1);
    EXPECT_FALSE(thin.addNumber({20, 20}, 24, plainStyle));
    EXPECT_TRUE(thin.annotations().empty());
    EXPECT_EQ(thin.nextNumber(), 1);
}

TEST(EditorSession, OutputLockNeedsCommittedWorkAndItsToken)
{
    EditorSession session = preselected();
    ASSERT_TRUE(session.commit());
    session.setSelection(Rect(10, 10, 50, 50));
    EXPECT_FALSE(session.beginOutput());
    ASSERT_TRUE(session.commit());
    session.beginEdit(EditKind::text); // an open edit, even an unchanged one, must end first
    EXPECT_FALSE(session.beginOutput());
    session.cancelEdit();
    const auto token = session.beginOutput();
    ASSERT_TRUE(token);
    EXPECT_TRUE(session.isOutputLocked());
    EXPECT_FALSE(session.beginOutput());

    EXPECT_FALSE(session.finishOutput(QUuid::createUuid(), true));
    EXPECT_TRUE(session.isOutputLocked());
    EXPECT_TRUE(session.finishOutput(*token, false));
    EXPECT_FALSE(session.isOutputLocked());
    EXPECT_EQ(session.document()->outputCount(), 0);
    EXPECT_FALSE(session.finishOutput(*token, true)); // already released

    const auto second = session.beginOutput();
    ASSERT_TRUE(second);
    EXPECT_NE(*second, *token);
    EXPECT_TRUE(session.finishOutput(*second, true));
    EXPECT_EQ(session.document()->outputCount(), 1);
    EXPECT_FALSE(session.document()->isPendingOutput());
}

TEST(EditorSession, TrialCommitOnACopyLeavesTheOriginal)
{
    EditorSession session = preselected();
    session.setAnnotations({penMark(0)});
    ASSERT_TRUE(session.commit());
    session.beginEdit(EditKind::gesture);
    session.setAnnotations(shifted(session.annotations(), 12));
    const Observed before = observe(session);

    EditorSession trial = session;
    ASSERT_TRUE(trial.commit());
    trial.addNumber({40, 40}, 20, plainStyle);
    trial.undo();
    trial.undo();
    trial.undo();
    EXPECT_EQ(observe(session), before);

    // The owner refuses the trial and cancels its own edit instead.
    session.cancelEdit();
    EXPECT_EQ(session.annotations(), session.document()->content().annotations);
    EXPECT_EQ(session.document()->undoStack().size(), 1u);
}

TEST(EditorSession, AStepOverTheHistoryBudgetCannotBeUndone)
{
    // About 64 MiB of UTF-8 in one text: three bytes per character.
    Annotation text{QUuid::createUuid(), Annotation::Kind::text, {{0, 0}}, plainStyle,
                    QString(64 * 1024 * 1024 / 3 + 1, QChar(0x4E2D)), 1};
    ASSERT_GT(text.estimatedBytes(), 64 * 1024 * 1024);

    EditorSession session = preselected();
    session.setAnnotations({penMark(0)});
    ASSERT_TRUE(session.commit());
    session.setAnnotations({session.annotations()[0], text});
    ASSERT_TRUE(session.commit());
    EXPECT_TRUE(session.document()->undoStack().empty());
    EXPECT_EQ(session.document()->content().annotations.size(), 2u);
    EXPECT_FALSE(session.hasDraft());
    session.undo();
    EXPECT_EQ(session.annotations().size(), 2u);
}

TEST(EditorSession, LoneSurrogatesInAMarkTextBecomeReplacementCharacters)
{
    const QChar high(char16_t(0xD83D)), low(char16_t(0xDE00));
    const QString pair = QString(high) + low; // one emoji, kept whole
    const QString replacement(QChar::ReplacementCharacter);
    const struct {
        QString typed;
        QString kept;
    } cases[] = {
        {QStringLiteral("ab"), QStringLiteral("ab")},
        {pair, pair},
        {QString(high), replacement},
        {QString(low) + QStringLiteral("x"), replacement + QStringLiteral("x")},
        {QString(high) + QString(high) + low, replacement + pair},
        {QString(low) + QString(high), replacement + replacement},
    };
    for (const auto& c : cases) {
        EditorSession session = preselected();
        Annotation mark;
        mark.kind = Annotation::Kind::text;
        mark.points = {Point{10, 10}, Point{60, 40}};
        mark.text = c.typed;
        session.setAnnotations({mark});
        ASSERT_EQ(session.annotations().size(), 1u);
        const QString kept = session.annotations().front().text;
        EXPECT_EQ(kept, c.kept);
        // One UTF-8 form: the byte estimate matches what the text encodes to.
        EXPECT_EQ(session.annotations().front().estimatedBytes() - 192 - 32, kept.toUtf8().size());
    }
}
