#include "app/shell/TerminationPolicy.h"

#include "core/Uuid.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace vorlith {

bool TerminationPolicy::standingApprovalHolds(const std::optional<TerminationApproval>& approved,
                                              TerminationIntent intent, const TerminationSnapshot& now, bool frozen)
{
    return frozen && approved && approved->intent == intent && approved->snapshot == now;
}

std::optional<QString> TerminationPolicy::refusal(TerminationIntent intent, const TerminationSnapshot& state)
{
    if (state.outputBusy)
        return QString::fromUtf8(outputNotice);
    if (intent != TerminationIntent::installUpdate)
        return std::nullopt;
    if (state.captureActive)
        return QString::fromUtf8(captureNotice);
    if (state.settingsDirty)
        return QString::fromUtf8(settingsNotice);
    return std::nullopt;
}

bool TerminationPolicy::needsReview(const TerminationSnapshot& state)
{
    return !state.pendingImageIDs.isEmpty() || !state.openPinIDs.isEmpty();
}

Alert TerminationPolicy::reviewAlert(TerminationIntent intent, const TerminationSnapshot& state)
{
    const bool quit = intent == TerminationIntent::quit;
    Alert alert;
    QString second;
    if (const qsizetype pending = state.pendingImageIDs.size(); pending > 0) {
        alert.message = QStringLiteral("还有未复制或保存的内容");
        alert.informativeText = QStringLiteral("有") + QString::number(pending)
            + QStringLiteral("张图片尚未完成输出。点击下方缩略图可返回处理；退出后无法找回，贴图下次启动也不会恢复。");
        second = quit ? QStringLiteral("退出并丢弃") : QStringLiteral("丢弃并安装");
    } else {
        alert.message = quit ? QStringLiteral("关闭贴图并退出？") : QStringLiteral("关闭贴图并安装更新？");
        alert.informativeText = QStringLiteral("当前打开的") + QString::number(state.openPinIDs.size())
            + QStringLiteral("张贴图已输出。下次启动时，这些窗口不会自动恢复。");
        second = quit ? QStringLiteral("关闭并退出") : QStringLiteral("关闭并安装");
    }
    alert.buttons = {QString::fromUtf8(goBackButton), second};
    return alert;
}

bool TerminationPolicy::approvedAfterReview(int response, const TerminationSnapshot& reviewed,
                                            const TerminationSnapshot& now)
{
    return response == Alert::secondButton && now == reviewed;
}

std::optional<QUuid> TerminationPolicy::locateTarget(const std::optional<QUuid>& selected, const QSet<QUuid>& pending)
{
    if (selected)
        return selected;
    const QList<QUuid> sorted = sortedByUuidString(pending);
    if (sorted.isEmpty())
        return std::nullopt;
    return sorted.first();
}

QList<QUuid> TerminationPolicy::sortedByUuidString(const QSet<QUuid>& ids)
{
    std::vector<std::pair<QString, QUuid>> keyed;
    keyed.reserve(size_t(ids.size()));
    for (const QUuid& id : ids)
        keyed.emplace_back(uuidString(id), id);
    std::sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    QList<QUuid> sorted;
    sorted.reserve(qsizetype(keyed.size()));
    for (const auto& [text, id] : keyed)
        sorted.append(id);
    return sorted;
}

} // namespace vorlith
