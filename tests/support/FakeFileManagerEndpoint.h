#pragma once

#include "platform/FileManagerEndpoint.h"

#include <QStringList>
#include <QUrl>

#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace vorlith::test {

// A file manager played by a script: which window classes are file managers, the
// permission answers, the locations of successive reads, the selected items, a failure at a
// chosen step, a delay per call and a hook run (on the worker) at each step. Records every
// step it was asked.
class FakeFileManagerEndpoint final : public FileManagerEndpoint {
public:
    struct Script {
        QStringList fileManagers{QStringLiteral("Files")};
        Permission permission = Permission::granted;          // asked without the user
        Permission permissionWhenAsked = Permission::granted; // asked with the user
        // The n-th location read gets entry n (the last one repeats).
        std::vector<FinderLocation> locations{FinderLocation::desktop()};
        // Absent: the selection is not a list. An absent item is missing.
        std::optional<std::vector<std::optional<QByteArray>>> items = std::vector<std::optional<QByteArray>>{};
        // Steps: "permission", "location1", "count", "item<N>", "location2".
        QString failStep;
        FileManagerError failure{FileManagerError::Code::other};
        std::chrono::milliseconds delay{0};
        std::function<void(const QString& step)> onStep;
    };

    Script script;

    static QByteArray fileItem(const QString& path) { return QUrl::fromLocalFile(path).toEncoded(); }

    QStringList steps() const
    {
        std::lock_guard lock(m_mutex);
        return m_steps;
    }

    bool isFileManager(const std::optional<QString>& windowClass) override
    {
        return windowClass && script.fileManagers.contains(*windowClass);
    }
    Permission permission(qint32, bool askUser) override
    {
        step(askUser ? QStringLiteral("ask") : QStringLiteral("permission"));
        return askUser ? script.permissionWhenAsked : script.permission;
    }
    FinderLocation location(qint32, Deadline) override
    {
        const int read = m_locationReads++;
        step(QStringLiteral("location%1").arg(read + 1));
        return script.locations[std::min<size_t>(read, script.locations.size() - 1)];
    }
    std::optional<qint64> selectionCount(qint32, Deadline) override
    {
        step(QStringLiteral("count"));
        if (!script.items)
            return std::nullopt;
        return qint64(script.items->size());
    }
    std::optional<QByteArray> selectionItem(qint32, qint64 index, Deadline) override
    {
        step(QStringLiteral("item%1").arg(index));
        return (*script.items)[size_t(index - 1)];
    }

private:
    void step(const QString& name)
    {
        {
            std::lock_guard lock(m_mutex);
            m_steps << name;
        }
        if (script.delay.count() > 0)
            std::this_thread::sleep_for(script.delay);
        if (script.onStep)
            script.onStep(name);
        if (!script.failStep.isEmpty() && name == script.failStep)
            throw script.failure;
    }

    mutable std::mutex m_mutex;
    QStringList m_steps;
    std::atomic<int> m_locationReads = 0;
};

} // namespace vorlith::test
