#include "app/shell/PinRequestCoordinator.h"

namespace vorlith {

using FinderState = PinSourcePolicy::FinderState;

PinRequestCoordinator::PinRequestCoordinator(std::shared_ptr<FinderSelectionReader> finder)
    : finder(std::move(finder))
{
}

QCoro::Task<PreparedPinRequest> PinRequestCoordinator::prepare(PinOriginContext origin, std::stop_token stop)
{
    if (!finder || !finder->isFileManager(origin))
        co_return PreparedPinRequest{std::move(origin), std::nullopt};
    auto read = finder->snapshot(origin, stop);
    FinderSelectionResult result = co_await read;
    co_return PreparedPinRequest{std::move(origin), std::move(result)};
}

std::optional<FinderState> PinRequestCoordinator::finderState(const std::optional<FinderSelectionResult>& result)
{
    if (!result)
        return std::nullopt;
    switch (result->kind()) {
    case FinderSelectionResult::Kind::selected:
        return FinderState::selectedImages;
    case FinderSelectionResult::Kind::noImages:
        return FinderState::confirmedNoImages;
    case FinderSelectionResult::Kind::unavailable:
        return FinderState::unavailable;
    case FinderSelectionResult::Kind::needsConsent:
        return FinderState::needsConsent;
    case FinderSelectionResult::Kind::denied:
        return FinderState::denied;
    case FinderSelectionResult::Kind::timedOut:
        return FinderState::timedOut;
    case FinderSelectionResult::Kind::contextChanged:
        return FinderState::contextChanged;
    }
    return FinderState::unavailable;
}

QCoro::Task<PinRequestCoordinator::Resolution> PinRequestCoordinator::resolve(PreparedPinRequest request,
                                                                              std::stop_token stop)
{
    const bool frontIsFinder = finder && finder->isFileManager(request.origin);
    const PinSourcePolicy::Source source = PinSourcePolicy::resolve(frontIsFinder, finderState(request.finder));
    switch (source.kind()) {
    case PinSourcePolicy::Source::Kind::clipboard:
        co_return Resolution::clipboard();
    case PinSourcePolicy::Source::Kind::finderFiles: {
        const FinderSnapshot& snapshot = *request.finder->snapshot();
        std::optional<Point> anchor;
        if (snapshot.location.kind() == FinderLocation::Kind::window)
            anchor = snapshot.location.bounds().center();
        co_return Resolution::files(snapshot.urls, anchor);
    }
    case PinSourcePolicy::Source::Kind::failure:
        break;
    }
    if (!request.finder)
        co_return Resolution::message(notReadMessage());
    switch (*source.failureState()) {
    case FinderState::unavailable:
        co_return Resolution::message(request.finder->message());
    case FinderState::timedOut:
        co_return Resolution::message(timedOutMessage());
    case FinderState::contextChanged:
        co_return Resolution::message(contextChangedMessage());
    case FinderState::denied:
        co_return Resolution::message(deniedMessage());
    case FinderState::needsConsent:
        break;
    case FinderState::selectedImages:
    case FinderState::confirmedNoImages:
        co_return Resolution::message(notReadMessage()); // never a failure
    }
    auto ask = finder->requestPermission(request.origin, stop);
    const FinderPermission permission = co_await ask;
    switch (permission) {
    case FinderPermission::granted:
        co_return Resolution::message(permissionGrantedMessage());
    case FinderPermission::needsConsent:
    case FinderPermission::denied:
        co_return Resolution::message(permissionMissingMessage());
    case FinderPermission::unavailable:
        break;
    }
    co_return Resolution::message(permissionUnavailableMessage());
}

QString PinRequestCoordinator::notReadMessage() { return QStringLiteral("无法读取选中的图片，请重新选择后再试。"); }
QString PinRequestCoordinator::timedOutMessage() { return QStringLiteral("文件管理器响应超时，请重新选择图片后再试。"); }
QString PinRequestCoordinator::contextChangedMessage()
{
    return QStringLiteral("选图来源已变化，请重新选择图片后再次置顶。");
}
QString PinRequestCoordinator::deniedMessage()
{
    return QStringLiteral("未获文件管理器访问权限。请在系统设置中允许 Vorlith 控制文件管理器，或使用“打开图片并置顶…”。");
}
QString PinRequestCoordinator::permissionGrantedMessage()
{
    return QStringLiteral("已获得访问权限，请重新选择图片后再次置顶。");
}
QString PinRequestCoordinator::permissionMissingMessage()
{
    return QStringLiteral(
        "尚未允许读取文件管理器选择。你可以在系统设置中允许 Vorlith 控制文件管理器，或使用“打开图片并置顶…”。");
}
QString PinRequestCoordinator::permissionUnavailableMessage()
{
    return QStringLiteral("暂时无法请求文件管理器访问权限，请稍后再试。");
}

} // namespace vorlith
