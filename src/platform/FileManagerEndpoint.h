#pragma once

#include "platform/FinderLocation.h"

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <chrono>
#include <exception>
#include <optional>

namespace vorlith {

// A failed exchange with the file manager. The codes say what the reader must tell apart;
// `status` keeps the endpoint's own number for the log.
class FileManagerError : public std::exception {
public:
    enum class Code {
        malformed,       // an answer of the wrong shape, or no way to address the process
        timedOut,        // the shared deadline passed
        noSuchObject,    // the front window is not one of the file manager's own
        notPermitted,    // control of the file manager was refused
        needsConsent,    // the user has not yet answered whether we may control it
        other,
    };
    FileManagerError(Code code, int status = 0) : m_code(code), m_status(status) {}
    Code code() const { return m_code; }
    int status() const { return m_status; }
    const char* what() const noexcept override { return "file manager exchange failed"; }

private:
    Code m_code;
    int m_status;
};

// The file manager in front, reached by its process: whether it is one we can read, whether
// we may, and what it shows (its insertion location and its selected items).
//
// `isFileManager` runs on the main thread; every other call blocks and runs on the file
// manager queue's worker, one at a time for the whole application. A call given a deadline
// gives up with `timedOut` when it passes.
//
// On X11 no file manager publishes its selection (the FileManager1 bus interface only shows
// items, and a synthetic copy would overwrite the clipboard), so the X11 endpoint answers
// "not a file manager" for every application and pin requests take the clipboard, which holds
// a file manager's copied files.
class FileManagerEndpoint {
public:
    using Deadline = std::chrono::steady_clock::time_point;
    enum class Permission { granted, needsConsent, denied, unavailable };

    virtual ~FileManagerEndpoint() = default;

    // Whether the front application with this window class is a file manager we can read.
    virtual bool isFileManager(const std::optional<QString>& windowClass) = 0;
    // May we read the file manager of process `pid`? With `askUser`, the user may be asked
    // (blocking until answered); without, the answer is what is already known.
    virtual Permission permission(qint32 pid, bool askUser) = 0;
    // Where new items would go and which window is in front. Throws FileManagerError.
    virtual FinderLocation location(qint32 pid, Deadline deadline) = 0;
    // The number of selected items; absent when the selection is not a list. Throws.
    virtual std::optional<qint64> selectionCount(qint32 pid, Deadline deadline) = 0;
    // Item `index` (from 1) as the raw bytes of a file URL; absent when the item is missing or
    // not a file reference. Throws.
    virtual std::optional<QByteArray> selectionItem(qint32 pid, qint64 index, Deadline deadline) = 0;
};

} // namespace vorlith
