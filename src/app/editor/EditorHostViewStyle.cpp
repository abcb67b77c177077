// EditorHostView: style and marker commands. So far only what the pointer needs: a grabbed
// mark takes the tool and its style along, and a dragged mark replaces itself in the draft.
#include "app/editor/EditorHostView.h"

#include "app/editor/EditorDocument.h"

#include <algorithm>

namespace vorlith {

namespace {

CaptureTool toolOf(Annotation::Kind kind)
{
    switch (kind) {
    case Annotation::Kind::roundedRectangle:
    case Annotation::Kind::ellipse:
    case Annotation::Kind::line: return CaptureTool::shape;
    case Annotation::Kind::arrow: return CaptureTool::arrow;
    case Annotation::Kind::highlight: return CaptureTool::highlight;
    case Annotation::Kind::pen: return CaptureTool::pen;
    case Annotation::Kind::text: return CaptureTool::text;
    case Annotation::Kind::mosaic: return CaptureTool::mosaic;
    case Annotation::Kind::number: return CaptureTool::number;
    }
    return CaptureTool::select;
}

} // namespace

void EditorHostView::chooseStyle(const Annotation& mark)
{
    EditorDocument& record = *m_record;
    record.tool = toolOf(mark.kind);
    if (const std::optional<Shape> shape = shape::fromAnnotationKind(mark.kind))
        record.shapeKind = *shape;
    if (mark.kind != Annotation::Kind::number)
        record.styles.insert(record.tool, mark.style);
    m_chrome.propertiesOpen = true;
}

void EditorHostView::replace(const Annotation& mark)
{
    EditorSession& session = m_record->session;
    std::vector<Annotation> marks = session.annotations();
    const auto found = std::find_if(marks.begin(), marks.end(), [&](const Annotation& a) { return a.id == mark.id; });
    if (found == marks.end())
        return;
    *found = mark;
    session.setAnnotations(std::move(marks));
}

} // namespace vorlith
