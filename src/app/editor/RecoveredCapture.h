#pragma once

#include "app/capture/FrozenDisplay.h"
#include "app/output/SaveDraft.h"
#include "core/Annotation.h"
#include "core/CaptureDocument.h"
#include "core/CaptureTool.h"

#include <QHash>
#include <QUuid>

#include <optional>
#include <vector>

namespace vorlith {

// An unfinished capture as it can be reopened later: every frozen display, the one whose
// editor held the document, that document with its whole history and output record, and the
// editor's own state. A snapshot: later edits in the editor do not change it. It lives in
// memory only.
struct RecoveredCapture {
    // In display order. The recovery store may later replace the images of the displays
    // other than `displayID` with compact ones.
    std::vector<FrozenDisplay> frames;
    quint32 displayID = 0;
    CaptureDocument document;
    SaveDraft saveDraft;
    CaptureTool tool = CaptureTool::select;
    QHash<CaptureTool, AnnotationStyle> styles;
    Shape shapeKind = Shape::roundedRectangle;
    std::optional<QUuid> selectedMarkID;
};

} // namespace vorlith
