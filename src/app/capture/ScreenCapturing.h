#pragma once

#include "app/capture/FrozenDisplay.h"

#include <QCoro/QCoroTask>

#include <vector>

namespace vorlith {

// How the coordinator asks for a capture: one frozen display per screen, or an exception
// (a CaptureFailure for the reasons the user is told about, anything else unchanged).
class ScreenCapturing {
public:
    virtual ~ScreenCapturing() = default;
    virtual QCoro::Task<std::vector<FrozenDisplay>> capture() = 0;
};

} // namespace vorlith
