#pragma once

#include "app/output/OutputResult.h"
#include "platform/Pasteboard.h"

#include <QCoro/QCoroTask>

#include <functional>
#include <memory>
#include <stop_token>

namespace vorlith {

// Puts items on a pasteboard; true when it took them. The default asks the pasteboard itself.
using PasteboardWriter = std::function<bool(Pasteboard&, const QList<PasteboardItem>&)>;

// One clipboard write that leaves the previous contents in place when it fails: everything
// readable is copied first, the write happens only if nobody changed the clipboard meanwhile,
// and a failed write puts the copy back unless another application has written since.
class PasteboardTransaction {
public:
    static bool defaultWriter(Pasteboard& pasteboard, const QList<PasteboardItem>& items);

    // Main thread. The snapshot is awaited (other programs answer when they like); from the
    // moment it is taken to the result nothing suspends. After the snapshot, `isCurrent` is
    // asked whether the caller still wants the write: nothing (and no write) when it does not.
    // The result says what happened in words the user reads. Throws CancellationError when
    // `stop` is triggered during the snapshot; the clipboard is then untouched.
    static QCoro::Task<std::optional<OutputResult>> commit(std::shared_ptr<Pasteboard> pasteboard, PasteboardWriter writer,
                                                           PasteboardItem item, std::function<bool()> isCurrent,
                                                           std::stop_token stop);

    struct Snapshot {
        QList<PasteboardItem> items;
        // False when some type of some item could not be copied (refused, or its owner stalled).
        bool complete = true;
    };
    // Everything that can be read from the pasteboard now; nothing when the owner does not
    // list its types or an item has no readable type at all.
    static QCoro::Task<std::optional<Snapshot>> snapshot(std::shared_ptr<Pasteboard> pasteboard, std::stop_token stop);
};

} // namespace vorlith
