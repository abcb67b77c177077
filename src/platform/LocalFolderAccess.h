#pragma once

#include "platform/FolderAccess.h"

namespace vorlith {

// Linux: every folder the user can reach is open to the application, so no bookmark is made
// and access needs no start or stop.
class LocalFolderAccess final : public FolderAccess {
public:
    std::optional<QByteArray> makeBookmark(const QString&) override { return std::nullopt; }
    std::optional<QString> resolveBookmark(const QByteArray&) override { return std::nullopt; }
    bool startAccess(const QString&) override { return true; }
    void stopAccess(const QString&) override {}
};

} // namespace vorlith
