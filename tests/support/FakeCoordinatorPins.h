#pragma once

#include "app/editor/EditorDocument.h"
#include "app/shell/CoordinatorPins.h"

#include <QStringList>

#include <algorithm>

namespace vorlith::test {


// Pins as scripted states; calls are recorded and the workspace's callbacks kept.
class FakeCoordinatorPins final : public CoordinatorPins {
public:
    void connect(Callbacks given) override { callbacks = std::move(given); }
    bool add(std::shared_ptr<EditorDocument> document, const Point& near) override
    {
        calls << QStringLiteral("add");
        if (int(states.size()) >= limit() || refuseAdd)
            return false;
        added.push_back({document, near});
        states.push_back({document->id(), true});
        return true;
    }
    int limit() const override { return 10; }
    std::vector<PinState> pins() const override { return states; }
    std::optional<QUuid> activeEditor() const override { return editor; }
    bool hasGesture() const override { return gesture; }
    bool settleForCapture() override
    {
        calls << QStringLiteral("settleForCapture");
        return settles;
    }
    void toggleVisibility() override { calls << QStringLiteral("toggleVisibility"); }
    void constrainToAvailableScreens() override { calls << QStringLiteral("constrainToAvailableScreens"); }
    QSet<quint32> contentWindowIDs() const override { return windowIDs; }
    std::unique_ptr<CaptureLease> beginCaptureLease() override
    {
        calls << QStringLiteral("lease");
        ++leasesTaken;
        return std::make_unique<Lease>(*this);
    }

    void setTerminationSuspended(bool value) override
    {
        calls << (value ? QStringLiteral("suspend") : QStringLiteral("resume"));
        suspended = value;
    }
    void remove(const QUuid& id) override
    {
        calls << QStringLiteral("remove");
        std::erase_if(states, [&](const PinState& state) { return state.documentID == id; });
    }
    bool locate(const QUuid& id) override
    {
        calls << QStringLiteral("locate");
        located.push_back(id);
        return std::any_of(states.begin(), states.end(), [&](const PinState& state) { return state.documentID == id; });
    }

    // Counts what the capture does with its lease.
    struct Lease final : CaptureLease {
        explicit Lease(FakeCoordinatorPins& pins) : owner(pins) {}
        void restore() override
        {
            if (restored)
                return;
            restored = true;
            ++owner.leasesRestored;
            owner.calls << QStringLiteral("restore");
        }
        bool hidVisibleWindow() const override { return owner.leaseHidWindow; }
        FakeCoordinatorPins& owner;
        bool restored = false;
    };

    Callbacks callbacks;
    std::vector<PinState> states;
    std::optional<QUuid> editor;
    bool gesture = false;
    bool settles = true;
    bool refuseAdd = false;
    QSet<quint32> windowIDs;
    bool leaseHidWindow = false;
    int leasesTaken = 0;
    int leasesRestored = 0;
    std::vector<std::pair<std::shared_ptr<EditorDocument>, Point>> added;
    QStringList calls;
    bool suspended = false;
    std::vector<QUuid> located;
};

} // namespace vorlith::test
