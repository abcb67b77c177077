#include "core/EditorSession.h"

#include "core/Utf8.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace vorlith {

namespace {

// The counter after highest was handed out: empty once 999 is gone.
std::optional<int> counterAfter(int highest)
{
    return highest < lastMarkerNumber ? std::optional<int>(highest + 1) : std::nullopt;
}

CaptureContent freshContent(const Rect& selection)
{
    return CaptureContent{selection, {}, 1};
}

} // namespace

EditorSession::EditorSession(const QUuid& documentID, const std::optional<Rect>& preselection, DocumentOrigin origin)
    : m_documentID(documentID)
    , m_origin(origin)
{
    if (preselection)
        m_draft = freshContent(*preselection);
}

EditorSession::EditorSession(const CaptureDocument& document)
    : m_document(document)
    , m_draft(document.content())
    , m_documentID(document.id())
    , m_origin(document.origin())
{
}

EditorSession::Phase EditorSession::phase() const
{
    if (m_outputToken)
        return Phase::output();
    if (m_editKind)
        return Phase::draft(*m_editKind);
    return m_document ? Phase::editing() : Phase::preselection();
}

bool EditorSession::hasDraft() const
{
    if (m_editKind)
        return true;
    if (!m_document)
        return m_draft.has_value();
    return !draftMatchesDocument();
}

bool EditorSession::draftMatchesDocument() const
{
    return m_document && m_draft && *m_draft == m_document->content();
}

std::optional<int> EditorSession::nextNumber() const
{
    return m_draft ? m_draft->nextNumber : std::nullopt;
}

std::optional<Rect> EditorSession::selection() const
{
    return m_draft ? std::optional<Rect>(m_draft->selection) : std::nullopt;
}

const std::vector<Annotation>& EditorSession::annotations() const
{
    static const std::vector<Annotation> none;
    return m_draft ? m_draft->annotations : none;
}

void EditorSession::setSelection(const std::optional<Rect>& selection)
{
    if (isOutputLocked())
        return;
    if (!selection)
        m_draft.reset();
    else if (m_draft)
        m_draft->selection = *selection;
    else
        m_draft = freshContent(*selection);
}

void EditorSession::setAnnotations(std::vector<Annotation> annotations)
{
    if (isOutputLocked() || !m_draft)
        return;
    // Text enters the model here: keep it well formed, so that its byte estimate, its
    // signature and its saved form agree.
    for (Annotation& mark : annotations)
        mark.text = wellFormedText(mark.text);
    m_draft->annotations = std::move(annotations);
}

void EditorSession::beginEdit(EditKind kind)
{
    if (isOutputLocked() || m_editKind)
        return;
    m_baseline = m_draft;
    m_editKind = kind;
}

bool EditorSession::commit()
{
    if (isOutputLocked() || !m_draft || !m_draft->isValid() || m_draft->selection.isEmpty())
        return false;
    if (!m_document)
        m_document.emplace(m_documentID, m_draft->selection, m_origin, historyBudget);
    m_document->commit(*m_draft);
    m_baseline.reset();
    m_editKind.reset();
    return true;
}

void EditorSession::cancelEdit()
{
    if (isOutputLocked())
        return;
    if (m_document)
        m_draft = m_document->content();
    else if (m_baseline)
        m_draft = std::move(m_baseline);
    m_baseline.reset();
    m_editKind.reset();
}

void EditorSession::undo()
{
    if (isOutputLocked())
        return;
    if (m_document)
        m_document->undo();
    cancelEdit();
}

void EditorSession::redo()
{
    if (isOutputLocked())
        return;
    if (m_document)
        m_document->redo();
    cancelEdit();
}

void EditorSession::restore(const CaptureDocument& document)
{
    if (isOutputLocked())
        return;
    m_document = document;
    m_documentID = document.id();
    m_origin = document.origin();
    cancelEdit();
}

bool EditorSession::mayNumber() const
{
    return !isOutputLocked() && !m_editKind && m_draft;
}

bool EditorSession::commitCandidate(CaptureContent candidate)
{
    std::optional<CaptureContent> saved = std::exchange(m_draft, std::move(candidate));
    if (commit())
        return true;
    m_draft = std::move(saved);
    return false;
}

bool EditorSession::setNextNumber(int number)
{
    if (!mayNumber() || !isMarkerNumber(number))
        return false;
    CaptureContent candidate = *m_draft;
    candidate.nextNumber = number;
    return commitCandidate(std::move(candidate));
}

std::optional<Annotation> EditorSession::addNumber(Point center, double diameter, const AnnotationStyle& style)
{
    if (!mayNumber() || !m_draft->nextNumber || !center.isFinite() || !std::isfinite(diameter) || !(diameter > 0))
        return std::nullopt;
    const int number = *m_draft->nextNumber;
    Annotation marker = Annotation::numbered(number, center, diameter, style);

    CaptureContent candidate = *m_draft;
    candidate.annotations.push_back(marker);
    candidate.nextNumber = counterAfter(number);
    if (!candidate.isValid() || !commitCandidate(std::move(candidate)))
        return std::nullopt;
    return marker;
}

bool EditorSession::setNumber(int number, const QUuid& markID)
{
    if (!mayNumber() || !isMarkerNumber(number) || m_draft->annotations.empty())
        return false;
    CaptureContent candidate = *m_draft;
    auto marker = std::find_if(candidate.annotations.begin(), candidate.annotations.end(), [&](const Annotation& mark) {
        return mark.id == markID && mark.kind == Annotation::Kind::number;
    });
    if (marker == candidate.annotations.end())
        return false;
    if (marker->number == number)
        return true;
    marker->number = number;

    int highest = 0;
    for (const Annotation& mark : candidate.annotations) {
        if (mark.kind == Annotation::Kind::number)
            highest = std::max(highest, mark.number);
    }
    candidate.nextNumber = counterAfter(highest);
    return candidate.isValid() && commitCandidate(std::move(candidate));
}

std::optional<QUuid> EditorSession::beginOutput()
{
    // Uncommitted work must be committed first: the output shows the document's content.
    if (isOutputLocked() || m_editKind || !draftMatchesDocument())
        return std::nullopt;
    m_outputToken = QUuid::createUuid();
    return m_outputToken;
}

bool EditorSession::finishOutput(const QUuid& token, bool succeeded)
{
    if (!m_outputToken || *m_outputToken != token)
        return false;
    if (succeeded && m_document)
        m_document->recordOutput();
    m_outputToken.reset();
    return true;
}

} // namespace vorlith
