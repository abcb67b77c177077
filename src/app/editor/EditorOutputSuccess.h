#pragma once

#include "core/CaptureDocument.h"
#include "core/Geometry.h"

#include <QString>
#include <QUuid>

namespace vorlith {

// What an editor's owner receives after a successful copy or save.
struct EditorOutputSuccess {
    QUuid requestID;           // the output permit's request id, also the toast's id
    CaptureDocument document;  // with the output recorded on it
    bool isPinned = false;
    Point anchor;              // screen point the toast was anchored at
    QString message;           // "已保存截图", or the copy's notice of the same form
};

} // namespace vorlith
