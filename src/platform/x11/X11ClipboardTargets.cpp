#include "platform/x11/X11ClipboardTargets.h"

namespace vorlith {

namespace {

const QString plainText = QStringLiteral("text/plain");

// Best first: what a reader of "text/plain" asks for, and what an owner of it offers.
const QStringList& textTargets()
{
    static const QStringList targets{
        QStringLiteral("UTF8_STRING"), QStringLiteral("text/plain;charset=utf-8"), plainText,
        QStringLiteral("STRING"),      QStringLiteral("TEXT"),
    };
    return targets;
}

bool isLatin1Target(const QString& target)
{
    return target == QLatin1String("STRING");
}

} // namespace

bool X11ClipboardTargets::isProtocolTarget(const QString& target)
{
    static const QStringList protocol{
        QStringLiteral("TARGETS"),         QStringLiteral("MULTIPLE"),         QStringLiteral("TIMESTAMP"),
        QStringLiteral("SAVE_TARGETS"),    QStringLiteral("INCR"),             QStringLiteral("DELETE"),
        QStringLiteral("INSERT_SELECTION"), QStringLiteral("INSERT_PROPERTY"), QStringLiteral("ATOM_PAIR"),
        QStringLiteral("CLIPBOARD_MANAGER"), QStringLiteral("LENGTH"),         QStringLiteral("NULL"),
    };
    return target.isEmpty() || protocol.contains(target);
}

QStringList X11ClipboardTargets::typesOf(const QStringList& targets)
{
    QStringList types;
    for (const QString& target : targets) {
        if (isProtocolTarget(target) || target == QLatin1String("COMPOUND_TEXT"))
            continue;
        const QString type = textTargets().contains(target) ? plainText : target;
        if (!types.contains(type))
            types << type;
    }
    return types;
}

QString X11ClipboardTargets::targetToRead(const QString& type, const QStringList& offeredTargets)
{
    if (type != plainText)
        return offeredTargets.contains(type) ? type : QString();
    for (const QString& target : textTargets()) {
        if (offeredTargets.contains(target))
            return target;
    }
    return {};
}

QByteArray X11ClipboardTargets::fromTarget(const QString& target, const QByteArray& bytes)
{
    return isLatin1Target(target) ? QString::fromLatin1(bytes).toUtf8() : bytes;
}

QStringList X11ClipboardTargets::targetsFor(const QString& type)
{
    return type == plainText ? textTargets() : QStringList{type};
}

QByteArray X11ClipboardTargets::toTarget(const QString& target, const QByteArray& bytes)
{
    return isLatin1Target(target) ? QString::fromUtf8(bytes).toLatin1() : bytes;
}

QString X11ClipboardTargets::answerTypeFor(const QString& target)
{
    if (target == QLatin1String("TEXT"))
        return QStringLiteral("UTF8_STRING");
    return target;
}

} // namespace vorlith
