#include "core/CaptureGeometry.h"

namespace vorlith {
// Implemented by the geometry change.
} // namespace vorlith
