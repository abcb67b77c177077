#include "app/editor/DocumentRegistry.h"

#include <QtGlobal>

namespace vorlith {

void DocumentRegistry::insert(std::shared_ptr<EditorDocument> document)
{
    Q_ASSERT(document);
    const QUuid id = document->id();
    const auto existing = documents.constFind(id);
    if (existing != documents.cend() && existing->get() != document.get()) {
        // Fresh ids never collide; should one ever do, the registered document keeps its id.
        Q_ASSERT_X(false, "DocumentRegistry::insert", "another document is registered under this id");
        return;
    }
    documents.insert(id, std::move(document));
}

} // namespace vorlith
