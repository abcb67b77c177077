#include "app/shell/FinderSelectionReader.h"

#include "app/import/PinImageFileClassifier.h"
#include "core/Async.h"
#include "core/CancellationError.h"
#include "core/OneShot.h"
#include "core/SharedWorkQueues.h"
#include "core/TaskHandle.h"
#include "platform/ApplicationFocus.h"

#include <QStringDecoder>

namespace vorlith {

namespace {

using Clock = std::chrono::steady_clock;

// Before each exchange: a cancelled read stops, a spent budget is a time-out.
void checkTurn(std::stop_token stop, FileManagerEndpoint::Deadline deadline)
{
    if (stop.stop_requested())
        throw CancellationError();
    if (Clock::now() >= deadline)
        throw FileManagerError(FileManagerError::Code::timedOut);
}

std::optional<QUrl> fileURL(const QByteArray& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return std::nullopt;
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid() || !url.isLocalFile())
        return std::nullopt;
    return url;
}

FinderSelectionResult classified(const QList<QUrl>& urls, const FinderLocation& location)
{
    bool unknown = false;
    for (const QUrl& url : urls) {
        switch (PinImageFileClassifier::classify(url)) {
        case PinImageFileClassifier::Kind::image:
            return FinderSelectionResult::selected(FinderSnapshot{urls, location});
        case PinImageFileClassifier::Kind::unknown:
            unknown = true;
            break;
        case PinImageFileClassifier::Kind::nonImage:
            break;
        }
    }
    if (unknown)
        return FinderSelectionResult::unavailable(FinderSelectionReader::unrecognizedItemsMessage());
    return FinderSelectionResult::noImages(location);
}

FinderSelectionResult readItems(FileManagerEndpoint& endpoint, qint32 pid, FileManagerEndpoint::Deadline deadline,
                                std::stop_token stop)
{
    checkTurn(stop, deadline);
    const FinderLocation first = endpoint.location(pid, deadline);
    checkTurn(stop, deadline);
    const std::optional<qint64> count = endpoint.selectionCount(pid, deadline);
    if (!count || *count < 0 || *count > FinderSelectionReader::itemLimit)
        return FinderSelectionResult::unavailable(FinderSelectionReader::incompleteSelectionMessage());
    QList<QUrl> urls;
    urls.reserve(*count);
    for (qint64 index = 1; index <= *count; ++index) {
        checkTurn(stop, deadline);
        const std::optional<QByteArray> item = endpoint.selectionItem(pid, index, deadline);
        const std::optional<QUrl> url = item ? fileURL(*item) : std::nullopt;
        if (!url)
            return FinderSelectionResult::unavailable(FinderSelectionReader::unreadableItemsMessage());
        urls << *url;
    }
    checkTurn(stop, deadline);
    if (endpoint.location(pid, deadline) != first)
        return FinderSelectionResult::contextChanged();
    return classified(urls, first);
}

} // namespace

FinderSelectionReader::FinderSelectionReader(std::shared_ptr<FileManagerEndpoint> endpoint, FrontIdentity frontIdentity,
                                             std::function<bool()> hasScreens, std::chrono::milliseconds budget)
    : m_endpoint(std::move(endpoint))
    , m_frontIdentity(std::move(frontIdentity))
    , m_hasScreens(std::move(hasScreens))
    , m_budget(budget)
{
}

FinderSelectionReader::FrontIdentity FinderSelectionReader::focusIdentity(std::shared_ptr<ApplicationFocus> focus)
{
    return [focus = std::move(focus)]() -> Identity {
        if (!focus)
            return {};
        const std::optional<FrontApplication> front = focus->frontApplication();
        if (!front)
            return {};
        return Identity{front->pid, front->windowClass};
    };
}

bool FinderSelectionReader::isFileManager(const PinOriginContext& origin) const
{
    return origin.frontBundleID && m_endpoint && m_endpoint->isFileManager(origin.frontBundleID);
}

bool FinderSelectionReader::matches(const FrontIdentity& frontIdentity, const PinOriginContext& origin)
{
    const Identity front = frontIdentity ? frontIdentity() : Identity{};
    return front == Identity{origin.frontPID, origin.frontBundleID};
}

