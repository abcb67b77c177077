#pragma once

#include "app/shell/CoordinatorPins.h"

#include <QStringList>

namespace vorlith::test {

// Pins as scripted states; calls are recorded and the workspace's callbacks kept.
class FakeCoordinatorPins final : public CoordinatorPins {
public:
    void connect(Callbacks given) override { callbacks = std::move(given); }
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

    Callbacks callbacks;
    std::vector<PinState> states;
    std::optional<QUuid> editor;
    bool gesture = false;
    bool settles = true;
    QStringList calls;
};

} // namespace vorlith::test
