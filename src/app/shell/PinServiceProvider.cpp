#include "app/shell/PinServiceProvider.h"

#include "platform/FolderAccess.h"

#include <QDir>

namespace vorlith {

PinServiceProvider::PinServiceProvider(OnFiles onFiles, std::shared_ptr<FolderAccess> folderAccess,
                                       std::function<PinOriginContext()> captureOrigin)
    : m_onFiles(std::move(onFiles))
    , m_folderAccess(std::move(folderAccess))
    , m_captureOrigin(std::move(captureOrigin))
{
}

PinServiceProvider::~PinServiceProvider()
{
    finishAllRequests();
}

QList<QUrl> PinServiceProvider::files(const QStringList& entries)
{
    QList<QUrl> urls;
    for (const QString& entry : entries) {
        if (entry.startsWith(QStringLiteral("file:"), Qt::CaseInsensitive)) {
            const QUrl url(entry, QUrl::StrictMode);
            if (url.isValid() && url.isLocalFile() && QDir::isAbsolutePath(url.toLocalFile()))
                urls << url;
        } else if (!entry.isEmpty() && QDir::isAbsolutePath(entry)) {
            urls << QUrl::fromLocalFile(entry);
        }
    }
    return urls;
}

std::optional<QString> PinServiceProvider::pinSelectedImages(const QStringList& entries)
{
    const QList<QUrl> urls = files(entries);
    if (urls.isEmpty())
        return noFilesMessage();
    const PinOriginContext origin = m_captureOrigin ? m_captureOrigin() : PinOriginContext{QUuid::createUuid(), PinTrigger::service};
    QStringList started;
    if (m_folderAccess) {
        for (const QUrl& url : urls) {
            const QString path = url.toLocalFile();
            if (m_folderAccess->startAccess(path))
                started << path;
        }
    }
    m_access[origin.id] = started;
    const bool accepted = m_onFiles && m_onFiles(urls, origin);
    if (!accepted) {
        finishRequest(origin.id);
        return refusedMessage();
    }
    return std::nullopt;
}

void PinServiceProvider::finishRequest(const QUuid& requestID)
{
    const auto entry = m_access.find(requestID);
    if (entry == m_access.end())
        return;
    const QStringList paths = entry->second;
    m_access.erase(entry);
    if (!m_folderAccess)
        return;
    for (const QString& path : paths)
        m_folderAccess->stopAccess(path);
}

void PinServiceProvider::finishAllRequests()
{
    std::vector<QUuid> ids;
    for (const auto& [id, paths] : m_access)
        ids.push_back(id);
    for (const QUuid& id : ids)
        finishRequest(id);
}

QString PinServiceProvider::noFilesMessage()
{
    return QStringLiteral("没有可用的图片文件，请在桌面或文件管理器中重新选择图片。");
}

QString PinServiceProvider::refusedMessage() { return QStringLiteral("当前正在处理其他操作，请稍后再置顶图片。"); }

} // namespace vorlith
