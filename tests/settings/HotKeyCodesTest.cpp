#include "core/ShortcutSpec.h"
#include "platform/x11/X11HotKeyCodes.h"
#include "platform/x11/X11KeyCodes.h"

#include <gtest/gtest.h>

using namespace vorlith;

// The hot-key table and the editor's key codes name the same keys by the same X key codes, so
// a held hot key is the key the editor suppresses.
TEST(X11HotKeyCodes, AgreesWithTheEditorsKeyCodes)
{
    struct Case {
        quint32 keyCode;
        quint16 xKeyCode;
        const char* name;
    };
    const Case cases[] = {
        {53, X11KeyCodes::escape, "Esc"},     {51, X11KeyCodes::backSpace, "Delete"},
        {12, X11KeyCodes::q, "Q"},            {13, X11KeyCodes::w, "W"},
        {14, X11KeyCodes::e, "E"},            {15, X11KeyCodes::r, "R"},
        {36, X11KeyCodes::returnKey, "Return"}, {0, X11KeyCodes::a, "A"},
        {1, X11KeyCodes::s, "S"},             {2, X11KeyCodes::d, "D"},
        {3, X11KeyCodes::f, "F"},             {6, X11KeyCodes::z, "Z"},
        {8, X11KeyCodes::c, "C"},             {76, X11KeyCodes::keypadEnter, "Enter"},
        {117, X11KeyCodes::deleteKey, "ForwardDelete"},
        {122, 67, "F1"},                      {120, 68, "F2"},
        {111, 96, "F12"},                     {105, 191, "F13"},
        {90, 198, "F20"},                     {49, 65, "Space"},
    };
    for (const Case& c : cases) {
        const X11HotKeyCodes::Key* key = X11HotKeyCodes::find(c.keyCode);
        ASSERT_TRUE(key) << c.keyCode;
        EXPECT_EQ(key->evdev + 8, c.xKeyCode) << c.name;
        EXPECT_EQ(X11HotKeyCodes::name(c.keyCode), QString::fromUtf8(c.name));
    }
    EXPECT_FALSE(X11HotKeyCodes::find(52)) << "no key has that code";
    EXPECT_TRUE(X11HotKeyCodes::name(4294967295u).isEmpty());
}

TEST(X11HotKeyCodes, FunctionKeysAndModifiers)
{
    // F1 to F20 in key order: the table names them so, and the settings count them as function keys.
    const quint32 functionKeys[] = {122, 120, 99, 118, 96, 97, 98, 100, 101, 109,
                                    103, 111, 105, 107, 113, 106, 64, 79, 80, 90};
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(X11HotKeyCodes::name(functionKeys[i]), QStringLiteral("F%1").arg(i + 1));
        EXPECT_TRUE((ShortcutSpec{functionKeys[i], 0, {}}.isFunctionKey()));
    }
    EXPECT_FALSE((ShortcutSpec{0, 0, {}}.isFunctionKey()));

    EXPECT_EQ(X11HotKeyCodes::xModifiers(ShortcutSpec::command), XCB_MOD_MASK_CONTROL);
    EXPECT_EQ(X11HotKeyCodes::xModifiers(ShortcutSpec::control), XCB_MOD_MASK_4);
    EXPECT_EQ(X11HotKeyCodes::xModifiers(ShortcutSpec::option), XCB_MOD_MASK_1);
    EXPECT_EQ(X11HotKeyCodes::xModifiers(ShortcutSpec::shift), XCB_MOD_MASK_SHIFT);
    EXPECT_EQ(X11HotKeyCodes::xModifiers(0x1b00 | 0x400 | 0x80000000u),
              XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_4 | XCB_MOD_MASK_1 | XCB_MOD_MASK_SHIFT)
        << "bits without meaning are dropped";
}
