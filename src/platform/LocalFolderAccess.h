#pragma once

#include "platform/FolderAccess.h"

#include <QFileInfo>

namespace vorlith {

// Linux: every folder the user can reach is open to the application, so no bookmark is made
// and access needs no start or stop. A bookmark stored earlier is read as the path it holds
// and resolves while something exists there, so a kept bookmark never stands in the way.
class LocalFolderAccess final : public FolderAccess {
public:
    bool usesBookmarks() const override { return false; }
    std::optional<QByteArray> makeBookmark(const QString&) override { return std::nullopt; }
    std::optional<QString> resolveBookmark(const QByteArray& bookmark) override
    {
        const QString path = QString::fromUtf8(bookmark);
        if (path.isEmpty() || !QFileInfo(path).isAbsolute() || !QFileInfo::exists(path))
            return std::nullopt;
        return path;
    }
    bool startAccess(const QString&) override { return true; }
    void stopAccess(const QString&) override {}
};

} // namespace vorlith
