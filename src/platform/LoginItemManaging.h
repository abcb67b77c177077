#pragma once

#include <QtGlobal>

#include <stdexcept>
#include <string>

namespace vorlith {

// The state of launch at login. `requiresApproval` is never reported on Linux (nothing there
// asks the user to approve an autostart entry); it stays so that callers handle every state a
// login-item service can be in.
enum class LoginItemStatus { enabled, requiresApproval, notRegistered, unavailable };

// Registering or unregistering failed: the program cannot be registered from where it is
// (`unavailable`), or the system refused with an error number.
struct LoginItemError : std::runtime_error {
    enum class Reason { unavailable, system };
    LoginItemError(Reason reason, int errorNumber)
        : std::runtime_error("login item: " + std::string(reason == Reason::unavailable ? "unavailable" : "errno ") +
                             (reason == Reason::system ? std::to_string(errorNumber) : std::string())),
          reason(reason), errorNumber(errorNumber)
    {
    }
    Reason reason;
    int errorNumber;
};

// Launch at login: the status read afresh each time, and a switch that may fail.
class LoginItemManaging {
public:
    virtual ~LoginItemManaging() = default;
    virtual LoginItemStatus status() = 0;
    // Does nothing when the item is already in the asked state. Throws LoginItemError, or the
    // error of the file write that registers it.
    virtual void setEnabled(bool enabled) = 0;
};

} // namespace vorlith
