#pragma once

#include "core/CaptureContent.h"
#include "core/ContentChange.h"
#include "core/Geometry.h"
#include "core/SharedValue.h"

#include <QUuid>

#include <cstdint>
#include <vector>

namespace vorlith {

// The committed state of one image being edited: identity, origin, the current content, a
// bounded undo/redo history and the contents already output. A plain value: copies are
// independent, and cheap, because history steps and output records are shared immutable
// values. Only the editor session changes documents; everybody else reads copies.
class CaptureDocument {
public:
    // Limits of the undo stack, fixed at creation. Negative limits are a programming error
    // (debug builds stop; release builds treat them as 0).
    struct HistoryBudget {
        int steps = 0;
        std::int64_t bytes = 0;

        friend bool operator==(const HistoryBudget&, const HistoryBudget&) = default;
    };

    using Step = SharedValue<ContentChange>;

    // The content starts as the selection with no marks and next number 1. An image opened
    // from a file counts as already output until it is edited.
    CaptureDocument(const QUuid& id, const Rect& selection, DocumentOrigin origin, HistoryBudget historyBudget);

    const QUuid& id() const { return m_id; }
    DocumentOrigin origin() const { return m_origin; }
    const HistoryBudget& historyBudget() const { return m_historyBudget; }
    const CaptureContent& content() const { return m_content; }
    // Oldest first, newest last.
    const std::vector<Step>& undoStack() const { return m_undoStack; }
    // The most recently undone last.
    const std::vector<Step>& redoStack() const { return m_redoStack; }

    // Records a valid content that differs from the current one as one undoable step, empties
    // the redo stack and trims the oldest steps to the budget. Anything else is ignored.
    void commit(const CaptureContent& content);
    void undo();
    void redo();
    // Notes that the current content has been output (once per distinct image).
    void recordOutput();

    // Valid content with an area that is not the same image as any recorded output.
    bool isPendingOutput() const;
    // A screen capture with valid content, an area and at least one net mark edit.
    bool canRecover() const;
    bool hasAnnotationEdits() const { return m_annotationEditCount > 0; }
    int outputCount() const { return static_cast<int>(m_outputContents.size()); }

    // The steps of both stacks, estimated afresh on every call.
    std::int64_t estimatedHistoryBytes() const;
    // Content, history and output records: what the memory budget charges for this document.
    std::int64_t estimatedRetainedBytes() const;

private:
    bool hasValidArea() const;
    // Some recorded output is the same image as the current content.
    bool isOutputRecorded() const;
    void trimHistory();

    QUuid m_id;
    DocumentOrigin m_origin;
    HistoryBudget m_historyBudget;
    CaptureContent m_content;
    std::vector<Step> m_undoStack;
    std::vector<Step> m_redoStack;
    std::vector<SharedValue<CaptureContent>> m_outputContents;
    // Mark-changing steps committed or redone minus those undone; trimming keeps them counted.
    int m_annotationEditCount = 0;
};

} // namespace vorlith
