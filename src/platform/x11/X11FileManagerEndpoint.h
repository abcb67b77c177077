#pragma once

#include "platform/FileManagerEndpoint.h"

namespace vorlith {

// No X11 file manager publishes its selection: nothing is a file manager here, so every pin
// request reads the clipboard. The other answers are never reached; they refuse.
class X11FileManagerEndpoint final : public FileManagerEndpoint {
public:
    bool isFileManager(const std::optional<QString>&) override { return false; }
    Permission permission(qint32, bool) override { return Permission::unavailable; }
    FinderLocation location(qint32, Deadline) override { throw FileManagerError(FileManagerError::Code::other); }
    std::optional<qint64> selectionCount(qint32, Deadline) override { throw FileManagerError(FileManagerError::Code::other); }
    std::optional<QByteArray> selectionItem(qint32, qint64, Deadline) override
    {
        throw FileManagerError(FileManagerError::Code::other);
    }
};

} // namespace vorlith
