#include "platform/x11/OwnWindowConcealment.h"

#include <QEvent>
#include <QGuiApplication>
#include <QSet>
#include <QVariant>
#include <QWidget>

#include <algorithm>

namespace vorlith {

namespace {
// Qt's xcb backend reads this property when it maps a window: the window manager is told not
// to hand it the keyboard.
constexpr const char* showWithoutActivating = "_q_showWithoutActivating";
} // namespace

// Notes the widgets whose owner hid or closed them while they were concealed.
//
// Hiding a widget that is already hidden normally sends nothing, so the owner's hide() would
// pass unseen and the widget come back when the concealment ends. Each concealed widget
// therefore forgets that it was hidden explicitly: the owner's hide() then goes through and
// announces itself with HideToParent. A close() of a hidden widget only sends Close.
class OwnWindowConcealment::OwnerWatch final : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::HideToParent || event->type() == QEvent::Close)
            m_hiddenByOwner.insert(watched);
        return false;
    }
    bool hiddenByOwner(QObject* widget) const { return m_hiddenByOwner.contains(widget); }

private:
    QSet<QObject*> m_hiddenByOwner;
};

OwnWindowConcealment::OwnWindowConcealment(const std::optional<QRect>& area, const std::vector<quint32>& kept)
    : m_watch(std::make_unique<OwnerWatch>())
{
    for (QWindow* window : QGuiApplication::topLevelWindows()) {
        if (!window->isVisible() || !window->handle())
            continue;
        if (std::find(kept.begin(), kept.end(), quint32(window->winId())) != kept.end())
            continue;
        if (area && !window->frameGeometry().intersects(*area))
            continue;
        m_hidden.push_back({window, QWidget::find(window->winId())});
    }
    for (const Hidden& hidden : m_hidden) {
        hidden.window->setVisible(false);
        if (hidden.widget) {
            hidden.widget->setAttribute(Qt::WA_WState_ExplicitShowHide, false);
            hidden.widget->installEventFilter(m_watch.get());
        }
    }
}

OwnWindowConcealment::~OwnWindowConcealment()
{
    for (const Hidden& hidden : m_hidden) {
        if (hidden.widget) {
            hidden.widget->removeEventFilter(m_watch.get());
            if (m_watch->hiddenByOwner(hidden.widget)) {
                hidden.widget->setAttribute(Qt::WA_WState_ExplicitShowHide, true);
                continue;
            }
        }
        QWindow* window = hidden.window;
        if (!window)
            continue;
        const QVariant previous = window->property(showWithoutActivating);
        window->setProperty(showWithoutActivating, true);
        window->setVisible(true);
        window->setProperty(showWithoutActivating, previous);
    }
}

} // namespace vorlith
