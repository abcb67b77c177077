#pragma once

#include "app/editor/EditorDocument.h"

#include <QHash>
#include <QList>
#include <QUuid>

#include <functional>
#include <memory>

namespace vorlith {

// The coordinator's table of live documents by id. An id names one document for its whole
// life. Entries are removed by the coordinator, once no overlay or pin shows the document.
class DocumentRegistry {
public:
    // Registers the document under its id; registering it again changes nothing. A different
    // document under a registered id is a programming error.
    void insert(std::shared_ptr<EditorDocument> document);

    // The document registered under the id, or null.
    [[nodiscard]] std::shared_ptr<EditorDocument> document(const QUuid& id) const { return m_documents.value(id); }
    [[nodiscard]] bool contains(const QUuid& id) const { return m_documents.contains(id); }
    [[nodiscard]] qsizetype size() const { return m_documents.size(); }
    // Every registered document, in no particular order.
    [[nodiscard]] QList<std::shared_ptr<EditorDocument>> all() const { return m_documents.values(); }

    void remove(const QUuid& id) { m_documents.remove(id); }
    // Removes every document the predicate holds for; returns how many went.
    qsizetype removeWhere(const std::function<bool(const EditorDocument&)>& predicate);

private:
    QHash<QUuid, std::shared_ptr<EditorDocument>> m_documents;
};

} // namespace vorlith
