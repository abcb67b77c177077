#pragma once

#include "platform/PasteboardItem.h"

#include <QList>
#include <QStringList>

#include <optional>

namespace vorlith {

// The system clipboard as the output engine sees it: a list of items, each readable type by
// type, a counter that moves whenever anybody changes the contents, a clear and a write.
// Main thread only.
class Pasteboard {
public:
    virtual ~Pasteboard() = default;

    // Moves on every change of the contents, by this process or any other.
    virtual qint64 changeCount() = 0;

    // The items now on the clipboard.
    virtual int itemCount() = 0;
    virtual QStringList types(int item) = 0;
    // The data of one type, or nothing when it cannot be read.
    virtual std::optional<QByteArray> data(int item, const QString& type) = 0;

    // Empties the clipboard and returns the change count after it.
    virtual qint64 clearContents() = 0;
    // Puts the items on the clipboard; false when the clipboard did not take them.
    virtual bool writeObjects(const QList<PasteboardItem>& items) = 0;
};

} // namespace vorlith
