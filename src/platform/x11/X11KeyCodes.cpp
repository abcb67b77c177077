#include "platform/x11/X11KeyCodes.h"

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

} // namespace vorlith
