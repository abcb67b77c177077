#include "core/ChordLabel.h"

#include "core/ShortcutSpec.h"

#include <gtest/gtest.h>

using namespace vorlith;

namespace {

struct Case {
    quint32 modifiers;
    const char* key;
    const char* label;
};

// The words come in one order whatever order the bits are read in, and only the four
// modifier bits count.
const Case kCases[] = {
    {0, "F1", "F1"},
    {ShortcutSpec::command, "Z", "Ctrl+Z"},
    {ShortcutSpec::command | ShortcutSpec::shift, "Z", "Ctrl+Shift+Z"},
    {ShortcutSpec::control | ShortcutSpec::shift, "A", "Super+Shift+A"},
    {ShortcutSpec::option | ShortcutSpec::command, "F5", "Ctrl+Alt+F5"},
    {ShortcutSpec::control | ShortcutSpec::option, "↑", "Super+Alt+↑"},
    {ShortcutSpec::shift | ShortcutSpec::option | ShortcutSpec::control | ShortcutSpec::command, "1",
     "Ctrl+Super+Alt+Shift+1"},
    {0x400 | 0x80 | ShortcutSpec::shift, "Esc", "Shift+Esc"},
};

} // namespace

TEST(ChordLabel, ModifierWordsInLinuxOrderThenTheKey)
{
    for (const Case& c : kCases)
        EXPECT_EQ(chordLabel(c.modifiers, QString::fromUtf8(c.key)), QString::fromUtf8(c.label))
            << "modifiers 0x" << std::hex << c.modifiers;
}
