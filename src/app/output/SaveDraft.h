#pragma once

#include "app/output/ImageFormat.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace vorlith {

// Where, under which name and in which format the next save of one image goes. Every editing
// record keeps its own; the save panel reads it and hands back what it showed last, also after
// a cancel.
struct SaveDraft {
    // The name offered in the panel's name field, without a folder; after a panel, what the
    // field showed last, extension included.
    QString name;
    ImageFormat format = ImageFormat::png;
    // The folder the panel opens in: an absolute local path.
    QString directory;
    // Access data for `directory` that survives a restart; absent when none could be made, and
    // dropped whenever `directory` changes.
    std::optional<QByteArray> directoryBookmark;
};

} // namespace vorlith