QCoro::Task<FinderSelectionResult> FinderSelectionReader::snapshot(PinOriginContext origin, std::stop_token stop)
{
    if (!isFileManager(origin) || !matches(m_frontIdentity, origin))
        co_return FinderSelectionResult::contextChanged();
    if (!m_hasScreens || !m_hasScreens())
        co_return FinderSelectionResult::unavailable(noScreenMessage());

    // Nothing of the reader is read after the wait but these copies.
    const FrontIdentity frontIdentity = m_frontIdentity;
    const std::shared_ptr<FileManagerEndpoint> endpoint = m_endpoint;
    const std::chrono::milliseconds budget = m_budget;

    // The first of: the read's answer, the budget's end, the caller giving up (nothing).
    OneShot<std::optional<FinderSelectionResult>> first;
    TaskHandle query = TaskHandle::spawn([first, endpoint, origin, budget](std::stop_token queryStop) mutable -> QCoro::Task<> {
        try {
            auto job = SharedWorkQueues::finderReads().run(queryStop, [endpoint, origin, budget](std::stop_token jobStop) {
                return readSelection(*endpoint, origin, budget, jobStop);
            });
            FinderSelectionResult result = co_await job;
            first.resume(std::optional(std::move(result)));
        } catch (const CancellationError&) {
            first.resume(std::optional(FinderSelectionResult::contextChanged()));
        } catch (...) {
            first.resume(std::optional(FinderSelectionResult::unavailable(readFailedMessage())));
        }
    });
    TaskHandle timer = TaskHandle::spawn([first, budget](std::stop_token timerStop) mutable -> QCoro::Task<> {
        auto sleep = sleepFor(budget, timerStop);
        co_await sleep; // a cancelled sleep throws and ends the task without an answer
        first.resume(std::optional(FinderSelectionResult::timedOut()));
    });
    std::optional<FinderSelectionResult> element;
    {
        std::stop_callback givenUp(stop, [first]() mutable { first.resume(std::nullopt); });
        auto answer = first;
        element = co_await answer;
    }
    query.cancel();
    timer.cancel();

    if (!element || stop.stop_requested())
        co_return FinderSelectionResult::contextChanged();
    if (!matches(frontIdentity, origin))
        co_return FinderSelectionResult::contextChanged();
    co_return std::move(*element);
}

QCoro::Task<FinderPermission> FinderSelectionReader::requestPermission(PinOriginContext origin, std::stop_token stop)
{
    if (!isFileManager(origin) || !origin.frontPID)
        co_return FinderPermission::unavailable;
    const std::shared_ptr<FileManagerEndpoint> endpoint = m_endpoint;
    const qint32 pid = *origin.frontPID;
    try {
        auto job = SharedWorkQueues::finderReads().run(stop, [endpoint, pid] { return endpoint->permission(pid, true); });
        const FileManagerEndpoint::Permission permission = co_await job;
        switch (permission) {
        case FileManagerEndpoint::Permission::granted:
            co_return FinderPermission::granted;
        case FileManagerEndpoint::Permission::needsConsent:
            co_return FinderPermission::needsConsent;
        case FileManagerEndpoint::Permission::denied:
            co_return FinderPermission::denied;
        case FileManagerEndpoint::Permission::unavailable:
            break;
        }
    } catch (...) {
    }
    co_return FinderPermission::unavailable;
}

FinderSelectionResult FinderSelectionReader::readSelection(FileManagerEndpoint& endpoint, const PinOriginContext& origin,
                                                           std::chrono::milliseconds budget, std::stop_token stop)
{
    if (!origin.frontPID)
        return FinderSelectionResult::contextChanged();
    const qint32 pid = *origin.frontPID;
    switch (endpoint.permission(pid, false)) {
    case FileManagerEndpoint::Permission::granted:
        break;
    case FileManagerEndpoint::Permission::needsConsent:
        return FinderSelectionResult::needsConsent();
    case FileManagerEndpoint::Permission::denied:
        return FinderSelectionResult::denied();
    case FileManagerEndpoint::Permission::unavailable:
        return FinderSelectionResult::unavailable(unavailableMessage());
    }
    const FileManagerEndpoint::Deadline deadline = Clock::now() + budget;
    try {
        return readItems(endpoint, pid, deadline, stop);
    } catch (const FileManagerError& error) {
        switch (error.code()) {
        case FileManagerError::Code::needsConsent:
            return FinderSelectionResult::needsConsent();
        case FileManagerError::Code::notPermitted:
            return FinderSelectionResult::denied();
        case FileManagerError::Code::timedOut:
            return FinderSelectionResult::timedOut();
        default:
            return FinderSelectionResult::unavailable(unknownWindowMessage());
        }
    }
}

QString FinderSelectionReader::noScreenMessage() { return QStringLiteral("没有可用的显示器，请稍后重试。"); }
QString FinderSelectionReader::unavailableMessage() { return QStringLiteral("文件管理器暂时不可用，请稍后重试。"); }
QString FinderSelectionReader::incompleteSelectionMessage()
{
    return QStringLiteral("无法完整读取文件管理器选择，请减少选中项后重试。");
}
QString FinderSelectionReader::unreadableItemsMessage() { return QStringLiteral("部分选中项无法读取，请重新选择图片。"); }
QString FinderSelectionReader::unrecognizedItemsMessage() { return QStringLiteral("部分选中项无法识别，请重新选择图片。"); }
QString FinderSelectionReader::unknownWindowMessage()
{
    return QStringLiteral("无法确认当前文件管理器窗口，请重新选择图片后重试。");
}
QString FinderSelectionReader::readFailedMessage()
{
    return QStringLiteral("无法读取文件管理器中选中的图片，请重新选择后再试。");
}

} // namespace vorlith
