#pragma once

#include "app/updates/GatedUpdateDriver.h"
#include "app/updates/UpdateEngine.h"
#include "app/updates/UpdateEngineDelegate.h"

#include <QObject>
#include <QVariantMap>

#include <memory>
#include <optional>

namespace vorlith::test {

// An update engine whose steps the test plays: it makes the real GatedUpdateDriver and the one
// delegate like every engine, records what the service asked of it, and lets the test call
// any driver or delegate method in any order.
class ScriptedUpdateEngine : public QObject, public UpdateEngine {
public:
    ScriptedUpdateEngine(const QVariantMap& bundle, UpdateService& service)
        : m_driver(std::make_unique<GatedUpdateDriver>(bundle, &service)), m_delegate(&service, m_driver.get())
    {
    }

    GatedUpdateDriver& driver() { return *m_driver; }
    UpdateEngineDelegate& delegate() { return m_delegate; }

    bool canCheckForUpdates() const override { return canCheck; }
    void start() override
    {
        ++starts;
        if (startError)
            throw UpdateError(*startError);
    }
    void checkForUpdates() override { ++checks; }
    void setAutomaticallyChecksForUpdates(bool enabled) override { automaticChecks.push_back(enabled); }

    bool canCheck = true;
    std::optional<QString> startError;
    int starts = 0;
    int checks = 0;
    std::vector<bool> automaticChecks;

private:
    std::unique_ptr<GatedUpdateDriver> m_driver;
    UpdateEngineDelegate m_delegate;
};

} // namespace vorlith::test
