#pragma once

#include "core/BoundedWorkQueue.h"

namespace vorlith {

// The application's bounded work queues, one per kind of background work. Each is made on
// first use (on the main thread) and kept for the life of the process, so work still in
// flight at exit never meets a destroyed queue. The owning services reach their queue here.
struct SharedWorkQueues {
    // Reading the file manager's selection and asking for permission to do so: 1 at a time.
    static BoundedWorkQueue& finderReads();
    // Decoding the images of a paste or a file import: 1.
    static BoundedWorkQueue& imageImport();
    // Compacting the displays of a kept capture that the user did not select: 1.
    static BoundedWorkQueue& recoveryCompaction();
    // Turning a flattened image into PNG or JPEG data for a copy or a save: 2.
    static BoundedWorkQueue& outputEncoding();
    // Writing encoded images to their files: 1.
    static BoundedWorkQueue& outputFiles();
};

} // namespace vorlith
