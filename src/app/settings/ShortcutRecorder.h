#pragma once

#include "app/base/panel/PanelSecondaryButton.h"
#include "app/settings/ShortcutKeyDecision.h"
#include "core/ShortcutSpec.h"

#include <functional>
#include <optional>

class QKeyEvent;

namespace vorlith {

// The button with which the user enters a global hot key. A click starts recording ("请按快捷
// 键…"); the next key press with the modifiers held then becomes the chord (decideRecorderKey);
// Escape cancels, Tab leaves. Idle, it shows its chord's label. It registers nothing itself:
// accepted chords go to `onChange`.
//
// While recording it takes every key: ShortcutOverride is accepted (the window's Return and
// Escape shortcuts stay quiet) and Tab is taken before Qt moves the focus. A chord held by a
// global grab never reaches it; the owner hands such a chord in through `accept`.
class ShortcutRecorder : public PanelSecondaryButton {
    Q_OBJECT
public:
    static constexpr const char* recordingTitle = "请按快捷键…";
    static constexpr const char* idleToolTip = "点击录入快捷键，Esc 取消，Tab 离开";

    // How a key event's native key becomes the settings file's key code and characters.
    struct KeyLookup {
        std::function<std::optional<quint32>(quint16 keyID)> keyCode;
        std::function<QString(quint16 keyID)> characters;
    };

    explicit ShortcutRecorder(QWidget* parent = nullptr);

    const ShortcutSpec& spec() const { return m_spec; }
    // Sets the chord without telling `onChange` and shows the idle appearance.
    void setSpec(const ShortcutSpec& spec);
    bool recording() const { return m_recording; }

    // Takes a chord while recording: stores it, ends recording, tells `onChange`. Does nothing
    // when idle.
    void accept(const ShortcutSpec& spec);
    // Ends recording and shows the idle appearance (the owner's way to stop it).
    void endRecording();

    KeyLookup keyLookup;
    std::function<void(const ShortcutSpec&)> onChange;

    // The modifier bits of a Qt modifier state: Ctrl, Super (Meta), Alt and Shift only.
    [[nodiscard]] static quint32 modifierBits(Qt::KeyboardModifiers modifiers);
    // The press as the decision reads it.
    [[nodiscard]] RecorderKeyPress readPress(const QKeyEvent& event) const;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void startRecording();
    void showIdle();
    // Handles a press while recording; always consumes it.
    void recordKey(const QKeyEvent& event);

    ShortcutSpec m_spec = ShortcutSpec::defaultCapture();
    bool m_recording = false;
};

} // namespace vorlith
