// EditorHostView: what the property strip's style, shape and marker requests do to the
// document. A slider being dragged previews inside one open style edit; the release commits
// it once through the memory gate.
#include "app/editor/EditorHostView.h"

#include "app/editor/EditorDocument.h"
#include "app/editor/chrome/ToolProperties.h"

#include <algorithm>
#include <cmath>

namespace vorlith {

namespace {

bool isShapeKind(Annotation::Kind kind)
{
    return shape::fromAnnotationKind(kind).has_value();
}

// The index of the first draft mark with that id.
std::optional<size_t> indexOf(const std::vector<Annotation>& marks, const QUuid& id)
{
    const auto found = std::find_if(marks.begin(), marks.end(), [&](const Annotation& a) { return a.id == id; });
    if (found == marks.end())
        return std::nullopt;
    return size_t(found - marks.begin());
}

} // namespace

void EditorHostView::replace(const Annotation& mark)
{
    EditorSession& session = m_record->session;
    std::vector<Annotation> marks = session.annotations();
    const std::optional<size_t> index = indexOf(marks, mark.id);
    if (!index)
        return;
    marks[*index] = mark;
    session.setAnnotations(std::move(marks));
}

void EditorHostView::chooseStyle(const Annotation& mark)
{
    EditorDocument& record = *m_record;
    record.tool = captureTool::forAnnotationKind(mark.kind);
    if (const std::optional<Shape> s = shape::fromAnnotationKind(mark.kind))
        record.shapeKind = *s;
    // A marker's style is its own (its size is its diameter): picking one must not make every
    // later marker look like it.
    if (mark.kind != Annotation::Kind::number)
        record.styles.insert(record.tool, mark.style);
    m_chrome.propertiesOpen = true;
}

void EditorHostView::chooseShape(Annotation::Kind kind)
{
    Q_ASSERT(isShapeKind(kind));
    const std::optional<Shape> s = shape::fromAnnotationKind(kind);
    if (!s || m_suspension.inputSuspended || !mayInteract() || outputBusy() || m_record->session.isOutputLocked())
        return;
    EditorDocument& record = *m_record;
    record.selectedMarkID.reset();
    record.shapeKind = *s;
    record.tool = CaptureTool::shape;
    m_chrome.propertiesOpen = true;
    if (refresh())
        returnToCanvas();
}

void EditorHostView::changeNumber(int value)
{
    if (m_suspension.inputSuspended || outputBusy() || m_record->session.isOutputLocked() || hasGesture())
        return;
    EditorDocument& record = *m_record;
    EditorSession trial = record.session;
    const bool changed = m_chrome.properties->isEditingSelectedNumber() && record.selectedMarkID
        ? trial.setNumber(value, *record.selectedMarkID)
        : trial.setNextNumber(value);
    bool allowed = changed;
    if (allowed && record.canCommitSession) {
        const QPointer<EditorHostView> self(this);
        allowed = record.canCommitSession(trial);
        if (!self)
            return;
    }
    if (!allowed) {
        if (refresh())
            showFeedback(QStringLiteral("无法提交编号，已有内容已保留。"));
        return;
    }
    record.session = std::move(trial);
    if (renderMarks())
        notify(onContentChanged);
}

void EditorHostView::changeDiameter(double diameter)
{
    if (m_suspension.inputSuspended || outputBusy() || m_record->session.isOutputLocked() || hasGesture())
        return;
    Q_ASSERT(std::isfinite(diameter) && diameter > 0);
    if (!(std::isfinite(diameter) && diameter > 0))
        return;
    EditorDocument& record = *m_record;
    if (record.selectedMarkID) {
        std::vector<Annotation> marks = record.session.annotations();
        const std::optional<size_t> index = indexOf(marks, *record.selectedMarkID);
        if (index && marks[*index].kind == Annotation::Kind::number) {
            const Rect box = marks[*index].bounds();
            const double cx = box.midX();
            const double cy = box.midY();
            const double r = diameter / 2;
            marks[*index].points = {Point{cx - r, cy - r}, Point{cx + r, cy + r}};
            record.session.setAnnotations(std::move(marks));
            commitContent();
            return;
        }
    }
    // Only markers placed from now on take the new diameter.
    AnnotationStyle style = record.styles.value(CaptureTool::number, EditorDocument::defaultStyle(CaptureTool::number));
    style.fontSize = diameter;
    record.styles.insert(CaptureTool::number, style);
    refresh();
}

void EditorHostView::changeStyle(const AnnotationStyle& style, Annotation::Kind kind, bool preview)
{
    if (m_suspension.inputSuspended || outputBusy() || m_record->session.isOutputLocked())
        return;
    EditorDocument& record = *m_record;
    EditorSession& session = record.session;
    std::vector<Annotation> marks = session.annotations();
    const std::optional<size_t> index = record.selectedMarkID ? indexOf(marks, *record.selectedMarkID) : std::nullopt;
    const bool selectedMarker = index && marks[*index].kind == Annotation::Kind::number;
    // A selected marker is restyled alone; the table keeps what new markers get.
    if (!(record.tool == CaptureTool::number && selectedMarker))
        record.styles.insert(record.tool, style);
    if (record.tool == CaptureTool::shape) {
        if (const std::optional<Shape> s = shape::fromAnnotationKind(kind))
            record.shapeKind = *s;
    }
    const bool textOpen = !m_text.textEditor.isNull();
    if (index) {
        if (preview)
            session.beginEdit(EditorSession::EditKind::style);
        Annotation& mark = marks[*index];
        mark.style = style;
        if (isShapeKind(mark.kind) && record.tool == CaptureTool::shape && isShapeKind(kind))
            mark.kind = kind;
        const bool isText = mark.kind == Annotation::Kind::text;
        session.setAnnotations(std::move(marks));
        if (isText)
            resizeTextMark(*index);
        const QPointer<EditorHostView> self(this);
        if (textOpen || preview) {
            record.compositor().requestPreview(visibleMarks(), previewCompletion());
            if (!self || !setNeedsDisplay())
                return;
        } else if (!commitContent() && !self) {
            return;
        }
    }
    if (textOpen) {
        // The open editor takes the new colour, font and line height at once.
        m_text.textEditor->setTextStyle(style);
        layoutTextEditor();
    }
    if (!preview)
        refresh();
}

} // namespace vorlith
