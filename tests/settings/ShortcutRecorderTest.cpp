// The shortcut recorder: its key rule as a table in Linux keys, and the widget around it
// (clicks, the keys Qt would otherwise take, the owner's calls).
#include "app/settings/ShortcutRecorder.h"
#include "settings/RecorderKeys.h"
#include "support/FakeHotKeyRegistrar.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace vorlith;
using namespace vorlith::test;

namespace {

using Kind = RecorderKeyOutcome::Kind;
constexpr quint32 ctrl = ShortcutSpec::command, super = ShortcutSpec::control, alt = ShortcutSpec::option,
                  shift = ShortcutSpec::shift;

struct KeyRow {
    const char* what;
    RecorderKeyPress press;
    RecorderKeyOutcome expected;
};

RecorderKeyOutcome accepted(quint32 keyCode, quint32 modifiers, const char* label)
{
    return {Kind::accept, ShortcutSpec{keyCode, modifiers, QString::fromUtf8(label)}};
}

} // namespace

TEST(ShortcutKeyDecision, LinuxChords)
{
    const KeyRow rows[] = {
        {"Super+Shift+A", {0, super | shift, false, "a"}, accepted(0, 0x1200, "Super+Shift+A")},
        {"Alt+Ctrl+F5", {96, alt | ctrl, false, ""}, accepted(96, 0x900, "Ctrl+Alt+F5")},
        {"Ctrl+Return", {36, ctrl, false, ""}, accepted(36, 0x100, "Ctrl+↩")},
        {"bare Return waits", {36, 0, false, ""}, {Kind::ignore, {}}},
        {"bare keypad Enter waits", {76, 0, false, ""}, {Kind::ignore, {}}},
        {"Shift+Enter", {76, shift, false, ""}, accepted(76, 0x200, "Shift+⌤")},
        {"Super+Alt+Up", {126, super | alt, false, ""}, accepted(126, 0x1800, "Super+Alt+↑")},
        {"Shift+1 names the key, not '!'", {18, shift, false, "1"}, accepted(18, 0x200, "Shift+1")},
        {"Ctrl+Space", {49, ctrl, false, " "}, accepted(49, 0x100, "Ctrl+空格")},
        {"F3 alone", {99, 0, false, ""}, accepted(99, 0, "F3")},
        {"K alone", {40, 0, false, "k"}, accepted(40, 0, "K")},
        {"a French layout's key", {6, ctrl, false, "w"}, accepted(6, 0x100, "Ctrl+W")},
        {"Shift+Esc cancels", {53, shift, false, ""}, {Kind::cancel, {}}},
        {"Ctrl+Tab leaves", {48, ctrl, false, ""}, {Kind::leave, {}}},
        {"a repeat is ignored", {0, ctrl, true, "a"}, {Kind::ignore, {}}},
        {"Caps Lock and other bits are not encoded", {122, 0x400 | 0x10000, false, ""}, accepted(122, 0, "F1")},
        {"a lone Shift has no code", {std::nullopt, shift, false, ""}, {Kind::ignore, {}}},
        {"a key without a character", {115, 0, false, ""}, accepted(115, 0, "按键 115")},
    };
    for (const KeyRow& row : rows)
        EXPECT_EQ(decideRecorderKey(row.press), row.expected) << row.what;
}

TEST(ShortcutKeyDecision, QtModifiersMapAsTheRegistrarGrabsThem)
{
    using R = ShortcutRecorder;
    EXPECT_EQ(R::modifierBits(Qt::ControlModifier), 0x100u);
    EXPECT_EQ(R::modifierBits(Qt::MetaModifier), 0x1000u);
    EXPECT_EQ(R::modifierBits(Qt::AltModifier), 0x800u);
    EXPECT_EQ(R::modifierBits(Qt::ShiftModifier), 0x200u);
    EXPECT_EQ(R::modifierBits(Qt::KeypadModifier | Qt::GroupSwitchModifier), 0u);
    EXPECT_EQ(R::modifierBits(Qt::ControlModifier | Qt::ShiftModifier | Qt::KeypadModifier), 0x300u);
}

namespace {

// Two recorders in a shown window, reading keys through the fake registrar (key id = code +
// 1000), with every chord they accept recorded.
struct RecorderWindow {
    FakeHotKeyRegistrar keys;
    QWidget window;
    ShortcutRecorder* first = new ShortcutRecorder(&window);
    ShortcutRecorder* second = new ShortcutRecorder(&window);
    QList<ShortcutSpec> changes;

