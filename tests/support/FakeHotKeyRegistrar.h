#pragma once

#include "platform/HotKeyRegistering.h"

#include <QStringList>

#include <map>
#include <set>

namespace vorlith::test {

// Hot-key registrations kept in a table. Chords can be marked as taken by someone else (they
// fail with `takenStatus`, as X answers BadAccess), keys can be held down, and every call is
// recorded ("register 3 122/0", "unregister 3"). Like the X11 registrar, a chord already held
// under another id is refused.
class FakeHotKeyRegistrar final : public HotKeyRegistering {
public:
    static constexpr int takenStatus = 10;

    std::set<std::pair<quint32, quint32>> taken; // (key code, modifiers)
    std::set<quint32> keysDown;                  // key codes
    std::map<quint32, ShortcutSpec> active;      // id → chord
    QStringList calls;

    void registerHotKey(const ShortcutSpec& spec, quint32 id) override
    {
        calls << QStringLiteral("register %1 %2/%3").arg(id).arg(spec.keyCode).arg(spec.modifiers);
        if (taken.contains({spec.keyCode, spec.modifiers}))
            throw HotKeyRegistrationError(takenStatus);
        for (const auto& [other, chord] : active) {
            if (chord.sameChord(spec))
                throw HotKeyRegistrationError(2, true);
        }
        active[id] = spec;
    }
    void unregister(quint32 id) override
    {
        if (active.erase(id))
            calls << QStringLiteral("unregister %1").arg(id);
    }
    bool isKeyDown(quint32 keyCode) override { return keysDown.contains(keyCode); }
    std::optional<quint16> editorKeyID(quint32 keyCode) override
    {
        return keyCode < 0xffff ? std::optional<quint16>(quint16(keyCode + 1000)) : std::nullopt;
    }

    // Editor key ids are key codes + 1000 (as editorKeyID gives them); a key code without a
    // chord code is listed in `keysWithoutCode`. Characters come from `characters`.
    std::set<quint16> keysWithoutCode;
    std::map<quint16, QString> characters;
    std::optional<quint32> keyCodeForEditorKeyID(quint16 keyID) override
    {
        if (keyID < 1000 || keysWithoutCode.contains(keyID))
            return std::nullopt;
        return quint32(keyID - 1000);
    }
    QString keyCharacters(quint16 keyID) override
    {
        const auto found = characters.find(keyID);
        return found == characters.end() ? QString() : found->second;
    }

    // The id registered for a key code, or 0.
    quint32 idOf(quint32 keyCode, quint32 modifiers = 0) const
    {
        for (const auto& [id, chord] : active) {
            if (chord.keyCode == keyCode && chord.modifiers == modifiers)
                return id;
        }
        return 0;
    }
    void press(quint32 id) { if (onEvent) onEvent(id, true); }
    void release(quint32 id) { if (onEvent) onEvent(id, false); }
};

} // namespace vorlith::test
