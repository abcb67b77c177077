#pragma once

#include "platform/FolderAccess.h"

#include <QMutex>
#include <QStringList>

namespace vorlith::test {

// Folder access with bookmarks that work ("bookmark:" + path) unless told otherwise, and a
// record of every start and stop. Thread-safe: leases end on worker threads too.
class FakeFolderAccess final : public FolderAccess {
public:
    bool bookmarksWork = true;
    bool bookmarksResolve = true;
    bool accessGranted = true;

    bool usesBookmarks() const override { return true; }
    std::optional<QByteArray> makeBookmark(const QString& path) override
    {
        QMutexLocker lock(&m_mutex);
        if (!bookmarksWork)
            return std::nullopt;
        return QByteArray("bookmark:") + path.toUtf8();
    }
    std::optional<QString> resolveBookmark(const QByteArray& bookmark) override
    {
        QMutexLocker lock(&m_mutex);
        if (!bookmarksResolve || !bookmark.startsWith("bookmark:"))
            return std::nullopt;
        return QString::fromUtf8(bookmark.mid(9));
    }
    bool startAccess(const QString& path) override
    {
        QMutexLocker lock(&m_mutex);
        m_log << QStringLiteral("start ") + path;
        return accessGranted;
    }
    void stopAccess(const QString& path) override
    {
        QMutexLocker lock(&m_mutex);
        m_log << QStringLiteral("stop ") + path;
    }

    QStringList log() const
    {
        QMutexLocker lock(&m_mutex);
        return m_log;
    }
    // Paths started and not yet stopped.
    QStringList open() const
    {
        QMutexLocker lock(&m_mutex);
        QStringList open;
        for (const QString& entry : m_log) {
            if (entry.startsWith(QStringLiteral("start ")))
                open << entry.mid(6);
            else
                open.removeOne(entry.mid(5));
        }
        return open;
    }

private:
    mutable QMutex m_mutex;
    QStringList m_log;
};

} // namespace vorlith::test
