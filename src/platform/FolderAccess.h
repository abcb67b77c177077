#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace vorlith {

// Lasting access to folders the user chose: a bookmark that reaches the folder again in a
// later run, and a start and stop around each use. Systems without such a scheme answer with
// no bookmark and access that is always granted. Safe to call from any thread.
class FolderAccess {
public:
    virtual ~FolderAccess() = default;

    // Whether this system keeps folders by bookmarks at all. Without them a chosen folder is
    // kept by its path alone (and a bookmark stored earlier must not outlive the choice).
    virtual bool usesBookmarks() const = 0;
    // Data that reaches `path` again later; nothing when none can be made.
    virtual std::optional<QByteArray> makeBookmark(const QString& path) = 0;
    // The folder or file a bookmark stands for; nothing when it no longer resolves.
    virtual std::optional<QString> resolveBookmark(const QByteArray& bookmark) = 0;
    // Begins using `path`; true when access was granted (and must be stopped later).
    virtual bool startAccess(const QString& path) = 0;
    virtual void stopAccess(const QString& path) = 0;
};

} // namespace vorlith
