#pragma once

#include "platform/ApplicationFocus.h"

#include <QString>

#include <functional>
#include <memory>
#include <optional>

namespace vorlith {

class OutputService;

// The replaceable side effects of the coordinator. The coordinator installs its defaults
// (made from its services); tests replace single closures.
struct CoordinatorEnvironment {
    // The application in front, other than this one.
    std::function<std::optional<FrontApplication>()> frontApplication;
    // Gives the keyboard back to an application that is still there; nothing when absent.
    std::function<void(const std::optional<FrontApplication>&)> restoreApplication;
    // A new copy and save engine sharing the application's clipboard and budget.
    std::function<std::shared_ptr<OutputService>()> makeOutput;
    // The error alert; answers whether the system's settings were opened (never on X11).
    std::function<bool(const QString& message, const QString& detail, bool offerSettings)> showError;
    // Where notices go instead of a toast at the pointer; absent: the toast.
    std::function<void(const QString& message)> toast;
    // The alert after a recovery could not be kept; true when the user chose to discard.
    std::function<bool(const QString& message)> discardAfterRecoveryFailure;
};

} // namespace vorlith
