#pragma once

#include "app/output/SaveDraft.h"
#include "core/Geometry.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

namespace vorlith {

class EditorDocument;
class OutputToast;

// What the pin and import road needs of the application coordinator and of the pin
// workspace. The coordinator implements it; tests use a fake.
class PinRoadHost {
public:
    virtual ~PinRoadHost() = default;

    // The coordinator's state that guards a new request.
    virtual bool terminationFrozen() const = 0;
    virtual bool hasCaptureTask() const = 0;
    virtual bool hasOverlays() const = 0;
    virtual bool presentingAlert() const = 0;
    virtual void setPresentingAlert(bool presenting) = 0;
    virtual bool settingsSheetAttached() const = 0;
    // The settings window is recording the pin chord: the hot key must not start a request.
    virtual bool protectsGlobalPinShortcut() const = 0;
    virtual bool outputsBusy() const = 0;

    // The pin workspace.
    virtual bool pinsRestoringVisibility() const = 0;
    virtual bool settlePinsForCapture() = 0;
    // Pins the document near the point (global logical, y down); false when refused.
    virtual bool addPin(std::shared_ptr<EditorDocument> document, const Point& near) = 0;
    virtual int pinCount() const = 0;
    virtual int pinLimit() const = 0;
    virtual void togglePinVisibility() = 0;

    // The coordinator's common steps.
    virtual void registerDocument(std::shared_ptr<EditorDocument> document) = 0;
    virtual void refreshAfterChange() = 0;
    virtual void refreshResources() = 0;
    virtual void updateShortcutAvailability() = 0;
    virtual void postNotice(const QString& message) = 0;
    virtual SaveDraft makeSaveDraft() = 0;
    virtual OutputToast& generalToast() = 0;

    // The status menu: whether there is one to show, and showing it (returns once it has
    // closed; the road's pin item may be chosen meanwhile).
    virtual bool canShowStatusMenu() const = 0;
    virtual void runStatusMenu() = 0;
    // The open panel, shown without blocking; `finished` gets the chosen files, or nothing
    // when it was cancelled.
    virtual void presentOpenPanel(std::function<void(std::optional<QList<QUrl>>)> finished) = 0;
};

} // namespace vorlith
