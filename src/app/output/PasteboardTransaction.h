#pragma once

#include "app/output/OutputResult.h"
#include "app/output/PasteboardSnapshot.h"
#include "platform/Pasteboard.h"

#include <QCoro/QCoroTask>

#include <functional>
#include <memory>
#include <stop_token>

namespace vorlith {

// Puts items on a pasteboard; true when it took them. The default asks the pasteboard itself.
using PasteboardWriter = std::function<bool(Pasteboard&, const QList<PasteboardItem>&)>;

// One clipboard write that leaves the previous contents in place when it fails. Where a failed
// write can leave the clipboard changed (the clear empties it first), what can be read is
// copied first (bounded: `PasteboardSnapshot`), the write happens only if nobody changed the
// clipboard meanwhile, and a failed write puts the copy back unless another application has
// written since. Where a failed write leaves the contents as they were (X11: the owner is
// replaced in one step or not at all), nothing of the previous owner is read: a slow or
// silent owner never delays the copy.
class PasteboardTransaction {
public:
    static bool defaultWriter(Pasteboard& pasteboard, const QList<PasteboardItem>& items);

    // Main thread. A snapshot, when one is needed, is awaited; from the moment it is taken to
    // the result nothing suspends. After the snapshot, `isCurrent` is asked whether the caller
    // still wants the write: nothing (and no write) when it does not. The result says what
    // happened in words the user reads. Throws CancellationError when `stop` is triggered
    // during the snapshot; the clipboard is then untouched.
    static QCoro::Task<std::optional<OutputResult>> commit(std::shared_ptr<Pasteboard> pasteboard, PasteboardWriter writer,
                                                           PasteboardItem item, std::function<bool()> isCurrent,
                                                           std::stop_token stop,
                                                           PasteboardSnapshot::Bounds bounds = {});
};

} // namespace vorlith
