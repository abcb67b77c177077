#pragma once

#include "app/editor/CompositeRenderer.h"
#include "app/output/SaveDraft.h"
#include "app/base/EditorImageSource.h"
#include "core/Annotation.h"
#include "core/CaptureTool.h"
#include "core/EditorSession.h"
#include "core/ToolbarPlacementModel.h"

#include <QHash>
#include <QUuid>

#include <functional>
#include <optional>

namespace vorlith {

// The editing record of one image, shared (through std::shared_ptr) by the capture overlay
// or pin window that shows it, their editor view and the coordinator's registry. It holds
// the edit transaction, the save draft, the editor's per-document state, the commit gate
// the coordinator installs and the document's own compositor. `id`, `source` and the
// compositor never change.
class EditorDocument {
public:
    // The document's id is the one its session was made with.
    EditorDocument(EditorImageSource source, SaveDraft saveDraft, EditorSession session);
    EditorDocument(const EditorDocument&) = delete;
    EditorDocument& operator=(const EditorDocument&) = delete;

    // The style each tool starts with: red, width 2, opacity 0.35, font size 28, mosaic 16;
    // the highlighter is yellow and the marker tool's font size is 24.
    static AnnotationStyle defaultStyle(CaptureTool tool);

    const QUuid& id() const { return m_id; }
    const EditorImageSource& source() const { return m_source; }
    CompositeRenderer& compositor() { return m_compositor; }
    const CompositeRenderer& compositor() const { return m_compositor; }

    EditorSession session;
    SaveDraft saveDraft;
    CaptureTool tool = CaptureTool::select;
    QHash<CaptureTool, AnnotationStyle> styles;
    // What the shape tool draws.
    Shape shapeKind = Shape::roundedRectangle;
    std::optional<QUuid> selectedMarkID;
    ToolbarPlacementModel toolbarPlacement;
    // Consulted before every commit of a change; absent until the coordinator registers the
    // document and installs its memory test.
    std::function<bool(const EditorSession&)> canCommitSession;

private:
    const QUuid m_id;
    const EditorImageSource m_source;
    CompositeRenderer m_compositor;
};

} // namespace vorlith
