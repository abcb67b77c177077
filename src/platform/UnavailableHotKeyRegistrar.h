#pragma once

#include "platform/HotKeyRegistering.h"

namespace vorlith {

// A session without global key grabs (Wayland, or no X server answering): every registration
// is refused with `status`, no key is ever down.
class UnavailableHotKeyRegistrar final : public HotKeyRegistering {
public:
    static constexpr int status = -1;

    void registerHotKey(const ShortcutSpec&, quint32) override { throw HotKeyRegistrationError(status); }
    void unregister(quint32) override {}
    bool isKeyDown(quint32) override { return false; }
    std::optional<quint16> editorKeyID(quint32) override { return std::nullopt; }
    std::optional<quint32> keyCodeForEditorKeyID(quint16) override { return std::nullopt; }
    QString keyCharacters(quint16) override { return {}; }
};

} // namespace vorlith
