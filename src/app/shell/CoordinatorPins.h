#pragma once

#include "core/Geometry.h"

#include <QSet>
#include <QString>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vorlith {

class EditorDocument;

// What the coordinator reads and asks of the pinned images: the one place the pin workspace
// meets the menus, the hot-key rules, the budget and the cache reclaim. The workspace's
// adapter implements it; without one (a coordinator made with none) there are no pins.
class CoordinatorPins {
public:
    virtual ~CoordinatorPins() = default;

    // One pin as the coordinator's rules see it.
    struct PinState {
        QUuid documentID;
        bool visible = false;             // its content window is shown
        bool restoringVisibility = false; // a show is waiting for its picture
        bool outputBusy = false;          // its editor's copy or save runs
        bool outputLocked = false;        // its editor's session holds the output lock
        // Its editor is in a state where the pin hot key must not act: input suspended, an
        // output running or locked, a gesture, a toolbar drag, text being typed, a strip
        // field holding invalid input.
        bool holdsKeyboardWork = false;
        // Its editor holds changes not yet copied or saved.
        bool pendingTerminationWork = false;
        // Its editor is in a gesture or its toolbar is being dragged.
        bool dragging = false;
    };

    // The workspace's calls back into the coordinator.
    struct Callbacks {
        std::function<void()> onChanged;
        std::function<void(const QString& message)> onDisplayFailure;
        std::function<void(const QUuid& documentID)> onClosed;
        std::function<void(const QString& message)> onOutputSuccess;
    };

    // The pins held inert (no chrome, clicks through) for the length of a capture.
    class CaptureLease {
    public:
        virtual ~CaptureLease() = default;
        // Puts the pins back as they were; only the first call acts.
        virtual void restore() = 0;
        // Taking the lease hid a window that was on screen (the first grab waits for a redraw).
        virtual bool hidVisibleWindow() const = 0;
    };

    virtual void connect(Callbacks callbacks) = 0;
    // Pins a registered document's image near a global point; false when refused (the limit,
    // a display failure).
    virtual bool add(std::shared_ptr<EditorDocument> document, const Point& near) = 0;
    // How many pins may exist at once.
    virtual int limit() const = 0;
    virtual std::vector<PinState> pins() const = 0;
    // The pin being edited in place.
    virtual std::optional<QUuid> activeEditor() const = 0;
    virtual bool hasGesture() const = 0;
    // Ends what a new image or window must not interrupt; false when a pin cannot settle.
    virtual bool settleForCapture() = 0;
    virtual void toggleVisibility() = 0;
    // After the screens changed: each pin back onto a screen.
    virtual void constrainToAvailableScreens() = 0;
    // The window ids (`winId()`) of the visible pins' image windows.
    virtual QSet<quint32> contentWindowIDs() const = 0;
    [[nodiscard]] virtual std::unique_ptr<CaptureLease> beginCaptureLease() = 0;
    // The quit review holds every pin inert (or lets them go) without that counting as a change.
    virtual void setTerminationSuspended(bool suspended) = 0;
    virtual void remove(const QUuid& documentID) = 0;
    // Shows the pin again, in front; false when there is no such pin.
    virtual bool locate(const QUuid& documentID) = 0;
};

} // namespace vorlith
