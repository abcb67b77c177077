#include "platform/x11/X11KeyCodes.h"

#include "support/TestSupport.h"
#include "support/X11Environment.h"

#include <QKeyEvent>
#include <QRegularExpression>
#include <QWidget>
#include <QWindow>

#include <xkbcommon/xkbcommon.h>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

struct KeyRow {
    quint16 code;
    const char* keysym;     // as the X server names it
    const char* characters; // what the editor compares
};

const KeyRow kKeys[] = {
    {X11KeyCodes::escape, "Escape", ""},
    {X11KeyCodes::backSpace, "BackSpace", "\x7f"},
    {X11KeyCodes::q, "q", "q"},
    {X11KeyCodes::w, "w", "w"},
    {X11KeyCodes::e, "e", "e"},
    {X11KeyCodes::r, "r", "r"},
    {X11KeyCodes::returnKey, "Return", "\r"},
    {X11KeyCodes::a, "a", "a"},
    {X11KeyCodes::s, "s", "s"},
    {X11KeyCodes::d, "d", "d"},
    {X11KeyCodes::f, "f", "f"},
    {X11KeyCodes::z, "z", "z"},
    {X11KeyCodes::c, "c", "c"},
    {X11KeyCodes::keypadEnter, "KP_Enter", "\r"},
    {X11KeyCodes::deleteKey, "Delete", "\x7f"},
};

class KeyRecorder : public QWidget {
public:
    struct Press {
        quint32 code;
        QString text;
        Qt::KeyboardModifiers modifiers;
    };
    QList<Press> presses;

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        presses.append({event->nativeScanCode(), event->text(), event->modifiers()});
    }
};

} // namespace

TEST(X11KeyCodes, MatchTheServerKeymap)
{
    QByteArray keymap;
    ASSERT_EQ(X11Environment::server()->run(QStringLiteral("xmodmap"), {QStringLiteral("-pke")}, &keymap), 0);
    for (const KeyRow& row : kKeys) {
        // "keycode  24 = q Q q Q": the first keysym is the unshifted key.
        const QRegularExpression line(QStringLiteral("^keycode\\s+%1 = (\\S+)").arg(row.code),
                                      QRegularExpression::MultilineOption);
        const QRegularExpressionMatch match = line.match(QString::fromLatin1(keymap));
        ASSERT_TRUE(match.hasMatch()) << row.code;
        EXPECT_EQ(match.captured(1), QLatin1String(row.keysym)) << row.code;
        EXPECT_EQ(X11KeyCodes::editorCharacters(row.code), QLatin1String(row.characters)) << row.keysym;
    }
    EXPECT_EQ(X11KeyCodes::editorCharacters(10), QString()); // "1"
    EXPECT_EQ(X11KeyCodes::editorCharacters(0), QString());
}

TEST(X11KeyCodes, TypedKeysMapToTheLettersWhateverCtrlOrShiftDoToTheText)
{
    XvfbServer* server = X11Environment::server();
    KeyRecorder window;
    window.setWindowTitle(QStringLiteral("vorlith-key-target"));
    window.setGeometry(100, 100, 200, 100);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(runUntil([&] { return window.windowHandle()->isExposed() && window.isActiveWindow(); }));

    const struct {
        const char* typed;
        const char* characters;
        Qt::KeyboardModifiers modifiers;
    } typed[] = {
        {"q", "q", Qt::NoModifier},
        {"ctrl+z", "z", Qt::ControlModifier},
        {"ctrl+shift+z", "z", Qt::ControlModifier | Qt::ShiftModifier},
        {"shift+w", "w", Qt::ShiftModifier},
        {"Return", "\r", Qt::NoModifier},
        {"KP_Enter", "\r", Qt::KeypadModifier},
        {"BackSpace", "\x7f", Qt::NoModifier},
        {"Delete", "\x7f", Qt::NoModifier},
    };
    for (const auto& key : typed) {
        window.presses.clear();
        ASSERT_EQ(server->run(QStringLiteral("xdotool"), {QStringLiteral("key"), QLatin1String(key.typed)}), 0);
        // Modifier keys arrive as presses of their own; the last press is the key itself.
        ASSERT_TRUE(runUntil([&] {
            return !window.presses.isEmpty()
                && !X11KeyCodes::editorCharacters(quint16(window.presses.last().code)).isEmpty();
        })) << key.typed;
        const KeyRecorder::Press& press = window.presses.last();
        EXPECT_EQ(X11KeyCodes::editorCharacters(quint16(press.code)), QLatin1String(key.characters)) << key.typed;
        EXPECT_EQ(press.modifiers, key.modifiers) << key.typed;
    }
    // Ctrl changes the text: the event's text of Ctrl+Z is a control character, not "z".
    window.presses.clear();
    ASSERT_EQ(server->run(QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("ctrl+z")}), 0);
    ASSERT_TRUE(runUntil([&] { return window.presses.size() >= 2; }));
    EXPECT_NE(window.presses.last().text, QStringLiteral("z"));
}

// Keys as a layout types them: the key's symbol decides, its position only where the layout
// has no Latin letter there.
TEST(X11KeyCodes, LettersComeFromTheLayoutWithTheUsPositionForOtherScripts)
{
    const struct {
        const char* layout;
        quint16 code;
        const char* keysym; // the key's symbol in that layout (as xkb names it)
        const char* characters;
    } rows[] = {
        {"fr", X11KeyCodes::q, "a", "a"},          // AZERTY: the key at Q types a
        {"fr", X11KeyCodes::a, "q", "q"},
        {"fr", X11KeyCodes::w, "z", "z"},          // Ctrl+Z is where the Z is printed
        {"fr", X11KeyCodes::z, "w", "w"},
        {"fr", X11KeyCodes::q, "A", "a"},          // caps lock or Shift
        {"fr", 10, "ampersand", ""},               // no letter, no fallback to "1"
        {"de", 29, "z", "z"},                      // QWERTZ: Z at the US Y place
        {"de", X11KeyCodes::z, "y", "y"},          // and Y at the US Z place
        {"de", 47, "odiaeresis", "\xc3\xb6"},      // a Latin letter stays itself
        {"ru", X11KeyCodes::z, "Cyrillic_ya", "z"}, // no Latin letter: the US position
        {"ru", X11KeyCodes::a, "Cyrillic_ef", "a"},
        {"ru", X11KeyCodes::q, "Cyrillic_SHORTI", "q"},
        {"ru", 34, "Cyrillic_ha", ""},             // a Cyrillic key off the table acts as nothing
        {"gr", X11KeyCodes::c, "Greek_psi", "c"},
        {"us", X11KeyCodes::returnKey, "Return", "\r"},
        {"us", X11KeyCodes::keypadEnter, "KP_Enter", "\r"},
        {"us", X11KeyCodes::backSpace, "BackSpace", "\x7f"},
        {"us", X11KeyCodes::deleteKey, "Delete", "\x7f"},
        {"us", X11KeyCodes::escape, "Escape", ""},
    };
    for (const auto& row : rows) {
        const quint32 keysym = xkb_keysym_from_name(row.keysym, XKB_KEYSYM_NO_FLAGS);
        ASSERT_NE(keysym, 0u) << row.keysym;
        EXPECT_EQ(X11KeyCodes::editorCharacters(row.code, keysym), QString::fromUtf8(row.characters))
            << row.layout << " " << row.keysym;
    }
    // Without a symbol (a synthesized event) the key is read by its position.
    EXPECT_EQ(X11KeyCodes::editorCharacters(X11KeyCodes::w, 0), QStringLiteral("w"));
}
