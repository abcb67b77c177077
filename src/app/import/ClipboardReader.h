#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <QCoro/QCoroTask>

#include <optional>
#include <stop_token>

namespace vorlith {

class Pasteboard;

// How the import reads the clipboard: the types any item offers, and the data of one type
// from the first item that offers it. Both are awaited, so that a clipboard owner that is
// slow to answer never holds the main thread. Throw CancellationError once `stop` is
// triggered.
struct ClipboardReader {
    static QCoro::Task<QStringList> types(Pasteboard& pasteboard, std::stop_token stop);
    // Nothing when no item offers the type or its data cannot be read.
    static QCoro::Task<std::optional<QByteArray>> data(Pasteboard& pasteboard, QString type, std::stop_token stop);
};

} // namespace vorlith
