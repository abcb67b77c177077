#pragma once

#include "app/shell/FinderSelectionResult.h"
#include "app/shell/PinOriginContext.h"

#include <optional>

namespace vorlith {

// A pin request with its origin and, when a file manager was in front, what reading its
// selection gave.
struct PreparedPinRequest {
    PinOriginContext origin;
    std::optional<FinderSelectionResult> finder;
};

} // namespace vorlith
