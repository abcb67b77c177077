#include "app/editor/EditorDocument.h"

namespace vorlith {

EditorDocument::EditorDocument(EditorImageSource source, SaveDraft saveDraft, EditorSession session)
    : session(std::move(session)),
      saveDraft(std::move(saveDraft)),
      m_id(this->session.documentID()),
      m_source(std::move(source)),
      m_compositor(m_source.image, m_source.geometry.size)
{
    for (const CaptureTool t : captureTool::allCases)
        styles.insert(t, defaultStyle(t));
}

AnnotationStyle EditorDocument::defaultStyle(CaptureTool tool)
{
    return AnnotationStyle{
        .color = tool == CaptureTool::highlight ? RGBA::Yellow : RGBA::Red,
        .width = 2,
        .opacity = 0.35,
        .fontSize = tool == CaptureTool::number ? 24.0 : 28.0,
        .background = std::nullopt,
        .mosaicSize = 16,
    };
}

} // namespace vorlith
