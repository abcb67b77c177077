#include "app/output/PasteboardTransaction.h"

namespace vorlith {

namespace {

const char* const unreadableMessage = "当前剪贴板暂时无法读取，请稍后重试或先保存截图。";
const char* const changedDuringSnapshotMessage = "剪贴板刚被其他应用更新，请重试。截图仍然保留。";
const char* const changedAfterClearMessage = "复制失败，剪贴板已被其他应用更新。截图仍然保留，请重试。";
const char* const restoreFailedMessage = "剪贴板暂时不可用，原内容未能恢复。截图仍然保留，请保存图片后重试。";
const char* const restoredMessage = "剪贴板写入失败，原剪贴板内容已保留。截图仍然保留，请重试。";
const char* const partlyRestoredMessage =
    "复制失败，可读取的原剪贴板内容已恢复；部分应用专用格式无法恢复。截图仍然保留，请重试或保存。";

OutputResult failure(const char* message)
{
    return OutputResult::failure(QString::fromUtf8(message));
}

// The write and, when it fails, the restore: no suspension from here to the result. Without a
// snapshot the pasteboard keeps its contents through a failed write: nothing to put back.
OutputResult writeReplacing(Pasteboard& pasteboard, const PasteboardWriter& writer, const PasteboardItem& item,
                            const std::optional<PasteboardSnapshot>& previous)
{
    const qint64 cleared = pasteboard.clearContents();
    if (writer(pasteboard, {item}))
        return OutputResult::success();

    // The write failed. Another application's contents, written since the clear, win.
    if (pasteboard.changeCount() != cleared)
        return failure(changedAfterClearMessage);
    if (!previous)
        return failure(restoredMessage);
    pasteboard.clearContents();
    if (!previous->items.isEmpty() && !writer(pasteboard, previous->items))
        return failure(restoreFailedMessage);
    return failure(previous->complete ? restoredMessage : partlyRestoredMessage);
}

} // namespace

bool PasteboardTransaction::defaultWriter(Pasteboard& pasteboard, const QList<PasteboardItem>& items)
{
    return pasteboard.writeObjects(items);
}

QCoro::Task<std::optional<OutputResult>> PasteboardTransaction::commit(std::shared_ptr<Pasteboard> pasteboard,
                                                                       PasteboardWriter writer, PasteboardItem item,
                                                                       std::function<bool()> isCurrent,
                                                                       std::stop_token stop,
                                                                       PasteboardSnapshot::Bounds bounds)
{
    const qint64 start = pasteboard->changeCount();
    if (pasteboard->failedWriteKeepsContents()) {
        if (isCurrent && !isCurrent())
            co_return std::nullopt;
        co_return writeReplacing(*pasteboard, writer, item, std::nullopt);
    }
    auto reading = PasteboardSnapshot::take(pasteboard, bounds, stop);
    const std::optional<PasteboardSnapshot> previous = co_await reading;
    if (stop.stop_requested() || (isCurrent && !isCurrent()))
        co_return std::nullopt; // given up while the owner answered: the clipboard stays as it is
    if (!previous)
        co_return failure(unreadableMessage);
    if (pasteboard->changeCount() != start)
        co_return failure(changedDuringSnapshotMessage);
    co_return writeReplacing(*pasteboard, writer, item, previous);
}

} // namespace vorlith
