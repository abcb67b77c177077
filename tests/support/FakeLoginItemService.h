#pragma once

#include "platform/LoginItemManaging.h"

#include <QStringList>

#include <deque>
#include <optional>

namespace vorlith::test {

// Launch at login as a scripted status. `setEnabled` moves the status as the real service
// does (nothing when already there) unless a failure is queued; a queued status makes a
// switch report success but leave that status behind.
class FakeLoginItemService final : public LoginItemManaging {
public:
    LoginItemStatus current = LoginItemStatus::notRegistered;
    // What the next calls to setEnabled do, one entry per call: 0 acts, an errno throws.
    std::deque<int> failures;
    std::deque<LoginItemStatus> statusesAfterSet;
    QStringList calls;

    LoginItemStatus status() override { return current; }
    void setEnabled(bool enabled) override
    {
        calls << (enabled ? QStringLiteral("enable") : QStringLiteral("disable"));
        if (!failures.empty()) {
            const int error = failures.front();
            failures.pop_front();
            if (error != 0)
                throw LoginItemError(LoginItemError::Reason::system, error);
        }
        if (!statusesAfterSet.empty()) {
            current = statusesAfterSet.front();
            statusesAfterSet.pop_front();
            return;
        }
        if (enabled && current != LoginItemStatus::enabled && current != LoginItemStatus::requiresApproval)
            current = LoginItemStatus::enabled;
        else if (!enabled && current != LoginItemStatus::notRegistered)
            current = LoginItemStatus::notRegistered;
    }
};

} // namespace vorlith::test
