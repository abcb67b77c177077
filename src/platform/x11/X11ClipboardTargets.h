#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace vorlith {

// How clipboard types (MIME types) meet X selection targets. Most types are targets of the same
// name; plain text travels under several historical names, all read and written as
// "text/plain" (UTF-8).
class X11ClipboardTargets {
public:
    // Targets that belong to the selection protocol, not to the contents.
    static bool isProtocolTarget(const QString& target);

    // The content types an owner's target list offers, in the owner's order, each once.
    static QStringList typesOf(const QStringList& targets);
    // The target to ask an owner for when reading `type`; empty when the owner offers none.
    static QString targetToRead(const QString& type, const QStringList& offeredTargets);
    // The bytes of `type` as read from `target` (Latin-1 STRING becomes UTF-8).
    static QByteArray fromTarget(const QString& target, const QByteArray& bytes);

    // The targets we offer for a type we serve, and the bytes of each.
    static QStringList targetsFor(const QString& type);
    static QByteArray toTarget(const QString& target, const QByteArray& bytes);
    // The property type of an answer for `target` (a text target's own encoding name).
    static QString answerTypeFor(const QString& target);
};

} // namespace vorlith
