#include "platform/x11/X11KeyCodes.h"

#include <xkbcommon/xkbcommon.h>

namespace vorlith {

QString X11KeyCodes::editorCharacters(quint16 keyCode)
{
    switch (keyCode) {
    case q: return QStringLiteral("q");
    case w: return QStringLiteral("w");
    case e: return QStringLiteral("e");
    case r: return QStringLiteral("r");
    case a: return QStringLiteral("a");
    case s: return QStringLiteral("s");
    case d: return QStringLiteral("d");
    case f: return QStringLiteral("f");
    case z: return QStringLiteral("z");
    case c: return QStringLiteral("c");
    case returnKey:
    case keypadEnter:
        return QString(QChar(0x000D));
    case backSpace:
    case deleteKey:
        return QString(QChar(0x007F));
    default:
        return {};
    }
}

QString X11KeyCodes::editorCharacters(quint16 keyCode, quint32 keysym)
{
    if (keysym == 0)
        return editorCharacters(keyCode);
    switch (keysym) {
    case XKB_KEY_Return:
    case XKB_KEY_KP_Enter:
        return QString(QChar(0x000D));
    case XKB_KEY_BackSpace:
    case XKB_KEY_Delete:
    case XKB_KEY_KP_Delete:
        return QString(QChar(0x007F));
    default:
        break;
    }
    const char32_t typed = xkb_keysym_to_utf32(keysym);
    if (typed == 0 || !QChar::isLetter(typed))
        return {};
    if (QChar::script(typed) != QChar::Script_Latin) {
        // Only the letters of the table: a Cyrillic key elsewhere must not act as a letter.
        const QString fallback = editorCharacters(keyCode);
        return fallback.size() == 1 && fallback.front().isLetter() ? fallback : QString();
    }
    return QString::fromUcs4(std::u32string(1, QChar::toLower(typed)).data(), 1);
}

} // namespace vorlith
