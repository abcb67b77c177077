#pragma once

#include "core/Annotation.h"
#include "core/CaptureContent.h"
#include "core/CaptureDocument.h"
#include "core/Geometry.h"

#include <QUuid>

#include <optional>
#include <vector>

namespace vorlith {

// The edit transaction over one document. The editor changes a draft of the content while a
// gesture, a text or a style edit is open, then commits it into the document's history or
// cancels it. The session also hands out marker numbers (1 to 999) and holds the output lock
// while a copy or save of the document runs: nothing can change the content then.
//
// A plain value: an owner may try a commit on a copy and adopt the copy only if a further
// test passes. Every refusal is silent: no change, and false or an absent result.
class EditorSession {
public:
    enum class EditKind { gesture, text, style };

    // Derived from the fields, in this precedence: output when locked, draft(kind) while an
    // edit is open, preselection without a document, editing otherwise.
    struct Phase {
        enum class Case { draft, preselection, editing, output };
        Case value = Case::preselection;
        std::optional<EditKind> editKind; // present exactly for draft

        static constexpr Phase draft(EditKind kind) { return {Case::draft, kind}; }
        static constexpr Phase preselection() { return {Case::preselection, std::nullopt}; }
        static constexpr Phase editing() { return {Case::editing, std::nullopt}; }
        static constexpr Phase output() { return {Case::output, std::nullopt}; }

        friend bool operator==(const Phase&, const Phase&) = default;
    };

    // The history every session's document keeps.
    static constexpr CaptureDocument::HistoryBudget historyBudget{50, 64 * 1024 * 1024};

    // No document yet. With a preselection the draft is that selection, no marks, next number 1;
    // without one there is no draft.
    EditorSession(const QUuid& documentID, const std::optional<Rect>& preselection, DocumentOrigin origin);
    // Adopts a document: the draft is its content.
    explicit EditorSession(const CaptureDocument& document);

    const std::optional<CaptureDocument>& document() const { return m_document; }
    const QUuid& documentID() const { return m_documentID; }
    DocumentOrigin origin() const { return m_origin; }
    Phase phase() const;
    bool isOutputLocked() const { return m_outputToken.has_value(); }
    // An edit is open or the draft differs from the committed content.
    bool hasDraft() const;
    std::optional<int> nextNumber() const;
    std::optional<Rect> selection() const;
    // The draft's marks; empty without a draft.
    const std::vector<Annotation>& annotations() const;

    // A rectangle replaces the draft's selection (making a draft if there is none); absent
    // drops the draft. Marks and the next number stay.
    void setSelection(const std::optional<Rect>& selection);
    // Replaces the draft's marks; nothing without a draft.
    void setAnnotations(std::vector<Annotation> annotations);

    void beginEdit(EditKind kind);
    // Commits a valid draft with an area, creating the document on the first success, and
    // closes the open edit. True also when the draft was unchanged.
    bool commit();
    // Closes the open edit and discards uncommitted changes: the draft returns to the
    // document's content, or without a document to the draft the edit began with. An edit
    // begun without a draft leaves the draft as it is.
    void cancelEdit();
    // Steps the history, then discards any open edit and draft change.
    void undo();
    void redo();
    // Adopts the document with its id and origin, then discards any open edit.
    void restore(const CaptureDocument& document);

    bool setNextNumber(int number);
    // Appends a numbered marker with the next number and commits; the new marker, or absent.
    std::optional<Annotation> addNumber(Point center, double diameter, const AnnotationStyle& style);
    // Renumbers the first number mark with that id and commits; the next number becomes one
    // past the highest marker number.
    bool setNumber(int number, const QUuid& markID);

    // Takes the output lock when the committed content is exactly what the editor shows.
    std::optional<QUuid> beginOutput();
    // Releases the lock held under token, recording the output when it succeeded.
    bool finishOutput(const QUuid& token, bool succeeded);

private:
    // No output holds the lock, no edit is open, and there is a draft to number.
    bool mayNumber() const;
    // Commits candidate as the draft; on refusal the draft is put back as it was.
    bool commitCandidate(CaptureContent candidate);
    bool draftMatchesDocument() const;

    std::optional<CaptureDocument> m_document;
    std::optional<CaptureContent> m_draft;
    std::optional<EditKind> m_editKind;
    std::optional<CaptureContent> m_baseline;
    std::optional<QUuid> m_outputToken;
    QUuid m_documentID;
    DocumentOrigin m_origin;
};

} // namespace vorlith
