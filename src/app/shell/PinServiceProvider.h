#pragma once

#include "app/shell/PinOriginContext.h"

#include <QList>
#include <QStringList>
#include <QUrl>
#include <QUuid>

#include <functional>
#include <map>
#include <memory>
#include <optional>

namespace vorlith {

class FolderAccess;

// Receives files another program asks us to pin ("Open With" runs `vorlith --pin FILE…`,
// whose request reaches the running instance), opens access to them and hands them to the
// pin road. The access stays open until the road reports that the import has ended, or until
// the application quits. Main thread only.
class PinServiceProvider {
public:
    using OnFiles = std::function<bool(const QList<QUrl>&, const PinOriginContext&)>;

    // `onFiles`: starts the import; true when it did. `captureOrigin`: the origin of a
    // request (trigger `service`).
    PinServiceProvider(OnFiles onFiles, std::shared_ptr<FolderAccess> folderAccess,
                       std::function<PinOriginContext()> captureOrigin);
    ~PinServiceProvider();
    PinServiceProvider(const PinServiceProvider&) = delete;
    PinServiceProvider& operator=(const PinServiceProvider&) = delete;

    // One request's entries (absolute paths or file: URIs). Nothing when the import started,
    // else the sentence that refuses it.
    std::optional<QString> pinSelectedImages(const QStringList& entries);
    // Ends the access opened for the request; an unknown id does nothing.
    void finishRequest(const QUuid& requestID);
    void finishAllRequests();

    // The request ids whose access is open, and the paths of one.
    [[nodiscard]] std::map<QUuid, QStringList> access() const { return m_access; }

    // The files of a request, in order: absolute paths and file: URIs; anything else is
    // dropped.
    [[nodiscard]] static QList<QUrl> files(const QStringList& entries);

    static QString noFilesMessage();
    static QString refusedMessage();

private:
    OnFiles m_onFiles;
    std::shared_ptr<FolderAccess> m_folderAccess;
    std::function<PinOriginContext()> m_captureOrigin;
    std::map<QUuid, QStringList> m_access;
};

} // namespace vorlith
