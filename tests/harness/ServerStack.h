#pragma once

// The X server's stacking as xwininfo reports it, for the harness tests.

#include "support/X11Environment.h"

#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <vector>

namespace vorlith::test {

// The server's top-levels front first, each given as the set of window ids it contains (a
// managed window stands inside its frame).
inline std::vector<QStringList> serverStack()
{
    QByteArray out;
    X11Environment::server()->run(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")}, &out);
    std::vector<QStringList> tops;
    const QRegularExpression entry(QStringLiteral("^(\\s+)(0x[0-9a-f]+)"));
    int topIndent = -1;
    for (const QString& line : QString::fromLocal8Bit(out).split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch m = entry.match(line);
        if (!m.hasMatch())
            continue;
        const int indent = int(m.captured(1).size());
        if (topIndent < 0)
            topIndent = indent;
        if (indent == topIndent)
            tops.push_back({});
        if (!tops.empty())
            tops.back() << m.captured(2);
    }
    return tops; // xwininfo lists the root's children front first
}

// The given windows in the order the server stacks them, front first.
inline QStringList serverOrder(const QStringList& windows)
{
    QStringList order;
    for (const QStringList& top : serverStack())
        for (const QString& window : top)
            if (windows.contains(window))
                order << window;
    return order;
}

} // namespace vorlith::test
