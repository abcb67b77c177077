#include "app/settings/ShortcutService.h"

#include "app/base/Diagnostics.h"
#include "app/settings/HotKeyError.h"
#include "platform/HotKeyRegistrarFactory.h"

#include <QStringList>
#include <QTimer>

#include <limits>

namespace vorlith {

ShortcutService::ShortcutService(std::shared_ptr<HotKeyRegistering> registrar)
    : m_registrar(registrar ? std::move(registrar) : HotKeyRegistrarFactory::make())
{
    // The back end outlives no service: the service clears the callback when it goes.
    m_registrar->onEvent = [this](quint32 id, bool pressed) { receive(id, pressed); };
}

ShortcutService::~ShortcutService()
{
    stopReleasePoll();
    if (m_prepared) {
        for (quint32 id : m_prepared->newIDs)
            m_registrar->unregister(id);
    }
    for (const auto& [action, registration] : m_registrations)
        m_registrar->unregister(registration.id);
    m_registrar->onEvent = nullptr;
}

quint32 ShortcutService::takeID()
{
    const quint32 id = m_nextID;
    m_nextID = m_nextID == std::numeric_limits<quint32>::max() ? 1 : m_nextID + 1;
    return id;
}

void ShortcutService::registerWithSystem(const ShortcutSpec& spec, quint32 id)
{
    try {
        m_registrar->registerHotKey(spec, id);
    } catch (const HotKeyRegistrationError& refused) {
        Diagnostics::event(QStringLiteral("hotkey.register.status=") + QString::number(refused.status));
        if (refused.alreadyHeld)
            throw HotKeyError::duplicateChord();
        throw HotKeyError::systemRefused(refused.status);
    }
    Diagnostics::event(QStringLiteral("hotkey.register.status=0"));
}

void ShortcutService::unregisterID(quint32 id)
{
    m_registrar->unregister(id);
    m_pressGate.held.erase(id);
}

std::optional<quint32> ShortcutService::activeIDFor(const ShortcutSpec& chord) const
{
    for (const auto& [action, registration] : m_registrations) {
        if (registration.spec.sameChord(chord))
            return registration.id;
    }
    return std::nullopt;
}

void ShortcutService::registerActions(const ShortcutBindings& bindings)
{
    rollbackPrepared();
    for (const auto& [action, registration] : m_registrations)
        unregisterID(registration.id);
    m_registrations.clear();
    m_bindings = bindings;
    m_registrationErrors.clear();

    std::exception_ptr first;
    for (ShortcutAction action : allShortcutActions) {
        const auto chord = bindings.find(action);
        if (chord == bindings.end())
            continue;
        try {
            const auto capture = bindings.find(ShortcutAction::capture);
            if (action == ShortcutAction::pin && capture != bindings.end() && capture->second.sameChord(chord->second))
                throw HotKeyError::duplicateChord();
            if (m_suspendedActions.contains(action))
                continue; // registered when it is resumed
            const quint32 id = takeID();
            registerWithSystem(chord->second, id);
            m_registrations[action] = Registration{id, chord->second};
        } catch (const HotKeyError& error) {
            m_registrationErrors[action] = error.description();
            if (!first)
                first = std::current_exception();
        }
    }
    if (first)
        std::rethrow_exception(first);
}

void ShortcutService::setSuspended(bool suspended, const std::set<ShortcutAction>& actions)
{
    const std::set<ShortcutAction> before = m_suspendedActions;
    for (ShortcutAction action : actions) {
        if (suspended)
            m_suspendedActions.insert(action);
        else
            m_suspendedActions.erase(action);
    }
    if (m_suspendedActions == before)
        return;
    stopReleasePoll();
    if (suspended) {
        rollbackPrepared();
        for (ShortcutAction action : actions) {
            const auto found = m_registrations.find(action);
            if (found == m_registrations.end())
                continue;
            const quint32 id = found->second.id;
            m_registrations.erase(found);
            unregisterID(id);
        }
        Diagnostics::event(QStringLiteral("hotkey.suspended"));
    }
    restoreRegistrationWhenReleased();
}

void ShortcutService::restoreRegistrationWhenReleased()
{
    bool pollNeeded = false;
    for (ShortcutAction action : allShortcutActions) {
        const auto chord = m_bindings.find(action);
        if (m_suspendedActions.contains(action) || m_registrations.contains(action) ||
            m_registrationErrors.contains(action) || chord == m_bindings.end())
            continue;
        const ShortcutSpec& spec = chord->second;
        // The key alone, not the modifiers: whoever still holds it would start the action at
        // once, or leave its release to a grab that no longer exists.
        if (m_registrar->isKeyDown(spec.keyCode)) {
            pollNeeded = true;
            continue;
        }
        try {
            if (activeIDFor(spec))
                throw HotKeyError::duplicateChord();
            const quint32 id = takeID();
            registerWithSystem(spec, id);
            m_registrations[action] = Registration{id, spec};
            Diagnostics::event(QStringLiteral("hotkey.resumed"));
        } catch (const HotKeyError& error) {
            m_registrationErrors[action] = error.description();
            Diagnostics::event(QStringLiteral("hotkey.resume.failed"));
            if (onResumeFailure)
                onResumeFailure(std::current_exception());
        }
    }
    stopReleasePoll();
    if (pollNeeded) {
        m_releaseTimer = std::make_unique<QTimer>();
        m_releaseTimer->setInterval(releasePollMilliseconds);
        QObject::connect(m_releaseTimer.get(), &QTimer::timeout, m_releaseTimer.get(),
                         [this] { restoreRegistrationWhenReleased(); });
        m_releaseTimer->start();
    }
}

void ShortcutService::stopReleasePoll()
{
    // The poll may stop itself from inside its own timeout: release the timer later.
    if (m_releaseTimer) {
        m_releaseTimer->stop();
        m_releaseTimer.release()->deleteLater();
    }
}

bool ShortcutService::releasePollRunning() const
{
    return m_releaseTimer && m_releaseTimer->isActive();
}

void ShortcutService::receive(quint32 id, bool pressed)
{
    if (!pressed) {
        m_pressGate.held.erase(id);
        return;
    }
    std::optional<ShortcutAction> action;
    for (const auto& [candidate, registration] : m_registrations) {
        if (registration.id == id)
            action = candidate;
    }
    const bool repeated = !m_pressGate.held.insert(id).second;
    if (!action || m_suspendedActions.contains(*action) || repeated)
        return;
    Diagnostics::event(QStringLiteral("hotkey.pressed"));
    if (onActionPressed)
        onActionPressed(*action);
    else if (*action == ShortcutAction::capture && onPressed)
        onPressed();
}

std::optional<ShortcutSpec> ShortcutService::current() const
{
    const auto found = m_bindings.find(ShortcutAction::capture);
    return found == m_bindings.end() ? std::nullopt : std::optional<ShortcutSpec>(found->second);
}

std::optional<quint16> ShortcutService::activationKey() const
{
    const std::optional<ShortcutSpec> capture = current();
    return capture ? m_registrar->editorKeyID(capture->keyCode) : std::nullopt;
}

std::optional<quint32> ShortcutService::keyCodeForEditorKeyID(quint16 keyID) const
{
    return m_registrar->keyCodeForEditorKeyID(keyID);
}

QString ShortcutService::keyCharacters(quint16 keyID) const
{
    return m_registrar->keyCharacters(keyID);
}

std::optional<QString> ShortcutService::registrationError() const
{
    QStringList lines;
    for (ShortcutAction action : allShortcutActions) {
        const auto found = m_registrationErrors.find(action);
        if (found != m_registrationErrors.end())
            lines << messageName(action) + QStringLiteral("：") + found->second;
    }
    return lines.isEmpty() ? std::nullopt : std::optional<QString>(lines.join(QLatin1Char('\n')));
}

void ShortcutService::prepareActions(const ShortcutBindings& bindings)
{
    rollbackPrepared();
    const auto capture = bindings.find(ShortcutAction::capture);
    const auto pin = bindings.find(ShortcutAction::pin);
    if (capture != bindings.end() && pin != bindings.end() && capture->second.sameChord(pin->second))
        throw HotKeyError::duplicateChord();

    PreparedBindings prepared{bindings, {}, {}};
    std::set<quint32> registeredNow;
    for (ShortcutAction action : allShortcutActions) {
        const auto chord = bindings.find(action);
        if (chord == bindings.end())
            continue;
        // An unchanged (or swapped) chord keeps its registration: it never goes off.
        if (const std::optional<quint32> reused = activeIDFor(chord->second)) {
            prepared.registrations[action] = Registration{*reused, chord->second};
            continue;
        }
        const quint32 id = takeID();
        try {
            registerWithSystem(chord->second, id);
        } catch (...) {
            for (quint32 registered : registeredNow)
                unregisterID(registered);
            throw;
        }
        if (m_suspendedActions.contains(action)) {
            // Proven free, but stays off until the action is resumed.
            unregisterID(id);
            continue;
        }
        registeredNow.insert(id);
        prepared.newIDs.insert(id);
        prepared.registrations[action] = Registration{id, chord->second};
    }
    m_prepared = std::move(prepared);
}

void ShortcutService::commitPreparedActions(const ShortcutBindings& bindings)
{
    if (!m_prepared || m_prepared->bindings != bindings)
        return;
    std::map<ShortcutAction, Registration> kept;
    std::set<quint32> keptIDs;
    for (const auto& [action, registration] : m_prepared->registrations) {
        if (m_suspendedActions.contains(action))
            continue;
        kept[action] = registration;
        keptIDs.insert(registration.id);
    }
    for (const auto& [action, registration] : m_registrations) {
        if (!keptIDs.contains(registration.id))
            unregisterID(registration.id);
    }
    for (quint32 id : m_prepared->newIDs) {
        if (!keptIDs.contains(id))
            unregisterID(id);
    }
    m_registrations = std::move(kept);
    m_bindings = bindings;
    m_prepared.reset();
    m_registrationErrors.clear();
}

void ShortcutService::rollbackPrepared()
{
    if (!m_prepared)
        return;
    for (quint32 id : m_prepared->newIDs)
        unregisterID(id);
    m_prepared.reset();
}

} // namespace vorlith
