#include "core/ChordLabel.h"

#include "core/ShortcutSpec.h"

#include <array>

namespace vorlith {

QString chordLabel(quint32 modifiers, const QString& keyName)
{
    struct Word {
        quint32 bit;
        const char* text;
    };
    static constexpr std::array<Word, 4> words{{
        {ShortcutSpec::command, "Ctrl"},
        {ShortcutSpec::control, "Super"},
        {ShortcutSpec::option, "Alt"},
        {ShortcutSpec::shift, "Shift"},
    }};
    QString label;
    for (const Word& word : words) {
        if (modifiers & word.bit) {
            label += QLatin1String(word.text);
            label += QLatin1Char('+');
        }
    }
    return label + keyName;
}

} // namespace vorlith
