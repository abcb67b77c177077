#pragma once

namespace vorlith {

// An updater the update service drives: it checks (in the background while automatic checks
// are on, or when the user asks) and shows every step through its GatedUpdateDriver.
class UpdateEngine {
public:
    virtual ~UpdateEngine() = default;
    // False while a cycle shows a step or keeps one parked; a user check is then ignored.
    virtual bool canCheckForUpdates() const = 0;
    // Throws UpdateError when the engine cannot work at all.
    virtual void start() = 0;
    // A check the user asked for.
    virtual void checkForUpdates() = 0;
    virtual void setAutomaticallyChecksForUpdates(bool enabled) = 0;
};

} // namespace vorlith
