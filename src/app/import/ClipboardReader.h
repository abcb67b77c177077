#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <QCoro/QCoroTask>

#include <optional>
#include <stop_token>

namespace vorlith {

class Pasteboard;

// How the import reads the clipboard through the bounded reads of the clipboard seam: the
// types each item offers, then the data of one type from the first item offering it. Nothing
// here waits on the main thread; an owner that stops answering counts as having nothing to
// give. Reads throw CancellationError once `stop` is triggered.
struct ClipboardReader {
    // The types of each item; empty for an empty clipboard and for an owner that does not
    // say what it holds.
    static QCoro::Task<QList<QStringList>> items(Pasteboard& pasteboard, std::stop_token stop);
    // Every type any item offers, each once.
    static QStringList types(const QList<QStringList>& items);
    // Nothing when no item offers the type, or its owner refused or stalled.
    static QCoro::Task<std::optional<QByteArray>> data(Pasteboard& pasteboard, QList<QStringList> items,
                                                       QString type, std::stop_token stop);
};

} // namespace vorlith
