#pragma once

#include "app/settings/ShortcutRegistration.h"
#include "platform/HotKeyRegistering.h"

#include <QString>

#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>

class QTimer;

namespace vorlith {

// The keys currently down, by hot-key id: a press while its id is held is a repeat.
struct HotKeyPressGate {
    std::set<quint32> held;
};

// The two global hot keys: registrations with the system, delivery of each press once,
// suspension while the application's own windows need the keys, re-registration that waits
// until the key is up, and the two-phase rebinding of a settings save. Main thread only.
class ShortcutService final : public ShortcutRegistration {
public:
    struct Registration {
        quint32 id = 0;
        ShortcutSpec spec;
    };
    struct PreparedBindings {
        ShortcutBindings bindings;
        std::map<ShortcutAction, Registration> registrations;
        std::set<quint32> newIDs;
    };

    // How often a resumed action's key is polled until it is up.
    static constexpr int releasePollMilliseconds = 30;

    // Without a registrar, the session's own (HotKeyRegistrarFactory::make()).
    explicit ShortcutService(std::shared_ptr<HotKeyRegistering> registrar = nullptr);
    ~ShortcutService() override;
    ShortcutService(const ShortcutService&) = delete;
    ShortcutService& operator=(const ShortcutService&) = delete;

    // Replaces every binding and registers them; throws the first HotKeyError met (the other
    // action's registration stands).
    void registerActions(const ShortcutBindings& bindings);
    void setSuspended(bool suspended, const std::set<ShortcutAction>& actions);

    // The capture chord, if bound.
    std::optional<ShortcutSpec> current() const;
    // The key id the editor's key events carry for the capture chord's key: hand it to a
    // capture the hot key started, so the held key does not act in the editor.
    std::optional<quint16> activationKey() const;
    // What the recorder reads of a key press: the chord key code of an editor key id (absent
    // for a key without one) and the characters the layout types on it without modifiers.
    std::optional<quint32> keyCodeForEditorKeyID(quint16 keyID) const;
    QString keyCharacters(quint16 keyID) const;
    const ShortcutBindings& bindings() const { return m_bindings; }
    const std::map<ShortcutAction, QString>& registrationErrors() const { return m_registrationErrors; }
    // One line per failed action ("<name>：<message>"), joined by line feeds; none without.
    std::optional<QString> registrationError() const;

    void prepareActions(const ShortcutBindings& bindings) override;
    void commitPreparedActions(const ShortcutBindings& bindings) override;
    void rollbackPrepared() override;

    // Capture presses, used only when onActionPressed is empty.
    std::function<void()> onPressed;
    std::function<void(ShortcutAction)> onActionPressed;
    std::function<void(const std::exception_ptr&)> onResumeFailure;

    // For tests and the coordinator's state checks.
    const std::map<ShortcutAction, Registration>& registrations() const { return m_registrations; }
    const std::optional<PreparedBindings>& prepared() const { return m_prepared; }
    const std::set<ShortcutAction>& suspendedActions() const { return m_suspendedActions; }
    bool releasePollRunning() const;

    // From the back end: an id's key went down or came up.
    void receive(quint32 id, bool pressed);
    // Registers resumed actions whose keys are up; polls again while one is still down.
    void restoreRegistrationWhenReleased();

private:
    quint32 takeID();
    // Registers with the back end, logs the status and turns a refusal into a HotKeyError.
    void registerWithSystem(const ShortcutSpec& spec, quint32 id);
    void unregisterID(quint32 id);
    std::optional<quint32> activeIDFor(const ShortcutSpec& chord) const;
    void stopReleasePoll();

    std::shared_ptr<HotKeyRegistering> m_registrar;
    std::map<ShortcutAction, Registration> m_registrations;
    std::optional<PreparedBindings> m_prepared;
    std::set<ShortcutAction> m_suspendedActions;
    HotKeyPressGate m_pressGate;
    quint32 m_nextID = 1;
    std::unique_ptr<QTimer> m_releaseTimer;
    ShortcutBindings m_bindings;
    std::map<ShortcutAction, QString> m_registrationErrors;
};

} // namespace vorlith
