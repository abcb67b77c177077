#include "app/editor/DocumentRegistry.h"

#include <QtGlobal>

namespace vorlith {

void DocumentRegistry::insert(std::shared_ptr<EditorDocument> document)
{
    Q_ASSERT(document);
    const QUuid id = document->id();
    const auto existing = m_documents.constFind(id);
    if (existing != m_documents.cend() && existing->get() != document.get()) {
        // Fresh ids never collide; should one ever do, the registered document keeps its id.
        Q_ASSERT_X(false, "DocumentRegistry::insert", "another document is registered under this id");
        return;
    }
    m_documents.insert(id, std::move(document));
}

qsizetype DocumentRegistry::removeWhere(const std::function<bool(const EditorDocument&)>& predicate)
{
    return m_documents.removeIf([&](const auto& entry) { return predicate(*entry.value()); });
}

} // namespace vorlith
