#pragma once

#include "app/pins/PinEnvironment.h"
#include "core/Geometry.h"

#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vorlith {

class EditorDocument;
class EditorHostView;
class PinWindowController;

// The open pins, keyed by their document's id, at most 10, and the rules between them: one
// active pin, one pin in edit mode, nothing new while a pin drags or outputs. The coordinator
// makes one and keeps it; it sets the callbacks and reads `windows`, never writes it.
//
// Every refusal is a false answer (or nothing done) without a message: callers say what they
// must. The controllers are this object's children; a removed one is disposed at once and
// deleted later (its own close button may be what removed it).
class PinWorkspace : public QObject {
    Q_OBJECT
public:
    static constexpr int maximumPins = 10;

    explicit PinWorkspace(PinEnvironment environment, QObject* parent = nullptr);
    ~PinWorkspace() override;

    struct Entry {
        QUuid id;
        PinWindowController* controller;
    };
    // In the order the pins were added (the lease restores in this "table order").
    const std::vector<Entry>& windows() const { return m_windows; }
    PinWindowController* pin(const QUuid& id) const;
    const std::optional<QUuid>& activeEditor() const { return m_activeEditor; }
    const std::optional<QUuid>& activePin() const { return m_activePin; }
    const PinEnvironment& environment() const { return m_environment; }

    std::function<void()> onChanged;
    std::function<void(std::shared_ptr<EditorDocument> document)> onClosed;
    std::function<EditorHostView*(std::shared_ptr<EditorDocument> document)> makeHost;
    std::function<void(const QString& message, EditorHostView* host)> onOutputSuccess;
    std::function<void(const QString& message)> onDisplayFailure;

    // `near` in Qt's global coordinates; the pin is centred there, else on the main screen.
    bool add(std::shared_ptr<EditorDocument> document, std::optional<Point> near);
    void remove(const QUuid& id);
    bool toggleVisibility();
    bool settleForCapture();
    bool hasGesture() const;
    bool hasOutput() const;
    // The X window ids of the visible pins' image windows (what a capture keeps in its images).
    QSet<quint32> contentWindowIDs() const;
    bool prepareForActivation(const QUuid& id);
    bool edit(const QUuid& id);
    void setActivePin(const std::optional<QUuid>& id);

private:
    void wire(PinWindowController* controller);
    void changed();

    PinEnvironment m_environment;
    std::vector<Entry> m_windows;
    std::optional<QUuid> m_activeEditor;
    std::optional<QUuid> m_activePin;
};

} // namespace vorlith
