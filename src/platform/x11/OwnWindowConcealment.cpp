#include "platform/x11/OwnWindowConcealment.h"

#include <QGuiApplication>
#include <QVariant>

#include <algorithm>

namespace vorlith {

namespace {
// Qt's xcb backend reads this property when it maps a window: the window manager is told not
// to hand it the keyboard.
constexpr const char* showWithoutActivating = "_q_showWithoutActivating";
} // namespace

OwnWindowConcealment::OwnWindowConcealment(const std::optional<QRect>& area, const std::vector<quint32>& kept)
{
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (!window->isVisible() || !window->handle())
            continue;
        if (std::find(kept.begin(), kept.end(), quint32(window->winId())) != kept.end())
            continue;
        if (area && !window->frameGeometry().intersects(*area))
            continue;
        m_hidden.emplace_back(window);
    }
    for (const QPointer<QWindow>& window : m_hidden)
        window->setVisible(false);
}

OwnWindowConcealment::~OwnWindowConcealment()
{
    for (const QPointer<QWindow>& window : m_hidden) {
        if (!window)
            continue;
        const QVariant previous = window->property(showWithoutActivating);
        window->setProperty(showWithoutActivating, true);
        window->setVisible(true);
        window->setProperty(showWithoutActivating, previous);
    }
}

} // namespace vorlith
