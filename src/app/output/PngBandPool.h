#pragma once

#include <QtGlobal>

#include <functional>

namespace vorlith {

// The threads that work on one PNG encoding side by side: a pool of the encoder's own, shared
// by every encoding in the process, and the calling thread, which always works too. An
// encoding started while another holds the pool does on its own thread what the pool has no
// thread for.
class PngBandPool {
public:
    using Work = std::function<void(int item)>;

    // The threads that can work at once: one a core.
    static int threads();

    // Rows [top, top + count) of an image `height` rows high cut into `parts` parts that differ
    // by at most a row.
    struct Rows {
        int top;
        int count;
    };
    static Rows part(int height, int part, int parts)
    {
        const int top = int(qint64(height) * part / parts);
        return {top, int(qint64(height) * (part + 1) / parts) - top};
    }

    // Runs every item below `count` on the pool and the calling thread, and returns once all
    // have run. A thread makes its work with `worker` before the first item it takes and keeps
    // it for the rest (a compressor, a buffer). A helper that starts only after every item was
    // taken takes none and calls nothing, so the work may refer to the caller's data. False
    // when memory ran out for an item.
    static bool forEach(int count, std::function<Work()> worker);
};

} // namespace vorlith
