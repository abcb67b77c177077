#pragma once

#include "support/X11Environment.h"

#include <QPoint>
#include <QStringList>

namespace vorlith::test {

// Runs xdotool against the test's private X server.
inline int xdotool(const QStringList& arguments)
{
    return X11Environment::server()->run(QStringLiteral("xdotool"), arguments);
}

// The arguments that move the pointer to a global point; append a click or a press.
inline QStringList at(QPoint global)
{
    return {QStringLiteral("mousemove"), QString::number(global.x()), QString::number(global.y())};
}

} // namespace vorlith::test
