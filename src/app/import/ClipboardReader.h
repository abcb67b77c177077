#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <QCoro/QCoroTask>

#include <optional>
#include <stop_token>

namespace vorlith {

class Pasteboard;

// How the import reads the clipboard: the types offered by any item, and the data of one
// type from the first item that offers it. Reads are awaited, so that a clipboard owner that
// is slow to answer never holds the main thread.
struct ClipboardReader {
    static QStringList types(Pasteboard& pasteboard);
    static bool offers(Pasteboard& pasteboard, const QString& type);
    // Nothing when no item offers the type or its data cannot be read. Throws
    // CancellationError when `stop` is triggered.
    static QCoro::Task<std::optional<QByteArray>> data(Pasteboard& pasteboard, QString type, std::stop_token stop);
};

} // namespace vorlith
