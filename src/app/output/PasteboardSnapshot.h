#pragma once

#include "platform/Pasteboard.h"

#include <QCoro/QCoroTask>

#include <chrono>
#include <memory>
#include <optional>
#include <stop_token>

namespace vorlith {

// A copy of what the clipboard holds, taken so that a failed write can put it back. Another
// program answers each read when it likes (a 4K image offered by a Qt program is encoded anew
// for every format asked for), so the copy is bounded: only the types worth restoring are
// read, up to a number of bytes, until a deadline. What the bounds leave out counts as lost.
class PasteboardSnapshot {
public:
    struct Bounds {
        // From the first read to the last; what has not come by then is left out.
        std::chrono::milliseconds deadline{300};
        // The data kept in all; a type that would pass it is left out.
        qint64 maxBytes = 64LL * 1024 * 1024;
    };

    QList<PasteboardItem> items;
    // False when some type of some item was left out (refused, stalled, or past a bound).
    bool complete = true;

    // Of an item's types, those to read, in order. An image offered in several encodings is
    // one picture: its PNG is kept (else the first image type), the other encodings and Qt's
    // own image type are not read and are not counted as lost.
    [[nodiscard]] static QStringList typesWorthRestoring(const QStringList& types);

    // What can be read from the pasteboard now, within the bounds; nothing when the owner does
    // not list its types in time or an item keeps no type at all. Throws CancellationError when
    // `stop` is triggered (the deadline is not a cancellation).
    static QCoro::Task<std::optional<PasteboardSnapshot>> take(std::shared_ptr<Pasteboard> pasteboard, Bounds bounds,
                                                               std::stop_token stop);
};

} // namespace vorlith
