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

} // namespace

bool PasteboardTransaction::defaultWriter(Pasteboard& pasteboard, const QList<PasteboardItem>& items)
{
    return pasteboard.writeObjects(items);
}

std::optional<PasteboardTransaction::Snapshot> PasteboardTransaction::snapshot(Pasteboard& pasteboard)
{
    Snapshot snapshot;
    const int count = pasteboard.itemCount();
    for (int index = 0; index < count; ++index) {
        PasteboardItem copy;
        for (const QString& type : pasteboard.types(index)) {
            const std::optional<QByteArray> data = pasteboard.data(index, type);
            if (!data || !copy.setData(type, *data))
                snapshot.complete = false;
        }
        if (copy.isEmpty())
            return std::nullopt;
        snapshot.items.append(std::move(copy));
    }
    return snapshot;
}

OutputResult PasteboardTransaction::commit(Pasteboard& pasteboard, const PasteboardWriter& writer,
                                           const PasteboardItem& item)
{
    const qint64 start = pasteboard.changeCount();
    const std::optional<Snapshot> previous = snapshot(pasteboard);
    if (!previous)
        return failure(unreadableMessage);
    if (pasteboard.changeCount() != start)
        return failure(changedDuringSnapshotMessage);

    const qint64 cleared = pasteboard.clearContents();
    if (writer(pasteboard, {item}))
        return OutputResult::success();

    // The write failed. Another application's contents, written since the clear, win.
    if (pasteboard.changeCount() != cleared)
        return failure(changedAfterClearMessage);
    pasteboard.clearContents();
    if (!previous->items.isEmpty() && !writer(pasteboard, previous->items))
        return failure(restoreFailedMessage);
    return failure(previous->complete ? restoredMessage : partlyRestoredMessage);
}

} // namespace vorlith
