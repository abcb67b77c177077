#pragma once

#include "app/editor/EditorDocument.h"

#include <QHash>
#include <QUuid>

#include <memory>

namespace vorlith {

// The coordinator's table of live documents by id. An id names one document for its whole
// life. Entries are removed by the coordinator, once no overlay or pin shows the document.
class DocumentRegistry {
public:
    // Registers the document under its id; registering it again changes nothing. A different
    // document under a registered id is a programming error.
    void insert(std::shared_ptr<EditorDocument> document);

    QHash<QUuid, std::shared_ptr<EditorDocument>> documents;
};

} // namespace vorlith
