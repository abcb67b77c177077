#include "app/settings/ShortcutKeyDecision.h"

#include "core/ChordLabel.h"

#include <utility>

namespace vorlith {

namespace {

constexpr quint32 escapeKey = 53;
constexpr quint32 tabKey = 48;
constexpr quint32 returnKey = 36;
constexpr quint32 enterKey = 76;

constexpr quint32 chordModifiers = ShortcutSpec::command | ShortcutSpec::shift | ShortcutSpec::option |
                                   ShortcutSpec::control;

constexpr std::pair<quint32, const char*> fixedNames[] = {
    {122, "F1"},  {120, "F2"},  {99, "F3"},   {118, "F4"},  {96, "F5"},   {97, "F6"},  {98, "F7"},
    {100, "F8"},  {101, "F9"},  {109, "F10"}, {103, "F11"}, {111, "F12"}, {105, "F13"}, {107, "F14"},
    {113, "F15"}, {106, "F16"}, {64, "F17"},  {79, "F18"},  {80, "F19"},  {90, "F20"}, {49, "空格"},
    {51, "⌫"},    {36, "↩"},    {76, "⌤"},    {123, "←"},   {124, "→"},   {125, "↓"},  {126, "↑"},
};

} // namespace

QString fixedKeyName(quint32 keyCode)
{
    for (const auto& [code, name] : fixedNames) {
        if (code == keyCode)
            return QString::fromUtf8(name);
    }
    return {};
}

RecorderKeyOutcome decideRecorderKey(const RecorderKeyPress& press)
{
    using Kind = RecorderKeyOutcome::Kind;
    if (press.isAutoRepeat || !press.keyCode)
        return {Kind::ignore, {}};
    const quint32 keyCode = *press.keyCode;
    if (keyCode == escapeKey)
        return {Kind::cancel, {}};
    if (keyCode == tabKey)
        return {Kind::leave, {}};
    const quint32 modifiers = press.modifiers & chordModifiers;
    if ((keyCode == returnKey || keyCode == enterKey) && modifiers == 0)
        return {Kind::ignore, {}};

    QString name = fixedKeyName(keyCode);
    if (name.isEmpty())
        name = press.characters.toUpper();
    if (name.isEmpty())
        name = QStringLiteral("按键 ") + QString::number(keyCode);
    return {Kind::accept, ShortcutSpec{keyCode, modifiers, chordLabel(modifiers, name)}};
}

} // namespace vorlith
