#pragma once

#include "platform/FloatingWindows.h"

#include <memory>

namespace vorlith {

// The floating-window service of this session, made once by the entry point and shared by
// every window that floats.
namespace FloatingWindowsFactory {

[[nodiscard]] std::shared_ptr<FloatingWindows> make();

} // namespace FloatingWindowsFactory

} // namespace vorlith