    RecorderWindow()
    {
        auto* layout = new QVBoxLayout(&window);
        for (ShortcutRecorder* r : {first, second}) {
            r->setFixedSize(118, 28);
            layout->addWidget(r);
            r->keyLookup = {[this](quint16 id) { return keys.keyCodeForEditorKeyID(id); },
                            [this](quint16 id) { return keys.keyCharacters(id); }};
            r->onChange = [this](const ShortcutSpec& s) { changes << s; };
        }
        second->setSpec(ShortcutSpec::defaultPin());
        keys.characters[1000] = QStringLiteral("a");
        window.show();
        QApplication::setActiveWindow(&window);
    }

    bool press(ShortcutRecorder* r, int qtKey, Qt::KeyboardModifiers modifiers, quint32 keyCode, bool repeat = false)
    {
        return sendRecorderKey(r, qtKey, modifiers, keyCode, repeat);
    }
};

} // namespace

TEST(ShortcutRecorder, RecordsAChordFromAClick)
{
    RecorderWindow w;
    EXPECT_EQ(w.first->text(), QStringLiteral("F1"));
    EXPECT_EQ(w.first->toolTip(), QStringLiteral("点击录入快捷键，Esc 取消，Tab 离开"));

    QTest::mouseClick(w.first, Qt::LeftButton);
    ASSERT_TRUE(w.first->recording());
    EXPECT_TRUE(w.first->hasFocus());
    EXPECT_FALSE(w.first->isDown());
    EXPECT_EQ(w.first->text(), QStringLiteral("请按快捷键…"));

    // The override is claimed, so the window's Return and Escape never fire while recording.
    EXPECT_TRUE(w.press(w.first, Qt::Key_Return, Qt::NoModifier, 36));
    EXPECT_TRUE(w.first->recording()) << "a bare Return waits";
    w.press(w.first, Qt::Key_A, Qt::MetaModifier | Qt::ShiftModifier, 0);
    EXPECT_FALSE(w.first->recording());
    ASSERT_EQ(w.changes.size(), 1);
    EXPECT_EQ(w.changes[0], (ShortcutSpec{0, 0x1200, QStringLiteral("Super+Shift+A")}));
    EXPECT_EQ(w.first->text(), QStringLiteral("Super+Shift+A"));

    // Idle: the override is not claimed and a press goes to the base button.
    EXPECT_FALSE(w.press(w.first, Qt::Key_B, Qt::NoModifier, 11));
    EXPECT_EQ(w.changes.size(), 1);

    // A key without a code (a lone Ctrl) keeps recording; a repeat too.
    QTest::mouseClick(w.first, Qt::LeftButton);
    w.keys.keysWithoutCode.insert(1000 + 59);
    w.press(w.first, Qt::Key_Control, Qt::ControlModifier, 59);
    w.press(w.first, Qt::Key_F5, Qt::NoModifier, 96, true);
    EXPECT_TRUE(w.first->recording());
    EXPECT_EQ(w.changes.size(), 1);
}

TEST(ShortcutRecorder, EscapeTabFocusAndTheOwner)
{
    RecorderWindow w;

    // Shift+Escape cancels: the chord stays.
    QTest::mouseClick(w.first, Qt::LeftButton);
    w.press(w.first, Qt::Key_Escape, Qt::ShiftModifier, 53);
    EXPECT_FALSE(w.first->recording());
    EXPECT_EQ(w.first->text(), QStringLiteral("F1"));
    EXPECT_TRUE(w.first->hasFocus());

    // Ctrl+Tab leaves to the next control.
    QTest::mouseClick(w.first, Qt::LeftButton);
    w.press(w.first, Qt::Key_Tab, Qt::ControlModifier, 48);
    EXPECT_FALSE(w.first->recording());
    EXPECT_TRUE(w.second->hasFocus());
    EXPECT_TRUE(w.changes.isEmpty());

    // Clicking the second while the first records moves the keyboard and ends the first.
    QTest::mouseClick(w.first, Qt::LeftButton);
    QTest::mouseClick(w.second, Qt::LeftButton);
    EXPECT_FALSE(w.first->recording());
    EXPECT_EQ(w.first->text(), QStringLiteral("F1"));
    EXPECT_TRUE(w.second->recording());

    // The owner's chord goes in only while recording.
    w.first->accept(ShortcutSpec{97, 0, QStringLiteral("F6")});
    EXPECT_EQ(w.first->spec(), ShortcutSpec::defaultCapture());
    w.second->accept(ShortcutSpec{97, 0, QStringLiteral("F6")});
    ASSERT_EQ(w.changes.size(), 1);
    EXPECT_EQ(w.second->text(), QStringLiteral("F6"));

    // The owner ends recording and sets chords without onChange.
    QTest::mouseClick(w.second, Qt::LeftButton);
    w.second->endRecording();
    w.second->setSpec(ShortcutSpec::defaultPin());
    EXPECT_FALSE(w.second->recording());
    EXPECT_EQ(w.second->text(), QStringLiteral("F2"));
    EXPECT_EQ(w.changes.size(), 1);
}
