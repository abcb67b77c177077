#pragma once

#include "app/output/OutputResult.h"
#include "platform/Pasteboard.h"

#include <functional>

namespace vorlith {

// Puts items on a pasteboard; true when it took them. The default asks the pasteboard itself.
using PasteboardWriter = std::function<bool(Pasteboard&, const QList<PasteboardItem>&)>;

// One clipboard write that leaves the previous contents in place when it fails: everything
// readable is copied first, the write happens only if nobody changed the clipboard meanwhile,
// and a failed write puts the copy back unless another application has written since.
class PasteboardTransaction {
public:
    static bool defaultWriter(Pasteboard& pasteboard, const QList<PasteboardItem>& items);

    // Runs without suspension, on the main thread; the result says what happened in words
    // the user reads.
    static OutputResult commit(Pasteboard& pasteboard, const PasteboardWriter& writer, const PasteboardItem& item);

    struct Snapshot {
        QList<PasteboardItem> items;
        // False when some type of some item could not be copied.
        bool complete = true;
    };
    // Everything that can be read from the pasteboard now; nothing when an item has no
    // readable type at all.
    static std::optional<Snapshot> snapshot(Pasteboard& pasteboard);
};

} // namespace vorlith
