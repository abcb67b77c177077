#include "core/SharedWorkQueues.h"

namespace vorlith {

// Each queue is deliberately never destroyed (see the header).

BoundedWorkQueue& SharedWorkQueues::finderReads()
{
    static auto* queue = new BoundedWorkQueue(1);
    return *queue;
}

BoundedWorkQueue& SharedWorkQueues::imageImport()
{
    static auto* queue = new BoundedWorkQueue(1);
    return *queue;
}

BoundedWorkQueue& SharedWorkQueues::recoveryCompaction()
{
    static auto* queue = new BoundedWorkQueue(1);
    return *queue;
}

BoundedWorkQueue& SharedWorkQueues::outputEncoding()
{
    static auto* queue = new BoundedWorkQueue(2);
    return *queue;
}

BoundedWorkQueue& SharedWorkQueues::outputFiles()
{
    static auto* queue = new BoundedWorkQueue(1);
    return *queue;
}

} // namespace vorlith
